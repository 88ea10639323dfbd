#pragma once

// Appearances the layer draws for annotations that came from the file without one (a note another
// program made), so that they show on screen. They are ours, not the file's: other readers draw such an
// annotation their own way (a note's icon at its corner), and an appearance squeezed into its rectangle
// would show there instead. A write puts an annotation the user has not changed since back as it was read,
// and puts the drawing back afterwards.

#include "platform/pdf/document/EntryEdits.h"

namespace vmk::pdf::detail {

// An annotation's dictionary as read and as it stood once drawn; deep copies of its direct parts.
struct DrawnForDisplay {
    pdf_obj* asRead = nullptr;
    pdf_obj* asDrawn = nullptr;
    DrawnForDisplay() = default;
    DrawnForDisplay(const DrawnForDisplay&) = delete;
    DrawnForDisplay& operator=(const DrawnForDisplay&) = delete;
    ~DrawnForDisplay();
};

// Around the first drawing of the appearances of a page's annotations: the first remembers each
// annotation of the file that has none, the second what drawing made of it. Never throw.
void rememberBeforeDrawing(fz_context* c, const std::vector<AnnotationPtr>& annotations);
void rememberAfterDrawing(fz_context* c, const std::vector<AnnotationPtr>& annotations);

class UntouchedAppearances {
public:
    // Puts back, in the document's pages, every annotation that is still as drawn for display: the
    // entries as read. Call inside guarded(); what was changed before an error is still put back by restore().
    void hide(fz_context* c, const std::vector<PagePtr>& pages);
    // Puts the drawn entries back. Call inside guarded().
    void restore(fz_context* c);

private:
    EntryEdits m_journal;
};

} // namespace vmk::pdf::detail
