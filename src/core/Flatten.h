#pragma once

#include "platform/pdf/document/Document.h"

namespace vmk::core::PDFOps {

// A new document whose pages carry the displayed annotations as page content: each page upright, sized as
// displayed, without annotations of its own, and the source's document attributes (title, author...).
// The outline is not carried over. Nothing when a page cannot be drawn, so that a copy never silently
// lacks pages. The source is only read.
pdf::DocumentPtr flatten(const pdf::Document& document);

} // namespace vmk::core::PDFOps
