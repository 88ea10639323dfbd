#pragma once

#include <QString>

class QWidget;

namespace vmk::app {

// Where the in-place editing engine comes from, for the heading of the acknowledgements.
inline constexpr const char* kPdfiumBuildName = "chromium/8057";
inline constexpr const char* kPdfiumSource = "the npm package @craftlions/pdfium-rs-linux-x64-gnu 0.0.15";

// The acknowledgements text from the data folder: the heading about PDFium, then "LICENSE" (PDFium's
// licence) under "PDFium", then every readable file of "licenses/" in file-name order (code points, so
// capitals first) under its name without extension. Missing, unreadable or non-UTF-8 files are left out
// without a trace; the heading is always there.
QString acknowledgementsText(const QString& dataDirectory);

// The window that shows the text: read-only, selectable, monospaced; kept (not deleted) when closed.
QWidget* makeAcknowledgementsWindow(const QString& text);

// The credits of the About panel, as rich text.
QString aboutCredits();

} // namespace vmk::app
