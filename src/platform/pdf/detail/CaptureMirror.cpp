#include "platform/pdf/detail/CaptureMirror.h"

#include "platform/pdf/PdfLog.h"
#include "platform/pdf/detail/State.h"

#include <algorithm>

namespace vmk::pdf::detail {

namespace {
std::atomic_int g_alive{0};

// What interpreting a mirror's pages keeps for reuse: fonts, colour spaces, functions and pictures as
// loaded (decoded pixels go to the drawing thread's store). Enough for a mirror's pages, bounded per mirror.
constexpr std::size_t kMirrorStoreBytes = std::size_t(64) << 20;
}

int CaptureMirror::alive() { return g_alive.load(); }

CaptureMirror::CaptureMirror()
{
    ++g_alive;
    engine = newPrivateStoreContext(kMirrorStoreBytes);
    if (!engine)
        return;
    fz_try(engine) { doc = pdf_create_document(engine); }
    fz_catch(engine) { doc = nullptr; }
}

CaptureMirror::~CaptureMirror()
{
    // Nobody else holds the mirror now, so its context is free to use on this thread.
    if (doc)
        pdf_drop_document(engine, doc);
    if (engine)
        fz_drop_context(engine);
    fz_drop_buffer(ctx(), sourceBytes);
    --g_alive;
}

void CaptureMirror::readPending(fz_context* c)
{
    for (const PendingStream& stream : pending) {
        fz_stream* file = nullptr;
        fz_stream* raw = nullptr;
        fz_buffer* data = nullptr;
        pdf_obj* ref = nullptr;
        const bool read = guarded(c, [&] {
            // Read as the engine reads a stream of an unencrypted file: up to "endstream" when the
            // length falls short of it.
            file = fz_open_buffer(c, sourceBytes);
            raw = fz_open_endstream_filter(c, file, stream.length, stream.offset);
            data = fz_read_all(c, raw, size_t(stream.length));
        });
        guarded(c, [&] {
            if (!data)
                data = fz_new_buffer(c, 1); // unreadable: drawn as nothing rather than not at all
            ref = pdf_new_indirect(c, doc, stream.num, 0);
            pdf_update_stream(c, doc, ref, data, 1);
        });
        if (!read)
            qCWarning(lcVmkPdf) << "A stream of a copied page could not be read.";
        pdf_drop_obj(c, ref);
        fz_drop_buffer(c, data);
        fz_drop_stream(c, raw);
        fz_drop_stream(c, file);
    }
    pending.clear();
}

std::shared_ptr<CaptureMirror> CaptureMirrors::acquire()
{
    m_mirrors.erase(std::remove_if(m_mirrors.begin(), m_mirrors.end(),
                                   [](const auto& m) { return m->pages >= kPagesPerMirror; }),
                    m_mirrors.end());
    std::vector<std::shared_ptr<CaptureMirror>> byWaiting = m_mirrors;
    std::stable_sort(byWaiting.begin(), byWaiting.end(),
                     [](const auto& a, const auto& b) { return a->waiting.load() < b->waiting.load(); });
    const bool room = m_mirrors.size() < kMirrors;
    for (const auto& mirror : byWaiting) {
        if (room && mirror->waiting.load() > 0)
            break; // a fresh mirror serves better
        if (mirror->use.try_lock())
            return mirror;
    }
    auto mirror = std::make_shared<CaptureMirror>();
    if (!mirror->doc)
        return nullptr;
    mirror->use.lock();
    m_mirrors.push_back(mirror);
    if (m_mirrors.size() > kMirrors)
        m_mirrors.erase(m_mirrors.begin()); // lives on with the pages copied into it
    return mirror;
}

PageObjectCopier::PageObjectCopier(pdf_document* from, CaptureMirror& to, bool share)
    : m_from(from), m_mirror(to), m_to(to.doc), m_share(share),
      m_anyChange(from && from->num_incremental_sections > 0)
{
}

void PageObjectCopier::rollBack()
{
    for (int num : m_added)
        m_mirror.shared.erase(num);
    m_added.clear();
}

// Notes where the stream's data lies in the source's bytes instead of reading it here, when it is still
// there as the file has it (not replaced in memory) and needs no decrypting.
bool PageObjectCopier::deferData(fz_context* c, int fromNum, int toNum)
{
    if (!m_mirror.sourceBytes || m_from->crypt || fromNum <= 0 || fromNum >= pdf_xref_len(c, m_from))
        return false;
    pdf_xref_entry* entry = pdf_get_xref_entry_no_null(c, m_from, fromNum);
    if (entry->stm_buf || entry->stm_ofs <= 0 || !entry->obj)
        return false;
    const int length = pdf_dict_get_int(c, entry->obj, PDF_NAME(Length));
    m_mirror.pending.push_back({toNum, entry->stm_ofs, uint64_t(std::max(length, 0))});
    return true;
}

bool PageObjectCopier::changed(fz_context* c, int num) const
{
    return m_anyChange && (num >= pdf_xref_len(c, m_from) || pdf_xref_is_incremental(c, m_from, num));
}

// Whether nothing the object reaches was changed since the source was opened. Only object headers are
// read, never stream data, and each object once per copy.
bool PageObjectCopier::unchangedSince(fz_context* c, pdf_obj* obj, int depth)
{
    if (!m_anyChange)
        return true;
    if (depth > kMaxDepth)
        return false;
    int num = 0;
    if (pdf_is_indirect(c, obj)) {
        num = pdf_to_num(c, obj);
        if (m_changedReach.count(num))
            return false;
        if (!m_checked.insert(num).second)
            return true; // verified, or being verified further up
        if (changed(c, num)) {
            m_changedReach.insert(num);
            return false;
        }
        obj = pdf_resolve_indirect(c, obj);
    }
    bool unchanged = true;
    if (pdf_is_dict(c, obj)) {
        for (int i = 0, n = pdf_dict_len(c, obj); i < n && unchanged; ++i)
            unchanged = unchangedSince(c, pdf_dict_get_val(c, obj, i), depth + 1);
    } else if (pdf_is_array(c, obj)) {
        for (int i = 0, n = pdf_array_len(c, obj); i < n && unchanged; ++i)
            unchanged = unchangedSince(c, pdf_array_get(c, obj, i), depth + 1);
    }
    if (!unchanged && num > 0)
        m_changedReach.insert(num);
    return unchanged;
}

namespace {

bool isPageObject(fz_context* c, pdf_obj* dict)
{
    if (!pdf_is_dict(c, dict))
        return false;
    pdf_obj* type = pdf_dict_get(c, dict, PDF_NAME(Type));
    return pdf_name_eq(c, type, PDF_NAME(Page)) || pdf_name_eq(c, type, PDF_NAME(Pages));
}

} // namespace

pdf_obj* PageObjectCopier::copyIndirect(fz_context* c, pdf_obj* obj, int depth)
{
    const int num = pdf_to_num(c, obj);
    if (auto found = m_local.find(num); found != m_local.end()) {
        // Met again in this copy: whatever holds it may only be shared if it is.
        if (!m_mirror.shared.count(num))
            ++m_changes;
        return pdf_new_indirect(c, m_to, found->second, 0);
    }
    if (m_share) {
        if (auto found = m_mirror.shared.find(num); found != m_mirror.shared.end()) {
            if (unchangedSince(c, obj, depth)) {
                m_local.emplace(num, found->second);
                return pdf_new_indirect(c, m_to, found->second, 0);
            }
            m_mirror.shared.erase(found);
        }
    }
    pdf_obj* resolved = pdf_resolve_indirect(c, obj);
    if (!resolved || isPageObject(c, resolved))
        return PDF_NULL;
    const int newNum = pdf_create_object(c, m_to);
    m_local.emplace(num, newNum);
    const int changesBefore = m_changes;
    if (changed(c, num))
        ++m_changes;
    pdf_obj* body = copy(c, resolved, depth + 1);
    fz_try(c) { pdf_update_object(c, m_to, newNum, body); }
    fz_always(c) { pdf_drop_obj(c, body); }
    fz_catch(c) { fz_rethrow(c); }
    pdf_obj* ref = pdf_new_indirect(c, m_to, newNum, 0);
    if (pdf_is_stream(c, obj) && !deferData(c, num, newNum)) {
        fz_buffer* raw = nullptr;
        fz_var(raw);
        fz_try(c)
        {
            raw = pdf_load_raw_stream(c, obj);
            pdf_update_stream(c, m_to, ref, raw, 1);
        }
        fz_always(c) { fz_drop_buffer(c, raw); }
        fz_catch(c)
        {
            pdf_drop_obj(c, ref);
            fz_rethrow(c);
        }
    }
    if (m_share && m_changes == changesBefore) {
        m_mirror.shared[num] = newNum;
        m_added.push_back(num);
        m_checked.insert(num);
    }
    return ref;
}

pdf_obj* PageObjectCopier::copy(fz_context* c, pdf_obj* obj, int depth)
{
    if (!obj)
        return nullptr;
    if (depth > kMaxDepth)
        fz_throw(c, FZ_ERROR_GENERIC, "objects nested too deeply");
    if (pdf_is_indirect(c, obj))
        return copyIndirect(c, obj, depth);
    if (pdf_is_dict(c, obj)) {
        const int n = pdf_dict_len(c, obj);
        pdf_obj* out = pdf_new_dict(c, m_to, n);
        fz_try(c)
        {
            for (int i = 0; i < n; ++i)
                pdf_dict_put_drop(c, out, pdf_dict_get_key(c, obj, i), copy(c, pdf_dict_get_val(c, obj, i), depth + 1));
        }
        fz_catch(c)
        {
            pdf_drop_obj(c, out);
            fz_rethrow(c);
        }
        return out;
    }
    if (pdf_is_array(c, obj)) {
        const int n = pdf_array_len(c, obj);
        pdf_obj* out = pdf_new_array(c, m_to, n);
        fz_try(c)
        {
            for (int i = 0; i < n; ++i)
                pdf_array_push_drop(c, out, copy(c, pdf_array_get(c, obj, i), depth + 1));
        }
        fz_catch(c)
        {
            pdf_drop_obj(c, out);
            fz_rethrow(c);
        }
        return out;
    }
    return pdf_keep_obj(c, obj);
}

pdf_obj* PageObjectCopier::copyAnnotation(fz_context* c, pdf_obj* annot)
{
    pdf_obj* dict = pdf_resolve_indirect(c, annot);
    if (!pdf_is_dict(c, dict))
        return PDF_NULL;
    pdf_obj* out = pdf_new_dict(c, m_to, pdf_dict_len(c, dict));
    fz_try(c)
    {
        for (int i = 0, n = pdf_dict_len(c, dict); i < n; ++i) {
            pdf_obj* key = pdf_dict_get_key(c, dict, i);
            if (pdf_name_eq(c, key, PDF_NAME(A)) || pdf_name_eq(c, key, PDF_NAME(Dest))
                || pdf_name_eq(c, key, PDF_NAME(AA)) || pdf_name_eq(c, key, PDF_NAME(P))
                || pdf_name_eq(c, key, PDF_NAME(Parent)) || pdf_name_eq(c, key, PDF_NAME(Popup))
                || pdf_name_eq(c, key, PDF_NAME(IRT)))
                continue;
            pdf_dict_put_drop(c, out, key, copy(c, pdf_dict_get_val(c, dict, i), 1));
        }
    }
    fz_catch(c)
    {
        pdf_drop_obj(c, out);
        fz_rethrow(c);
    }
    pdf_obj* ref = nullptr;
    fz_try(c) { ref = pdf_add_object(c, m_to, out); }
    fz_always(c) { pdf_drop_obj(c, out); }
    fz_catch(c) { fz_rethrow(c); }
    return ref;
}

} // namespace vmk::pdf::detail
