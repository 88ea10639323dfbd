#include "platform/pdf/pages/RecordingCopy.h"

#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/engine/EngineGate.h"
#include "platform/pdf/document/State.h"

#include <algorithm>
#include <cstring>

namespace vmk::pdf::detail {

namespace {
std::atomic_int g_alive{0};

// What interpreting a mirror's pages keeps for reuse: fonts, colour spaces, functions and pictures as
// loaded (decoded pixels go to the drawing thread's store). Enough for a mirror's pages, bounded per mirror.
constexpr std::size_t kMirrorStoreBytes = std::size_t(64) << 20;
}

int RecordingCopy::alive() { return g_alive.load(); }

RecordingCopy::RecordingCopy()
{
    ++g_alive;
    engine = newPrivateStoreContext(kMirrorStoreBytes);
    if (!engine)
        return;
    fz_try(engine) { doc = pdf_create_document(engine); }
    fz_catch(engine) { doc = nullptr; }
}

RecordingCopy::~RecordingCopy()
{
    // Nobody else holds the mirror now, so its context is free to use on this thread.
    if (doc)
        pdf_drop_document(engine, doc);
    if (engine)
        fz_drop_context(engine);
    EngineGate::releaseLater([source = sourceBytes] { fz_drop_buffer(ctx(), source); });
    --g_alive;
}

void RecordingCopy::readPending(fz_context* c)
{
    for (PendingStream& stream : pending) {
        fz_stream* file = nullptr;
        fz_stream* raw = nullptr;
        fz_stream* plain = nullptr;
        fz_buffer* data = nullptr;
        pdf_obj* ref = nullptr;
        const bool read = guarded(c, [&] {
            // Read as the engine reads a stream of the file: up to "endstream" when the length falls
            // short of it, then decrypted with the object's own key.
            file = fz_open_buffer(c, sourceBytes);
            raw = fz_open_endstream_filter(c, file, stream.length, stream.offset);
            const StreamCipher& cipher = stream.cipher;
            if (cipher.method == StreamCipher::rc4)
                plain = fz_open_arc4(c, raw, stream.cipher.key, cipher.keyLength);
            else if (cipher.method == StreamCipher::aes)
                plain = fz_open_aesd(c, raw, stream.cipher.key, cipher.keyLength);
            fz_stream* last = plain ? plain : raw;
            data = fz_read_all(c, last, size_t(stream.length));
            // The engine ends a read that failed as if the data ended there: a stream cut short by
            // data that does not decrypt is not the stream.
            if (last->error)
                fz_throw(c, FZ_ERROR_GENERIC, "stream data could not be decrypted");
        });
        if (!read) {
            fz_drop_buffer(c, data);
            data = nullptr;
        }
        guarded(c, [&] {
            if (!data)
                data = fz_new_buffer(c, 1); // keeps the copy whole; pages reaching it are refused
            ref = pdf_new_indirect(c, doc, stream.num, 0);
            pdf_update_stream(c, doc, ref, data, 1);
        });
        if (!read) {
            unreadable.insert(stream.num);
            qCWarning(lcVmkPdf) << "A stream of a copied page could not be read.";
        }
        std::fill(std::begin(stream.cipher.key), std::end(stream.cipher.key), 0);
        pdf_drop_obj(c, ref);
        fz_drop_buffer(c, data);
        fz_drop_stream(c, plain);
        fz_drop_stream(c, raw);
        fz_drop_stream(c, file);
    }
    pending.clear();
}

bool RecordingCopy::pageReadable(fz_context* c, int index)
{
    if (unreadable.empty())
        return true;
    bool readable = false;
    std::unordered_set<int> seen;
    std::vector<pdf_obj*> left;
    guarded(c, [&] {
        pdf_obj* page = pdf_lookup_page_obj(c, doc, index);
        // Everything but the way up to the page tree, which reaches every other page copied here.
        for (int i = 0, n = pdf_dict_len(c, page); i < n; ++i)
            if (!pdf_name_eq(c, pdf_dict_get_key(c, page, i), PDF_NAME(Parent)))
                left.push_back(pdf_dict_get_val(c, page, i));
        while (!left.empty()) {
            pdf_obj* obj = left.back();
            left.pop_back();
            if (pdf_is_indirect(c, obj)) {
                const int num = pdf_to_num(c, obj);
                if (unreadable.count(num))
                    return;
                if (!seen.insert(num).second)
                    continue;
                obj = pdf_resolve_indirect(c, obj);
            }
            if (pdf_is_dict(c, obj)) {
                for (int i = 0, n = pdf_dict_len(c, obj); i < n; ++i)
                    left.push_back(pdf_dict_get_val(c, obj, i));
            } else if (pdf_is_array(c, obj)) {
                for (int i = 0, n = pdf_array_len(c, obj); i < n; ++i)
                    left.push_back(pdf_array_get(c, obj, i));
            }
        }
        readable = true;
    });
    return readable;
}

std::shared_ptr<RecordingCopy> RecordingCopies::acquire()
{
    m_mirrors.erase(std::remove_if(m_mirrors.begin(), m_mirrors.end(),
                                   [](const auto& m) { return m->pages >= kPagesPerMirror; }),
                    m_mirrors.end());
    std::vector<std::shared_ptr<RecordingCopy>> byWaiting = m_mirrors;
    std::stable_sort(byWaiting.begin(), byWaiting.end(),
                     [](const auto& a, const auto& b) { return a->waiting.load() < b->waiting.load(); });
    const bool room = m_mirrors.size() < kMirrors;
    for (const auto& mirror : byWaiting) {
        if (room && mirror->waiting.load() > 0)
            break; // a fresh mirror serves better
        if (mirror->use.try_lock())
            return mirror;
    }
    auto mirror = std::make_shared<RecordingCopy>();
    if (!mirror->doc)
        return nullptr;
    mirror->use.lock();
    m_mirrors.push_back(mirror);
    if (m_mirrors.size() > kMirrors)
        m_mirrors.erase(m_mirrors.begin()); // lives on with the pages copied into it
    return mirror;
}

int RecordingCopies::waiting() const
{
    int count = 0;
    for (const auto& mirror : m_mirrors)
        count += mirror->waiting.load();
    return count;
}

PageObjectCopier::PageObjectCopier(pdf_document* from, RecordingCopy& to, bool share)
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

namespace {

enum class CryptMethod { none, rc4, aesV2, aesV3, unknown };

// The method of a named crypt filter, as the engine works it out when it opens the document or a stream
// with its own crypt filter.
CryptMethod filterMethod(fz_context* c, pdf_obj* encrypt, pdf_obj* name)
{
    if (pdf_name_eq(c, name, PDF_NAME(Identity)))
        return CryptMethod::none;
    if (!pdf_name_eq(c, name, PDF_NAME(StdCF)))
        return CryptMethod::unknown;
    pdf_obj* filters = pdf_dict_get(c, encrypt, PDF_NAME(CF));
    if (!pdf_is_dict(c, filters))
        return CryptMethod::rc4;
    pdf_obj* filter = pdf_dict_get(c, filters, name);
    if (!pdf_is_dict(c, filter))
        return CryptMethod::unknown;
    pdf_obj* cfm = pdf_dict_get(c, filter, PDF_NAME(CFM));
    if (pdf_name_eq(c, cfm, PDF_NAME(V2)))
        return CryptMethod::rc4;
    if (pdf_name_eq(c, cfm, PDF_NAME(AESV2)))
        return CryptMethod::aesV2;
    if (pdf_name_eq(c, cfm, PDF_NAME(AESV3)))
        return CryptMethod::aesV3;
    return CryptMethod::none;
}

CryptMethod defaultMethod(fz_context* c, int version, pdf_obj* encrypt, pdf_obj* key)
{
    if (version >= 0 && version <= 2)
        return CryptMethod::rc4;
    if (version != 4 && version != 5)
        return CryptMethod::unknown;
    pdf_obj* name = pdf_dict_get(c, encrypt, key);
    return pdf_is_name(c, name) ? filterMethod(c, encrypt, name) : CryptMethod::none;
}

bool sameMethod(CryptMethod method, const char* engineName)
{
    switch (method) {
    case CryptMethod::none: return std::strcmp(engineName, "None") == 0;
    case CryptMethod::rc4: return std::strcmp(engineName, "RC4") == 0;
    case CryptMethod::aesV2:
    case CryptMethod::aesV3: return std::strcmp(engineName, "AES") == 0;
    case CryptMethod::unknown: break;
    }
    return false;
}

// Deletes the first entry of a filter list (a name, or an array) and of its parameters.
void dropFirstFilter(fz_context* c, pdf_obj* dict)
{
    pdf_obj* filterKey = pdf_dict_get(c, dict, PDF_NAME(Filter)) ? PDF_NAME(Filter) : PDF_NAME(F);
    pdf_obj* paramsKey = pdf_dict_get(c, dict, PDF_NAME(DecodeParms)) ? PDF_NAME(DecodeParms) : PDF_NAME(DP);
    for (pdf_obj* key : {filterKey, paramsKey}) {
        pdf_obj* value = pdf_dict_get(c, dict, key);
        if (pdf_is_array(c, value) && pdf_array_len(c, value) > 1)
            pdf_array_delete(c, value, 0);
        else if (value)
            pdf_dict_del(c, dict, key);
    }
}

} // namespace

// What the copier needs of the source's encryption, read once per copy on the source's thread.
struct PageObjectCopier::FileCipher {
    bool known = false; // whether the engine's methods could be matched; if not, streams are read here
    int version = 0;
    int keyBytes = 0;
    unsigned char key[32] = {};
    CryptMethod streams = CryptMethod::unknown;
    bool clearMetadata = false;
    pdf_obj* encrypt = nullptr; // borrowed from the source's trailer
    ~FileCipher() { std::fill(std::begin(key), std::end(key), 0); }
};

// How the stream `dict` (object num, gen) is decrypted, the engine's way: a crypt filter of its own
// replaces the document's method, and is removed from the `copied` dictionary since the copy is plain.
// False when that cannot be told here; the stream is then read on this thread.
bool PageObjectCopier::cipherFor(fz_context* c, pdf_obj* dict, int num, int gen, pdf_obj* copied,
                                 RecordingCopy::StreamCipher* cipher)
{
    if (!m_fileCipher) {
        auto file = std::make_shared<FileCipher>();
        pdf_crypt* crypt = m_from->crypt;
        file->encrypt = pdf_dict_get(c, pdf_trailer(c, m_from), PDF_NAME(Encrypt));
        file->version = pdf_crypt_version(c, crypt);
        file->keyBytes = std::clamp(pdf_crypt_length(c, crypt) / 8, 0, 32);
        std::memcpy(file->key, pdf_crypt_key(c, crypt), sizeof file->key);
        file->clearMetadata = !pdf_crypt_encrypt_metadata(c, crypt);
        if (pdf_is_dict(c, file->encrypt)) {
            file->streams = defaultMethod(c, file->version, file->encrypt, PDF_NAME(StmF));
            // The engine tells the method for strings only: the same reading of that one must agree.
            file->known = file->streams != CryptMethod::unknown
                && sameMethod(defaultMethod(c, file->version, file->encrypt, PDF_NAME(StrF)),
                              pdf_crypt_method(c, crypt));
        }
        m_fileCipher = std::move(file);
    }
    const FileCipher& file = *m_fileCipher;
    if (!file.known)
        return false;

    CryptMethod method = file.streams;
    pdf_obj* filters = pdf_dict_geta(c, dict, PDF_NAME(Filter), PDF_NAME(F));
    pdf_obj* params = pdf_dict_geta(c, dict, PDF_NAME(DecodeParms), PDF_NAME(DP));
    int cryptAt = -1;
    if (pdf_name_eq(c, filters, PDF_NAME(Crypt))) {
        cryptAt = 0;
    } else {
        for (int i = 0, n = pdf_array_len(c, filters); i < n; ++i)
            if (pdf_name_eq(c, pdf_array_get(c, filters, i), PDF_NAME(Crypt)))
                cryptAt = cryptAt < 0 ? i : -2;
    }
    if (cryptAt >= 0) {
        // Only a crypt filter first in the list, in lists of the stream's own, is taken off here.
        pdf_obj* copiedFilters = pdf_dict_geta(c, copied, PDF_NAME(Filter), PDF_NAME(F));
        pdf_obj* copiedParams = pdf_dict_geta(c, copied, PDF_NAME(DecodeParms), PDF_NAME(DP));
        if (cryptAt != 0 || pdf_is_indirect(c, copiedFilters) || pdf_is_indirect(c, copiedParams))
            return false;
        pdf_obj* own = pdf_is_array(c, filters) ? pdf_array_get(c, params, 0) : params;
        pdf_obj* name = pdf_dict_get(c, own, PDF_NAME(Name));
        method = pdf_is_name(c, name) ? filterMethod(c, file.encrypt, name) : CryptMethod::none;
        if (method == CryptMethod::unknown)
            return false;
        dropFirstFilter(c, copied);
    } else if (cryptAt == -2) {
        return false;
    } else if (file.clearMetadata && pdf_name_eq(c, pdf_dict_get(c, dict, PDF_NAME(Type)), PDF_NAME(Metadata))) {
        method = CryptMethod::none;
    }

    *cipher = {};
    if (method == CryptMethod::none)
        return true;
    cipher->method = method == CryptMethod::rc4 ? RecordingCopy::StreamCipher::rc4 : RecordingCopy::StreamCipher::aes;
    if (file.version == 0 || method == CryptMethod::aesV3) {
        std::memcpy(cipher->key, file.key, std::size_t(file.keyBytes));
        cipher->keyLength = static_cast<unsigned char>(file.keyBytes);
        return true;
    }
    // The object's own key: the file's key, the object's number and generation (and a salt for AES),
    // hashed.
    const unsigned char object[5] = {static_cast<unsigned char>(num), static_cast<unsigned char>(num >> 8),
                                     static_cast<unsigned char>(num >> 16), static_cast<unsigned char>(gen),
                                     static_cast<unsigned char>(gen >> 8)};
    fz_md5 md5;
    fz_md5_init(&md5);
    fz_md5_update(&md5, file.key, std::size_t(file.keyBytes));
    fz_md5_update(&md5, object, sizeof object);
    if (method == CryptMethod::aesV2)
        fz_md5_update(&md5, reinterpret_cast<const unsigned char*>("sAlT"), 4);
    fz_md5_final(&md5, cipher->key);
    cipher->keyLength = static_cast<unsigned char>(std::min(file.keyBytes + 5, 16));
    return true;
}

// Notes where the stream's data lies in the source's bytes instead of reading it here, when it is still
// there as the file has it (not replaced in memory) and, in an encrypted file, the key is known.
bool PageObjectCopier::deferData(fz_context* c, int fromNum, int toNum)
{
    if (!m_mirror.sourceBytes || fromNum <= 0 || fromNum >= pdf_xref_len(c, m_from))
        return false;
    pdf_xref_entry* entry = pdf_get_xref_entry_no_null(c, m_from, fromNum);
    if (entry->stm_buf || entry->stm_ofs <= 0 || !entry->obj)
        return false;
    RecordingCopy::StreamCipher cipher;
    if (m_from->crypt) {
        pdf_obj* copied = pdf_load_object(c, m_to, toNum);
        bool known = false;
        fz_try(c) { known = cipherFor(c, entry->obj, entry->num, entry->gen, copied, &cipher); }
        fz_always(c) { pdf_drop_obj(c, copied); }
        fz_catch(c) { fz_rethrow(c); }
        if (!known)
            return false;
    }
    const int length = pdf_dict_get_int(c, entry->obj, PDF_NAME(Length));
    m_mirror.pending.push_back({toNum, entry->stm_ofs, uint64_t(std::max(length, 0)), cipher});
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
        // A widget of a field with several widgets (radio buttons, a field shown on two pages) takes its
        // name and kind from its parent, which is not copied: without them the engine takes the widget
        // for no field at all and draws none of its states (a radio button turned on showed off).
        if (pdf_name_eq(c, pdf_dict_get(c, dict, PDF_NAME(Subtype)), PDF_NAME(Widget))) {
            pdf_obj* inherited[] = {PDF_NAME(T), PDF_NAME(FT), PDF_NAME(Ff), PDF_NAME(V), PDF_NAME(DA), PDF_NAME(Q)};
            for (pdf_obj* key : inherited) {
                pdf_obj* value = pdf_dict_get(c, out, key) ? nullptr : pdf_dict_get_inheritable(c, dict, key);
                if (value)
                    pdf_dict_put_drop(c, out, key, copy(c, value, 1));
            }
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
