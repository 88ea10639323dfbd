#pragma once

#include <functional>

class QWidget;

namespace vmk::chrome {

// Lets the sentences of a row of controls wrap onto more lines, the widest first, until `excess` (how
// much too wide the row still is) reaches zero. Buttons and symbols keep their size; a label never
// gets narrower than a few words.
void wrapLabelsToFit(QWidget* container, const std::function<int()>& excess);

} // namespace vmk::chrome
