#pragma once

// The engine keeps every real number of a file it reads as a single-precision float and writes it back with
// more digits than the file had (591.3722 comes out as 591.37219). Every object of the file is written again
// on a save, so a pattern's phase, a clip or a box the edit never touched moves by that hair, and some
// readers turn the hair into pixels: hatching drawn a few pixels over. Written again as the shortest decimal
// that reads as the same float, each such number is the file's own again wherever the file gave no more
// digits than a float holds.

#include <QByteArray>

namespace vmk::core {

// The file with each real number outside streams written as the shortest decimal of the same float, padded
// with spaces so that every byte offset (the cross-reference table's) still holds. The bytes unchanged when
// they cannot be read through: a stream whose length is not given directly or does not end where it says.
QByteArray withShortestReals(const QByteArray& pdf);

} // namespace vmk::core
