#pragma once

#include "support/PdfBuilder.h"

#include <QByteArray>

namespace vmk::test {

// A form XObject that is cheap to store and slow to interpret: a form of `squares` tiny filled squares in
// `colour` ("r g b"), drawn `fanout` times by a second form, which a third draws `fanout` times again, so
// that "/Name Do" runs squares x fanout x fanout path operators from a few kilobytes. Adds the forms to
// the builder and answers the number of the outermost one.
int addSlowForm(PdfBuilder& pdf, int squares, int fanout, const QByteArray& colour);

// A JBIG2 stream that takes tens of seconds to decode in little memory: a page of side × side pixels
// painted by `regions` generic regions as large as the page, each decoded pixel by pixel from a few bytes.
// The decoder has no way to be stopped half-way.
QByteArray slowJbig2(int side, int regions);

// A zlib stream of `bytes` zero bytes, made in a moment however many gigabytes it stands for.
QByteArray zeroFlate(qint64 bytes);

// Pages of US Letter for files whose drawing no budget allows, each from a few kilobytes and each with a
// small picture among its resources: a plain page (a line of text, a blue square and the picture); content
// decoded through JBIG2 into 100000 x 100000 pixels, over a gigabyte; an image of 60000 x 60000 pixels
// through JBIG2, which cannot be decoded at a reduced size; content that takes a few seconds to decode in little
// memory through a decoder that never looks at its cancel flag; a photo of noise covering the page under
// a blue square, with no text (a page compression turns into a picture of itself); an image of 40000 x
// 40000 RGB pixels, 4.8 GB once decoded, from 4.7 MB of Flate (black); a DCT image declaring the same size
// in its dictionary and its frame header, from a few hundred bytes; a 2000 x 2000 image through JBIG2 that
// takes a few seconds to decode in little memory, drawn over the plain page's content.
enum class TestPage { plain, giantDecode, absurdImage, slowDecode, photo, hugeFlateImage, hugeJpegImage, slowImage };
QByteArray testPagesPdf(const QList<TestPage>& pages);

// Pages of 300 x 400 points, each with the line "Page N alpha beta" and a link to https://example.org/<N-1>
// over [20 300 220 330], whose content also carries `commentBytes` of comments: nothing to draw, but a
// writer compresses it all, so that writing the file takes a while. The comments differ from page to page.
QByteArray slowToWritePdf(int pages, int commentBytes = 1 << 20);

} // namespace vmk::test
