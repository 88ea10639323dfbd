#include "platform/pdf/pages/SourceCopies.h"

#include "platform/pdf/document/FileFill.h"
#include "platform/pdf/engine/EngineGate.h"
#include "platform/services/HeapTrim.h"
#include "platform/services/Secrets.h"

#include <algorithm>
#include <atomic>

namespace vmk::pdf::detail {

namespace {

// A copy's engine store holds what reading pages keeps for reuse (fonts, mostly); pictures are not decoded
// for text, so a small store is enough, and there is one per worker.
constexpr std::size_t kCopyStoreBytes = std::size_t(32) << 20;

// Counted apart by kind: a drawing stuck in a decoder keeps its copy open long after reading has ended.
std::atomic<int> g_openCopies[2] = {0, 0};

// A copy its thread has not come back to for this long is left: another thread may take it over.
constexpr auto kLeftAfter = std::chrono::milliseconds(250);
// Threads with a copy of their own, at most; past that, they take over idle ones.
const int kOwnCopies = int(std::max(2u, std::thread::hardware_concurrency()));

} // namespace

SourceCopies::SourceCopies(fz_buffer* source, const QByteArray& password, Contexts contexts, std::size_t storeBytes,
                           std::shared_ptr<FileFill> fill)
    : m_source(source ? fz_keep_buffer(ctx(), source) : nullptr), m_fill(source ? nullptr : std::move(fill)),
      m_contexts(contexts), m_storeBytes(storeBytes > 0 ? storeBytes : kCopyStoreBytes),
      m_password(platform::ownedCopy(password))
{
    if (m_source)
        m_size = fz_buffer_storage(ctx(), m_source, &m_data);
}

SourceCopies::~SourceCopies()
{
    // The copies live in contexts of their own and close at once. What they read goes back to the system
    // once no other large release is under way (see HeapTrim).
    const bool counted = m_releaseCounted || !m_all.empty();
    if (!m_releaseCounted && counted)
        platform::heapReleaseBegins();
    for (Copy* copy : m_all)
        close(copy);
    if (counted)
        platform::heapReleaseEnds();
    // The copies may outlive the document they were made for: the password goes with the last of them.
    platform::wipe(m_password);
    // Any thread may end the last use; ctx() is the calling thread's own member of the source's family.
    if (m_source)
        EngineGate::releaseLater([source = m_source] { fz_drop_buffer(ctx(), source); });
}

void SourceCopies::letGo()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_releaseCounted || (m_all.empty() && m_opening == 0 && !m_openingAhead))
        return;
    m_releaseCounted = true;
    platform::heapReleaseBegins();
}

int SourceCopies::openCount(Contexts contexts) { return g_openCopies[int(contexts)].load(); }

SourceCopies::Copy* SourceCopies::takeFree()
{
    if (m_free.empty())
        return nullptr;
    auto chosen = std::find_if(m_free.begin(), m_free.end(),
                               [](const Copy* c) { return c->lastUser == std::this_thread::get_id(); });
    if (chosen == m_free.end() && m_contexts == Contexts::families) {
        // Another thread's copy that it takes again a moment later would leave that thread without one,
        // and pages near its own would go to a copy that has loaded none of their fonts.
        chosen = std::min_element(m_free.begin(), m_free.end(),
                                  [](const Copy* a, const Copy* b) { return a->givenBack < b->givenBack; });
        const bool left = (*chosen)->lastUser == std::thread::id()
                          || std::chrono::steady_clock::now() - (*chosen)->givenBack >= kLeftAfter;
        if (!left && int(m_all.size()) + m_opening < kOwnCopies)
            return nullptr;
    }
    if (chosen == m_free.end())
        chosen = m_free.end() - 1;
    Copy* copy = *chosen;
    m_free.erase(chosen);
    return copy;
}

SourceCopies::Copy* SourceCopies::take()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (Copy* copy = takeFree())
            return copy;
        ++m_opening;
    }
    Copy* copy = open();
    const std::lock_guard<std::mutex> lock(m_mutex);
    --m_opening;
    if (copy)
        m_all.push_back(copy);
    return copy;
}

void SourceCopies::give(Copy* copy)
{
    if (!copy)
        return;
    copy->lastUser = std::this_thread::get_id();
    copy->givenBack = std::chrono::steady_clock::now();
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_free.push_back(copy);
}

bool SourceCopies::openedOrOpenAhead()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_all.empty())
            return true;
        if (m_openingAhead)
            return false;
        m_openingAhead = true;
    }
    std::thread([self = shared_from_this()] {
        Copy* copy = self->open();
        const std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_openingAhead = false;
        if (copy) {
            self->m_all.push_back(copy);
            self->m_free.push_back(copy);
        }
    }).detach();
    return false;
}

SourceCopies::Copy* SourceCopies::open()
{
    auto* copy = new Copy;
    if (m_contexts == Contexts::families) {
        copy->family = EngineFamily::create(m_storeBytes);
        if (copy->family)
            copy->own = std::make_unique<EngineFamily::Clone>(*copy->family);
        copy->context = copy->own ? copy->own->context() : nullptr;
    } else {
        copy->context = newSeparateContext(m_storeBytes);
    }
    fz_context* c = copy->context;
    if (!c) {
        delete copy;
        return nullptr;
    }
    ++g_openCopies[int(m_contexts)];
    // The source's bytes stay put while this object keeps the source; the copy only borrows them.
    fz_stream* stream = nullptr;
    const char* password = m_password.constData();
    bool treeLoaded = false;
    const bool ok = guarded(c, [&] {
        if (m_fill) {
            stream = m_fill->openStream(c);
        } else {
            copy->bytes = fz_new_buffer_from_shared_data(c, m_data, m_size);
            stream = fz_open_buffer(c, copy->bytes);
        }
        copy->doc = pdf_open_document_with_stream(c, stream);
        if (pdf_needs_password(c, copy->doc))
            pdf_authenticate_password(c, copy->doc, password);
        // Reverse lookups from object numbers to page indices without walking the tree each time, for
        // copies that draw; text is read by object number and needs no tree.
        if (m_contexts == Contexts::families)
            pdf_load_page_tree(c, copy->doc);
        treeLoaded = true;
    });
    fz_drop_stream(c, stream);
    if (!ok || !treeLoaded) {
        close(copy);
        return nullptr;
    }
    return copy;
}

void SourceCopies::close(Copy* copy)
{
    fz_context* c = copy->context;
    if (copy->doc) {
        pdf_drop_page_tree(c, copy->doc);
        // A family's store outlives the copy (display lists keep it): the document's entries leave it first.
        if (copy->family)
            dropDocument(c, copy->doc);
        else
            pdf_drop_document(c, copy->doc);
    }
    fz_drop_buffer(c, copy->bytes);
    if (!copy->family)
        fz_drop_context(c);
    const Contexts kind = copy->family ? Contexts::families : Contexts::separate;
    delete copy; // a family's clone and its hold on the family go with it
    --g_openCopies[int(kind)];
}

} // namespace vmk::pdf::detail
