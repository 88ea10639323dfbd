#include "platform/pdf/pages/SourceCopies.h"

#include "platform/pdf/engine/EngineGate.h"
#include "platform/services/Secrets.h"

#include <atomic>

namespace vmk::pdf::detail {

namespace {

// A copy's engine store holds what reading pages keeps for reuse (fonts, mostly); pictures are not decoded
// for text, so a small store is enough, and there is one per worker.
constexpr std::size_t kCopyStoreBytes = std::size_t(32) << 20;

std::atomic<int> g_openCopies{0};

} // namespace

SourceCopies::SourceCopies(fz_buffer* source, const QByteArray& password)
    : m_source(fz_keep_buffer(ctx(), source)), m_password(platform::ownedCopy(password))
{
    m_size = fz_buffer_storage(ctx(), m_source, &m_data);
}

SourceCopies::~SourceCopies()
{
    // The copies live in contexts of their own and close at once.
    for (Copy* copy : m_all)
        close(copy);
    // The copies may outlive the document they were made for: the password goes with the last of them.
    platform::wipe(m_password);
    // Any thread may end the last use; ctx() is the calling thread's own member of the source's family.
    EngineGate::releaseLater([source = m_source] { fz_drop_buffer(ctx(), source); });
}

int SourceCopies::openCount() { return g_openCopies.load(); }

SourceCopies::Copy* SourceCopies::take()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_free.empty()) {
            Copy* copy = m_free.back();
            m_free.pop_back();
            return copy;
        }
    }
    Copy* copy = open();
    if (copy) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_all.push_back(copy);
    }
    return copy;
}

void SourceCopies::give(Copy* copy)
{
    if (!copy)
        return;
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_free.push_back(copy);
}

SourceCopies::Copy* SourceCopies::open()
{
    fz_context* c = newSeparateContext(kCopyStoreBytes);
    if (!c)
        return nullptr;
    auto* copy = new Copy{c, nullptr, nullptr};
    ++g_openCopies;
    // The source's bytes stay put while this object keeps the source; the copy only borrows them.
    fz_stream* stream = nullptr;
    const char* password = m_password.constData();
    bool treeLoaded = false;
    const bool ok = guarded(c, [&] {
        copy->bytes = fz_new_buffer_from_shared_data(c, m_data, m_size);
        stream = fz_open_buffer(c, copy->bytes);
        copy->doc = pdf_open_document_with_stream(c, stream);
        if (pdf_needs_password(c, copy->doc))
            pdf_authenticate_password(c, copy->doc, password);
        // Reverse lookups from object numbers to page indices without walking the tree each time.
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
        pdf_drop_document(c, copy->doc);
    }
    fz_drop_buffer(c, copy->bytes);
    fz_drop_context(c);
    delete copy;
    --g_openCopies;
}

} // namespace vmk::pdf::detail
