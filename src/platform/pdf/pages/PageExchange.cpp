#include "platform/pdf/document/Page.h"

#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/document/State.h"

#include <array>

namespace vmk::pdf {

using namespace detail;

namespace {

// What a page draws and how it is framed. Everything else of the page dictionary (its parent, its
// annotations, its actions, beads and transitions) belongs to the page's place in the document and stays.
// The marked-content entries go with the drawing: a rebuilt drawing has no marked content of its own.
constexpr std::array<const char*, 15> kDrawingKeys = {
    "Contents", "Resources", "MediaBox", "CropBox", "BleedBox", "TrimBox", "ArtBox", "Rotate",
    "Group", "UserUnit", "Thumb", "PieceInfo", "Metadata", "StructParents", "LastModified"};

// Whether the page dictionary lists annotations, which belong to its document.
bool hasAnnotations(fz_context* c, pdf_obj* dict) { return pdf_array_len(c, pdf_dict_get(c, dict, PDF_NAME(Annots))) > 0; }

} // namespace

Status Page::exchangeDrawing(Page& other)
{
    if (&other == this)
        return {};
    if (other.document())
        return Status::failure(QStringLiteral("The page to exchange with is in a document."));
    fz_context* c = ctx();
    pdf_document* home = m_state->ref.doc;
    pdf_document* away = other.m_state->ref.doc;
    pdf_obj* mine = m_state->ref.obj;
    pdf_obj* theirs = other.m_state->ref.obj;
    const auto& keys = kDrawingKeys;
    std::array<pdf_obj*, kDrawingKeys.size()> toMine{};
    std::array<pdf_obj*, kDrawingKeys.size()> toTheirs{};
    // The other page's drawing is copied in (its streams shared, not their bytes) and the other page moves
    // in with it, to a page object outside the page tree that takes this page's drawing as it is: nothing
    // of this page is copied, so the exchange costs what the other drawing's objects count, never what
    // this page's content weighs, and exchanging back is a swap of values. A page with annotations of its
    // own stays in its document and takes a copy.
    ObjectCopier intoHome(away, home);
    ObjectCopier intoAway(home, away);
    pdf_obj* moved = nullptr;
    int movedNum = 0;
    QString error;
    const bool ok = guarded(c, [&] {
        pdf_obj* myDict = pdf_resolve_indirect(c, mine);
        pdf_obj* theirDict = pdf_resolve_indirect(c, theirs);
        // Inherited boxes, rotation and resources are part of what each page shows.
        pdf_flatten_inheritable_page_items(c, myDict);
        pdf_flatten_inheritable_page_items(c, theirDict);
        const bool moveIn = home != away && !hasAnnotations(c, theirDict);
        if (moveIn) {
            moved = pdf_new_dict(c, home, int(keys.size()) + 1);
            pdf_dict_put(c, moved, PDF_NAME(Type), PDF_NAME(Page));
        }
        for (size_t i = 0; i < keys.size(); ++i) {
            pdf_obj* myValue = pdf_dict_gets(c, myDict, keys[i]);
            pdf_obj* theirValue = pdf_dict_gets(c, theirDict, keys[i]);
            if (home == away) {
                toMine[i] = pdf_keep_obj(c, theirValue);
                toTheirs[i] = pdf_keep_obj(c, myValue);
            } else {
                toMine[i] = intoHome.copy(c, theirValue);
                toTheirs[i] = moveIn ? pdf_keep_obj(c, myValue) : intoAway.copy(c, myValue);
            }
        }
        pdf_obj* receiver = moveIn ? moved : theirDict;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (toMine[i])
                pdf_dict_puts(c, myDict, keys[i], toMine[i]);
            else
                pdf_dict_dels(c, myDict, keys[i]);
            if (toTheirs[i])
                pdf_dict_puts(c, receiver, keys[i], toTheirs[i]);
            else
                pdf_dict_dels(c, receiver, keys[i]);
        }
        if (moveIn) {
            pdf_obj* ref = pdf_add_object(c, home, moved);
            movedNum = pdf_to_num(c, ref);
            pdf_drop_obj(c, ref);
        }
    }, &error);
    for (size_t i = 0; i < keys.size(); ++i) {
        pdf_drop_obj(c, toMine[i]);
        pdf_drop_obj(c, toTheirs[i]);
    }
    pdf_drop_obj(c, moved);
    if (ok && movedNum > 0)
        other.m_state->ref.reset(home, movedNum);
    m_state->invalidateText();
    other.m_state->invalidateText();
    if (!ok) {
        qCWarning(lcVmkPdf) << "The page's drawing could not be exchanged:" << error;
        return Status::failure(error.isEmpty() ? QStringLiteral("The page could not be rebuilt.") : error);
    }
    return {};
}

} // namespace vmk::pdf
