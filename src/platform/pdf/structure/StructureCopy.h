#pragma once

// The document-level structure that follows pages from one document into another: form fields and
// named destinations. Call inside guarded(); everything throws MuPDF errors.

#include "platform/pdf/document/State.h"

#include <set>
#include <vector>

namespace vmk::pdf::detail {

class StructureCopy {
public:
    StructureCopy(pdf_document* from, pdf_document* to) : m_from(from), m_to(to) {}

    // Adds the fields (tops of field trees already copied into the target) to the target's form, renaming
    // a top-level field whose name is taken, and brings over what the source's form says about all its
    // fields: default appearance and resources, NeedAppearances and signature flags.
    void mergeFields(fz_context* c, ObjectCopier& copier, const std::vector<pdf_obj*>& roots);

    // Copies the source's named destinations that point at `sourcePages` (object numbers in the source)
    // into the target's name tree; a name the target already uses gets a new one, and the links of
    // `newPages` (object numbers in the target) that used it follow.
    void copyNamedDestinations(fz_context* c, ObjectCopier& copier, const std::set<int>& sourcePages,
                               const std::vector<int>& newPages);

private:
    pdf_document* m_from;
    pdf_document* m_to;
};

} // namespace vmk::pdf::detail
