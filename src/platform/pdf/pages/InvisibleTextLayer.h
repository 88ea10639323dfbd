#pragma once

#include "platform/pdf/pages/PageRebuild.h"
#include "platform/pdf/engine/Fz.h"

#include <QByteArray>
#include <QList>

namespace vmk::pdf::detail {

// Helvetica's metrics, read from the engine's built-in metric-compatible face. Safe on any thread.
struct HelveticaMetrics {
    // Helvetica's descender as a fraction of the font size (its AFM value, 207/1000).
    static constexpr double kDescent = 0.207;
    // Advance width in thousandths of the font size; a character the face lacks counts as 500.
    static double advance(char32_t codePoint);
};

// The content and font resources of an invisible text layer, prepared away from MuPDF's error handling so
// that adding them to a document is C calls only.
struct InvisibleTextLayer {
    QByteArray content;        // BT ... ET with render mode 3; empty when no run is drawable
    QByteArray simpleFont;     // /F1: Helvetica with WinAnsiEncoding, or empty when unused
    QByteArray compositeFont;  // /F2: Type0 Helvetica with Identity-H, or empty when unused
    QByteArray fontDescriptor; // the composite font's descriptor
    QByteArray toUnicode;      // the composite font's ToUnicode CMap

    static InvisibleTextLayer build(const QList<InvisibleTextRun>& runs);
    // Puts the fonts into resources /Font. Throws MuPDF errors: call inside guarded().
    void addFonts(fz_context* c, pdf_document* doc, pdf_obj* resources) const;
};

} // namespace vmk::pdf::detail
