#pragma once

// The engine keeps every real number of a file it reads as a single-precision float and writes it back in
// digits of its own (186.3267 comes out as 186.32671). Every object of the file is written again on a save,
// so a pattern's phase, a clip or a box the edit never touched moves by that hair, and some readers turn the
// hair into pixels: hatching drawn two pixels over. Such a number is given its digits from the file again.

#include <QByteArray>
#include <QHash>

namespace vmk::core {

// The saved file with each real number outside streams written as the file it was read from wrote that same
// float, where the file wrote it one way only and no longer than the engine did (padded with spaces, so that
// every byte offset, the cross-reference table's, still holds). The bytes unchanged when they cannot be read
// through: a stream whose length is not given directly or does not end where it says.
QByteArray withFileDigits(const QByteArray& saved, const QByteArray& original);

// The saved file with the font names marked for the engine (see pdf::kSubsetTagMark) given the file's own
// tags again: every name outside streams that is a key of `marked` becomes its value (of the same length).
// The bytes unchanged when they cannot be read through.
QByteArray withSubsetTagsRestored(const QByteArray& saved, const QHash<QByteArray, QByteArray>& marked);

} // namespace vmk::core
