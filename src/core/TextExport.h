#pragma once

#include "platform/pdf/document/Document.h"

#include <QString>

namespace vmk::core::PDFOps {

// Stands between the texts of consecutive pages in exported text: newline, form feed, newline.
inline const QString kPageSeparator = QStringLiteral("\n\f\n");

// The text of every page joined with kPageSeparator; pages without text contribute an empty string, so a
// document of n pages always has n - 1 separators.
QString plainText(const pdf::Document& document);

} // namespace vmk::core::PDFOps
