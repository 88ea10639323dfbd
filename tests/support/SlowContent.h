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

// Pages of US Letter for files whose drawing no budget allows, each from a few kilobytes and each with a
// small picture among its resources: a plain page (a line of text, a blue square and the picture); content
// decoded through JBIG2 into 100000 x 100000 pixels, over a gigabyte; an image of 60000 x 60000 pixels
// through JBIG2, which cannot be decoded at a reduced size; content that takes a few seconds to decode in little
// memory through a decoder that never looks at its cancel flag; a photo of noise covering the page under
// a blue square, with no text (a page compression turns into a picture of itself).
enum class TestPage { plain, giantDecode, absurdImage, slowDecode, photo };
QByteArray testPagesPdf(const QList<TestPage>& pages);

} // namespace vmk::test
