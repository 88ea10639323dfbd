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

} // namespace vmk::test
