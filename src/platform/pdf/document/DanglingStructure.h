#pragma once

// What a document still holds of pages it no longer has. A removed page keeps its identity so that undo
// can put it back, and so the document keeps the form fields of its widgets, the named destinations, the
// outline entries, the links and the open action that lead to it. A written file must not: other readers
// would list fields nobody can see, offer jumps to nowhere, and the references would carry the removed
// page, content and all, into the file. This hides them from one write and puts them back afterwards.

#include "platform/pdf/document/EntryEdits.h"

namespace vmk::pdf::detail {

class DanglingStructure {
public:
    DanglingStructure() = default;
    DanglingStructure(const DanglingStructure&) = delete;
    DanglingStructure& operator=(const DanglingStructure&) = delete;

    // Takes out of `doc`:
    // - form fields whose widgets all lie on pages outside the page tree (a field's widgets on present
    //   pages stay; a field without any widget stays, as it was written);
    // - named destinations into such pages;
    // - outline entries into them: an entry with entries below it stays, without its destination;
    // - the destinations of links (on present pages) into them, and an open action into them.
    // Call inside guarded(); throws MuPDF errors. What was changed before an error is still put back by
    // restore().
    void hide(fz_context* c, pdf_document* doc);
    // Puts back what hide() took out. Call inside guarded().
    void restore(fz_context* c);

private:
    EntryEdits m_journal;
};

} // namespace vmk::pdf::detail
