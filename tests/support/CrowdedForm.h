#pragma once

#include <QByteArray>
#include <QRect>

namespace vmk::test {

// A form as office suites write it (/NeedAppearances true, fields with empty appearances) on `pages`
// pages, each crowded with `markupsPerPage` squares, circles and notes that have no appearance stream:
// - page 1: text field "name" = Alice, combo box "colour" = Green (of Red, Green, Blue), checkbox
//   "agree" switched on (with its own on/off appearances);
// - every other page N: `rowsPerPage` text fields "rowN", "rowN_2", ... = "Entry N", "Entry N_2", ...;
// - every page: the text "Crowded form page N" and a link to the next page (the last to the first);
// - every third page (2, 5, ...) turned a quarter turn;
// - an outline ("Start" → page 1, "End" → last page), information (title "Crowded form") and XMP.
QByteArray makeCrowdedFormPdf(int pages, int markupsPerPage = 150, int rowsPerPage = 4);

// Where page 1's fields sit in an image of it at 72 dpi (image pixels, y down).
inline const QRect kCrowdedNameField(72, 162, 228, 30);
inline const QRect kCrowdedColourField(72, 222, 228, 30);

} // namespace vmk::test
