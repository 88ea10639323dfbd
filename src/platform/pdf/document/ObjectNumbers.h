#pragma once

// A file may refer to objects it does not hold: a truncated file's last objects, or a damaged table
// that ends early. The engine reads such a reference as null, but it numbers the objects made afterwards
// (a new annotation, its appearance) from the end of its table, so the old reference came to name a new
// object: a page listing an appearance stream as one of its annotations, the save check refusing the
// copy for good. New objects must be numbered past every object the file refers to.

#include "platform/pdf/engine/Fz.h"

#include <QByteArray>

namespace vmk::pdf::detail {

// The highest object number the file's bytes refer to ("12 0 R"), or -1. References inside compressed
// object streams are not seen; a stray match in binary data only reserves a few numbers more.
int highestReferencedNumber(const QByteArray& data);

// Grows the document's table past the highest number the file refers to, with free entries (read as
// null, as before), when that is a sane distance beyond its end. Never throws.
void reserveReferencedNumbers(fz_context* c, pdf_document* doc, const QByteArray& data);
// The same, from highestReferencedNumber() worked out beforehand (on a worker: it reads the whole file).
void reserveNumbersUpTo(fz_context* c, pdf_document* doc, int highest);

} // namespace vmk::pdf::detail
