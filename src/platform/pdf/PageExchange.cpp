#include "platform/pdf/Page.h"

#include "platform/pdf/PdfLog.h"
#include "platform/pdf/detail/State.h"

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
    // Objects cross between the two documents as copies, each reached object once; within one document
    // the values simply change places.
    ObjectCopier intoHome(away, home);
    ObjectCopier intoAway(home, away);
    QString error;
    const bool ok = guarded(c, [&] {
        pdf_obj* myDict = pdf_resolve_indirect(c, mine);
        pdf_obj* theirDict = pdf_resolve_indirect(c, theirs);
        // Inherited boxes, rotation and resources are part of what each page shows.
        pdf_flatten_inheritable_page_items(c, myDict);
        pdf_flatten_inheritable_page_items(c, theirDict);
        for (size_t i = 0; i < keys.size(); ++i) {
            pdf_obj* myValue = pdf_dict_gets(c, myDict, keys[i]);
            pdf_obj* theirValue = pdf_dict_gets(c, theirDict, keys[i]);
            if (home == away) {
                toMine[i] = pdf_keep_obj(c, theirValue);
                toTheirs[i] = pdf_keep_obj(c, myValue);
            } else {
                toMine[i] = intoHome.copy(c, theirValue);
                toTheirs[i] = intoAway.copy(c, myValue);
            }
        }
        for (size_t i = 0; i < keys.size(); ++i) {
            if (toMine[i])
                pdf_dict_puts(c, myDict, keys[i], toMine[i]);
            else
                pdf_dict_dels(c, myDict, keys[i]);
            if (toTheirs[i])
                pdf_dict_puts(c, theirDict, keys[i], toTheirs[i]);
            else
                pdf_dict_dels(c, theirDict, keys[i]);
        }
    }, &error);
    for (size_t i = 0; i < keys.size(); ++i) {
        pdf_drop_obj(c, toMine[i]);
        pdf_drop_obj(c, toTheirs[i]);
    }
    m_state->invalidateText();
    other.m_state->invalidateText();
    if (!ok) {
        qCWarning(lcVmkPdf) << "The page's drawing could not be exchanged:" << error;
        return Status::failure(error.isEmpty() ? QStringLiteral("The page could not be rebuilt.") : error);
    }
    return {};
}

} // namespace vmk::pdf
