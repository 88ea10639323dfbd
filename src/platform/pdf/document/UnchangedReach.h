#pragma once

// Layer-internal: which pages of the bytes a document was opened from still draw exactly as the document
// does now, told without the document itself (a worker is writing it).

#include "platform/pdf/engine/Fz.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace vmk::pdf::detail {

// What an object is, as far as drawing can tell: its value written out, a stream's data by where it lies
// in the file. Two objects of the same number, one in the document and one in a fresh copy of its bytes,
// draw alike when their signatures are equal. Left out because drawing never reads them: a stream's
// /Length (writing puts indirect lengths in place, which changes nothing drawn) and a page tree node's
// /Kids and /Count (pages moved or added elsewhere in the tree). Nothing when it cannot be told: a
// stream whose data was replaced in memory, an object that does not load. Call outside guarded().
std::optional<std::string> drawnSignature(fz_context* c, pdf_document* doc, int num);

// The objects changed since the document was opened (the engine keeps them apart from those read from
// the file), each with its signature as it is now. Call on the document's thread, outside guarded().
using ChangedObjects = std::unordered_map<int, std::optional<std::string>>;
ChangedObjects changedSinceOpening(fz_context* c, pdf_document* doc);

// Walks what a page of `copy` (a document opened from the same bytes) draws with: its content,
// resources, group, boxes and rotation (its own or inherited through the page tree), its annotations with
// their appearances and, for a form field's widget, the fields above it. True when none of it is among
// `changed` with another signature there, so that the page draws in the copy exactly as in the document.
// The way back up (/Parent, /P) and what drawing never reads are not followed, so that one page never
// drags the others along.
class UnchangedReach {
public:
    UnchangedReach(const ChangedObjects& changed, fz_context* c, pdf_document* copy);
    // Answers are kept: the copy never changes. Call outside guarded().
    bool pageUnchanged(int pageNum);

private:
    bool same(int num);
    bool walk(pdf_obj* root);
    bool annotationsUnchanged(pdf_obj* annots);

    const ChangedObjects& m_changed;
    fz_context* m_c;
    pdf_document* m_doc;
    std::unordered_set<int> m_seen;           // by the page being walked
    std::unordered_set<int> m_clean;          // reaching nothing changed, seen by earlier pages
    std::unordered_map<int, bool> m_same;     // changed objects already compared
    std::unordered_map<int, bool> m_pages;    // pages already walked
};

} // namespace vmk::pdf::detail
