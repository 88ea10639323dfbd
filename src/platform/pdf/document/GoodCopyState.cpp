#include "platform/pdf/document/GoodCopyState.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/document/State.h"
#include "platform/pdf/engine/EngineGate.h"
#include "platform/services/Secrets.h"

#include <atomic>

namespace vmk::pdf::detail {

namespace {

// What drawing a copy's pages keeps for reuse (fonts and colour spaces as loaded), as a page mirror has.
constexpr std::size_t kCopyStoreBytes = std::size_t(64) << 20;

std::atomic<int> g_copiesOpen{0};

} // namespace

GoodCopyState::~GoodCopyState()
{
    for (Copy* copy : m_all)
        close(copy);
    platform::wipe(password);
    EngineGate::releaseLater([source = source] { fz_drop_buffer(ctx(), source); });
}

int GoodCopyState::openCount() { return g_copiesOpen.load(); }

GoodCopyState::Copy* GoodCopyState::take()
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_free.empty()) {
            Copy* copy = m_free.back();
            m_free.pop_back();
            return copy;
        }
    }
    Copy* copy = open();
    if (copy) {
        const std::lock_guard lock(m_mutex);
        m_all.push_back(copy);
    }
    return copy;
}

void GoodCopyState::give(Copy* copy)
{
    const std::lock_guard lock(m_mutex);
    m_free.push_back(copy);
}

GoodCopyState::Copy* GoodCopyState::open()
{
    fz_context* c = newPrivateStoreContext(kCopyStoreBytes);
    if (!c)
        return nullptr;
    auto* copy = new Copy;
    copy->engine = c;
    ++g_copiesOpen;
    fz_stream* stream = nullptr;
    const bool ok = guarded(c, [&] {
        stream = fz_open_buffer(c, source);
        copy->doc = pdf_open_document_with_stream(c, stream);
        if (pdf_needs_password(c, copy->doc))
            pdf_authenticate_password(c, copy->doc, password.constData());
        // Pages are found by their object numbers: the reverse map makes that a look-up.
        pdf_load_page_tree(c, copy->doc);
        copy->treeLoaded = true;
    });
    fz_drop_stream(c, stream);
    if (!ok || pdf_was_repaired(c, copy->doc)) {
        close(copy);
        return nullptr;
    }
    copy->reach = std::make_unique<UnchangedReach>(changed, c, copy->doc);
    return copy;
}

void GoodCopyState::close(Copy* copy)
{
    copy->reach.reset();
    fz_context* c = copy->engine;
    if (copy->doc) {
        if (copy->treeLoaded)
            guarded(c, [&] { pdf_drop_page_tree(c, copy->doc); });
        pdf_drop_document(c, copy->doc);
    }
    fz_drop_context(c);
    delete copy;
    --g_copiesOpen;
}

std::shared_ptr<GoodCopyState> takeGoodCopy(const Document& document)
{
    const DocumentState& d = document.state();
    fz_context* c = ctx();
    if (!d.source || d.locked || !d.doc || pdf_was_repaired(c, d.doc))
        return nullptr;
    auto state = std::make_shared<GoodCopyState>();
    state->source = fz_keep_buffer(c, d.source);
    state->password = platform::ownedCopy(d.password);
    for (const PagePtr& page : document.pages()) {
        if (page && page->state().ref.doc == d.doc)
            state->pages.emplace(page.get(), page->state().ref.num());
    }
    state->changed = changedSinceOpening(c, d.doc);
    return state;
}

} // namespace vmk::pdf::detail
