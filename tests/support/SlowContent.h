#pragma once

#include "support/PdfBuilder.h"

#include <QByteArray>

namespace vmk::test {

// A form XObject that is cheap to store and slow to interpret: a form of `squares` tiny filled squares in
// `colour` ("r g b"), drawn `fanout` times by a second form, which a third draws `fanout` times again, so
// that "/Name Do" runs squares x fanout x fanout path operators from a few kilobytes. Adds the forms to
// the builder and answers the number of the outermost one.
int addSlowForm(PdfBuilder& pdf, int squares, int fanout, const QByteArray& colour);

} // namespace vmk::test
