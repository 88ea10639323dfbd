#include "platform/pdf/document/Document.h"

#include "platform/pdf/engine/WaitRunner.h"
#include "platform/pdf/document/FieldAppearances.h"
#include "platform/pdf/document/ObjectScan.h"
#include "platform/pdf/document/ObjectNumbers.h"
#include "platform/pdf/document/State.h"
#include "platform/services/RegularFile.h"
#include "platform/services/Secrets.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

namespace vmk::pdf {

using namespace detail;

namespace {

const char* attributeKey(DocumentAttribute key)
{
    switch (key) {
    case DocumentAttribute::Title: return "Title";
    case DocumentAttribute::Author: return "Author";
    case DocumentAttribute::Subject: return "Subject";
    case DocumentAttribute::Creator: return "Creator";
    case DocumentAttribute::Producer: return "Producer";
    case DocumentAttribute::Keywords: return "Keywords";
    case DocumentAttribute::CreationDate: return "CreationDate";
    case DocumentAttribute::ModDate: return "ModDate";
    }
    return "Title";
}

constexpr DocumentAttribute kAllAttributes[] = {
    DocumentAttribute::Title, DocumentAttribute::Author, DocumentAttribute::Subject,
    DocumentAttribute::Creator, DocumentAttribute::Producer, DocumentAttribute::Keywords,
    DocumentAttribute::CreationDate, DocumentAttribute::ModDate};

} // namespace

Document::Document() : m_state(std::make_unique<DocumentState>()) {}

Document::~Document() = default;

DocumentPtr DocumentState::make(pdf_document* doc)
{
    DocumentPtr d(new Document());
    d->m_state->doc = doc;
    d->m_state->self = d;
    return d;
}

DocumentPtr Document::createEmpty()
{
    fz_context* c = ctx();
    pdf_document* doc = nullptr;
    QString error;
    if (!guarded(c, [&] { doc = pdf_create_document(c); }, &error))
        qFatal("The PDF engine could not make a document: %s", qPrintable(error));
    DocumentPtr d = DocumentState::make(doc);
    d->m_state->syncPageList();
    return d;
}

Result<DocumentPtr> detail::readAhead(fz_context* c, pdf_document* doc, fz_buffer* buffer, bool locked)
{
    unsigned char* bytes = nullptr;
    const size_t size = fz_buffer_storage(c, buffer, &bytes);
    Result<DocumentPtr> opened =
        readAhead(c, doc, QByteArray::fromRawData(reinterpret_cast<const char*>(bytes), qsizetype(size)), locked);
    // The stream kept its own reference; this one lets workers open copies of the unchanged document.
    if (opened)
        opened.value()->state().source = buffer;
    else
        fz_drop_buffer(c, buffer);
    return opened;
}

Result<DocumentPtr> detail::readAhead(fz_context* c, pdf_document* doc, const QByteArray& bytes, bool locked)
{
    int pages = 0;
    reserveReferencedNumbers(c, doc, bytes);
    DocumentPtr d = DocumentState::make(doc);
    DocumentState& state = d->state();
    state.locked = locked;
    if (!locked) {
        readEveryObject(c, doc, kReadAheadBudgetMs);
        readLargeObjectStreams(c, doc, kObjectStreamBudgetMs);
        // Nobody waits for a document whose opening was stopped: the rest is not worth doing.
        if (waitCancelled())
            return Result<DocumentPtr>::failure(QStringLiteral("The opening was stopped."));
        state.syncPageList();
        pages = int(state.pages.size());
        // A window lists every page as it shows the document: the handles are made here, with the rest
        // of opening, and not on the window's thread (tens of thousands of pages take a while).
        readCrowdedAnnotations(c, d->pages(), kObjectStreamBudgetMs);
    }
    // A repair that found no page at all means the data was not a PDF worth showing.
    if (!locked && pages == 0 && pdf_was_repaired(c, doc))
        return Result<DocumentPtr>::failure(QStringLiteral("The PDF is damaged and has no readable pages."));
    if (!locked)
        buildRequestedFieldAppearances(c, doc);
    return d;
}

namespace {

// Opens the document from bytes the engine holds (`buffer`, whose reference this takes over).
Result<DocumentPtr> openBuffer(fz_context* c, fz_buffer* buffer)
{
    pdf_document* doc = nullptr;
    fz_stream* stream = nullptr;
    bool locked = false;
    QString error;
    const bool ok = guarded(c, [&] {
        stream = fz_open_buffer(c, buffer);
        doc = pdf_open_document_with_stream(c, stream);
        locked = pdf_needs_password(c, doc);
    }, &error);
    fz_drop_stream(c, stream);
    if (!ok) {
        fz_drop_buffer(c, buffer);
        dropDocument(c, doc);
        return Result<DocumentPtr>::failure(error.isEmpty() ? QStringLiteral("The data is not a readable PDF.") : error);
    }
    return readAhead(c, doc, buffer, locked);
}

// A stream over bytes of its own, handed over whole: the document opened on it frees them with it.
struct OwnedBytes {
    QByteArray bytes;
};

int nextOwned(fz_context*, fz_stream* stm, size_t)
{
    const QByteArray& bytes = static_cast<OwnedBytes*>(stm->state)->bytes;
    if (stm->pos >= bytes.size())
        return EOF;
    auto* begin = reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData()));
    stm->rp = begin + stm->pos;
    stm->wp = begin + bytes.size();
    stm->pos = bytes.size();
    return *stm->rp++;
}

void seekOwned(fz_context*, fz_stream* stm, int64_t offset, int whence)
{
    seekWithin(stm, offset, whence, static_cast<OwnedBytes*>(stm->state)->bytes.size());
}

void dropOwned(fz_context*, void* state) { delete static_cast<OwnedBytes*>(state); }

Result<DocumentPtr> openOwned(fz_context* c, QByteArray bytes)
{
    auto* owned = new OwnedBytes{std::move(bytes)};
    const QByteArray& held = owned->bytes; // lives as long as the stream, which the document keeps
    pdf_document* doc = nullptr;
    fz_stream* stream = nullptr;
    bool locked = false;
    QString error;
    const bool ok = guarded(c, [&] {
        // The engine drops the state itself when it cannot make the stream.
        stream = fz_new_stream(c, owned, nextOwned, dropOwned);
        stream->seek = seekOwned;
        doc = pdf_open_document_with_stream(c, stream);
        locked = pdf_needs_password(c, doc);
    }, &error);
    if (!ok) {
        fz_drop_stream(c, stream);
        dropDocument(c, doc);
        return Result<DocumentPtr>::failure(error.isEmpty() ? QStringLiteral("The data is not a readable PDF.") : error);
    }
    Result<DocumentPtr> opened = readAhead(c, doc, held, locked);
    fz_drop_stream(c, stream);
    return opened;
}

// Why a file could not be read whole, in the user's words.
Result<DocumentPtr> unreadFile(const QString& path, const platform::RegularFileRead& read)
{
    if (read.kind != platform::FileKind::regular && read.kind != platform::FileKind::missing)
        return Result<DocumentPtr>::failure(platform::notRegularFileMessage(QFileInfo(path).fileName(), read.kind));
    if (!read.ok())
        return Result<DocumentPtr>::failure(QString::fromLocal8Bit(std::strerror(read.error)));
    return Result<DocumentPtr>::failure(QStringLiteral("The data is empty."));
}

} // namespace

Result<DocumentPtr> Document::fromData(const QByteArray& data)
{
    if (data.isEmpty())
        return Result<DocumentPtr>::failure(QStringLiteral("The data is empty."));
    fz_context* c = ctx();
    fz_buffer* buffer = nullptr;
    QString error;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const size_t size = size_t(data.size());
    if (!guarded(c, [&] { buffer = fz_new_buffer_from_copied_data(c, bytes, size); }, &error))
        return Result<DocumentPtr>::failure(error);
    return openBuffer(c, buffer);
}

Result<DocumentPtr> Document::fromDataWhileAnswering(const QByteArray& data, bool* cancelled)
{
    // Nothing else knows the document until it is returned, so the worker has it to itself; it holds its
    // own share of the data and of the answer, so that it can be left to end on its own.
    auto opened = std::make_shared<Result<DocumentPtr>>(Result<DocumentPtr>::failure(QString()));
    const WaitOutcome outcome = runWhileAnswering([data, opened] {
        Result<DocumentPtr> result = fromData(data);
        if (!waitCancelled())
            *opened = std::move(result);
    }, OnCancel::Abandon);
    if (cancelled)
        *cancelled = outcome == WaitOutcome::Cancelled;
    if (outcome == WaitOutcome::Cancelled)
        return Result<DocumentPtr>::failure(QStringLiteral("The opening was stopped."));
    return *opened;
}

Result<DocumentPtr> Document::fromFile(const QString& path)
{
    // Read straight into the engine's memory: copied over from memory of our own, a long document's bytes
    // cost about as much again as reading them, and every save reads the whole file it wrote.
    fz_context* c = ctx();
    fz_buffer* buffer = nullptr;
    const platform::RegularFileRead read = platform::readRegularFileInto(path, [&](qsizetype size) -> char* {
        if (!guarded(c, [&] { buffer = fz_new_buffer(c, std::max<size_t>(1, size_t(size))); }))
            return nullptr;
        return reinterpret_cast<char*>(buffer->data);
    });
    if (!read.ok() || read.size == 0) {
        fz_drop_buffer(c, buffer);
        return unreadFile(path, read);
    }
    buffer->len = size_t(read.size);
    return openBuffer(c, buffer);
}

Result<DocumentPtr> Document::fromFileInto(const QString& path, QByteArray memory)
{
    const platform::RegularFileRead read = platform::readRegularFileInto(path, [&](qsizetype size) -> char* {
        try {
            // Shared or too small, the memory is not worth keeping: its bytes are overwritten anyway.
            if (!memory.isDetached() || memory.capacity() < size)
                memory = QByteArray(std::max<qsizetype>(1, size), Qt::Uninitialized);
            else
                memory.resize(size);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        return memory.data();
    });
    if (!read.ok() || read.size == 0)
        return unreadFile(path, read);
    memory.truncate(read.size);
    return openOwned(ctx(), std::move(memory));
}

bool Document::isEncrypted() const { return m_state->doc->crypt != nullptr; }

bool Document::isLocked() const { return m_state->locked; }

bool Document::permits(Permission permission) const
{
    if (!isEncrypted() || m_state->openedByOwner)
        return true;
    fz_context* c = ctx();
    int allowed = 1;
    guarded(c, [&] {
        allowed = pdf_has_permission(c, m_state->doc, permission == Permission::Print ? FZ_PERMISSION_PRINT : FZ_PERMISSION_COPY);
    });
    return allowed != 0;
}

std::optional<PasswordKind> Document::unlock(const QString& password, bool* cancelled)
{
    if (cancelled)
        *cancelled = false;
    if (!m_state->locked)
        return PasswordKind::None;
    fz_context* c = ctx();
    QByteArray utf8 = password.toUtf8();
    // Every way out but success lets go of the password's bytes; success hands them to the state.
    auto forget = qScopeGuard([&utf8] { platform::wipe(utf8); });
    const char* pw = utf8.constData();
    int result = 0;
    if (!guarded(c, [&] { result = pdf_authenticate_password(c, m_state->doc, pw); }) || result == 0)
        return std::nullopt;
    // Everything opening reads ahead was behind the password, and may be a long read (a whole object
    // stream is parsed on the first look at any object in it): it is done on a worker while the windows
    // keep answering. The document stays locked to everyone else until then, so nothing else reads it.
    // The user may stop it: the document then stays locked, as it was, and a later unlock starts over.
    DocumentState& state = *m_state;
    state.pagesKnown = false;
    bool completed = false;
    runWhileAnswering([&state, &completed] {
        fz_context* own = ctx();
        readEveryObject(own, state.doc, kReadAheadBudgetMs);
        readLargeObjectStreams(own, state.doc, kObjectStreamBudgetMs);
        if (waitCancelled())
            return;
        state.syncPageList();
        buildRequestedFieldAppearances(own, state.doc);
        // Stopped while drawing the fields: some are drawn, and the next unlock draws them all again.
        completed = !waitCancelled();
    }, OnCancel::Finish);
    if (!completed) {
        state.pagesKnown = false;
        if (cancelled)
            *cancelled = true;
        return std::nullopt;
    }
    state.locked = false;
    state.openedByOwner = (result & 4) != 0;
    platform::wipe(state.password);
    state.password = std::exchange(utf8, QByteArray());
    return (result & 4) ? PasswordKind::Owner : PasswordKind::User;
}

int Document::pageCount() const
{
    if (m_state->locked)
        return 0;
    m_state->syncPageList();
    return int(m_state->pages.size());
}

bool Document::hasPagesPending() const { return !m_state->locked && m_state->pagesPending; }

int Document::pageCountForShowing() const
{
    return hasPagesPending() ? int(m_state->pages.size()) : pageCount();
}

PagePtr Document::pageForShowing(int index) const
{
    return hasPagesPending() ? m_state->pendingPage(index) : page(index);
}

PagePtr Document::page(int index) const
{
    if (m_state->locked || index < 0 || index >= pageCount())
        return nullptr;
    PagePtr& slot = m_state->pages[size_t(index)];
    if (!slot) {
        fz_context* c = ctx();
        int num = 0;
        if (!guarded(c, [&] { num = pdf_to_num(c, pdf_lookup_page_obj(c, m_state->doc, index)); }) || num <= 0)
            return nullptr;
        slot = PageState::make(m_state->doc, num);
        slot->state().document = m_state->self;
    }
    return slot;
}

// The object numbers of the page tree's leaves in order. Cycles and absurd depth leave the list short,
// so that the caller falls back to MuPDF's own lookups.
static void collectPageNumbers(fz_context* c, pdf_obj* node, std::vector<int>& out, std::vector<char>& seen, int depth)
{
    if (!node || depth > 64 || !pdf_is_indirect(c, node))
        return;
    const int num = pdf_to_num(c, node);
    if (num <= 0 || num >= int(seen.size()) || seen[size_t(num)])
        return;
    seen[size_t(num)] = 1;
    pdf_obj* kids = pdf_dict_get(c, node, PDF_NAME(Kids));
    if (pdf_is_array(c, kids)) {
        const int n = pdf_array_len(c, kids);
        for (int i = 0; i < n; ++i)
            collectPageNumbers(c, pdf_array_get(c, kids, i), out, seen, depth + 1);
    } else {
        out.push_back(num);
    }
}

std::vector<PagePtr> Document::pages() const
{
    if (m_state->locked)
        return {};
    const int count = pageCount();
    std::vector<int> numbers(size_t(count), 0);
    bool missing = false;
    for (int i = 0; i < count; ++i)
        missing = missing || !m_state->pages[size_t(i)];
    if (missing) {
        // Looking pages up one by one walks the page tree from its root each time, quadratic in a long
        // document: walk it once instead, and fall back to lookups for a tree that does not add up.
        fz_context* c = ctx();
        pdf_document* doc = m_state->doc;
        std::vector<int> found;
        found.reserve(size_t(count));
        std::vector<char> seen;
        const bool walked = guarded(c, [&] {
            seen.assign(size_t(pdf_xref_len(c, doc)), 0);
            pdf_obj* root = pdf_dict_getp(c, pdf_trailer(c, doc), "Root/Pages");
            collectPageNumbers(c, root, found, seen, 0);
        });
        if (walked && int(found.size()) == count) {
            numbers = std::move(found);
        } else {
            for (int i = 0; i < count; ++i)
                guarded(c, [&] { numbers[size_t(i)] = pdf_to_num(c, pdf_lookup_page_obj(c, doc, i)); });
        }
    }
    std::vector<PagePtr> result;
    result.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        PagePtr& slot = m_state->pages[size_t(i)];
        if (!slot && numbers[size_t(i)] > 0) {
            slot = PageState::make(m_state->doc, numbers[size_t(i)]);
            slot->state().document = m_state->self;
        }
        result.push_back(slot ? slot : page(i));
    }
    return result;
}

int Document::indexOf(const Page* page) const
{
    if (!page)
        return -1;
    for (size_t i = 0; i < m_state->pages.size(); ++i) {
        if (m_state->pages[i].get() == page)
            return int(i);
    }
    return -1;
}

int Document::indexOf(const PagePtr& page) const { return indexOf(page.get()); }

Status Document::insertPage(const PagePtr& page, int index)
{
    if (!page)
        return Status::failure(QStringLiteral("No page to insert."));
    if (m_state->locked)
        return Status::failure(QStringLiteral("The document is locked."));
    if (indexOf(page) >= 0)
        return Status::failure(QStringLiteral("The page is already in this document."));
    if (DocumentPtr other = page->document(); other && other.get() != this)
        other->removePage(other->indexOf(page));
    m_state->syncPageList();
    index = qBound(0, index, int(m_state->pages.size()));
    fz_context* c = ctx();
    if (page->state().ref.doc != m_state->doc && !graftPage(*page, m_state->doc))
        return Status::failure(QStringLiteral("The page could not be copied into the document."));
    QString error;
    pdf_obj* obj = page->state().ref.obj;
    pdf_document* doc = m_state->doc;
    if (!guarded(c, [&] { pdf_insert_page(c, doc, index, obj); }, &error))
        return Status::failure(error);
    m_state->pages.insert(m_state->pages.begin() + index, page);
    page->state().document = m_state->self;
    return {};
}

PagePtr Document::removePage(int index)
{
    PagePtr p = page(index);
    if (!p)
        return nullptr;
    fz_context* c = ctx();
    pdf_document* doc = m_state->doc;
    pdf_obj* obj = p->state().ref.obj;
    // Once out of the tree the page can no longer inherit boxes, rotation or resources from it.
    if (!guarded(c, [&] {
            pdf_flatten_inheritable_page_items(c, pdf_resolve_indirect(c, obj));
            pdf_delete_page(c, doc, index);
        }))
        return nullptr;
    m_state->pages.erase(m_state->pages.begin() + index);
    p->state().document.reset();
    return p;
}

Status Document::exchangePages(int first, int second)
{
    const int count = pageCount();
    if (first < 0 || second < 0 || first >= count || second >= count)
        return Status::failure(QStringLiteral("Page index out of range."));
    if (first == second)
        return {};
    const int low = qMin(first, second), high = qMax(first, second);
    PagePtr lowPage = page(low), highPage = page(high);
    if (!lowPage || !highPage)
        return Status::failure(QStringLiteral("The pages could not be read."));
    fz_context* c = ctx();
    pdf_document* doc = m_state->doc;
    pdf_obj* lowObj = lowPage->state().ref.obj;
    pdf_obj* highObj = highPage->state().ref.obj;
    QString error;
    if (!guarded(c, [&] {
            pdf_flatten_inheritable_page_items(c, pdf_resolve_indirect(c, lowObj));
            pdf_flatten_inheritable_page_items(c, pdf_resolve_indirect(c, highObj));
            pdf_delete_page(c, doc, high);
            pdf_delete_page(c, doc, low);
            pdf_insert_page(c, doc, low, highObj);
            pdf_insert_page(c, doc, high, lowObj);
        }, &error)) {
        m_state->pagesKnown = false;
        m_state->syncPageList();
        return Status::failure(error);
    }
    std::swap(m_state->pages[size_t(low)], m_state->pages[size_t(high)]);
    return {};
}

QString Document::attribute(DocumentAttribute key) const
{
    fz_context* c = ctx();
    pdf_obj* value = nullptr;
    const char* name = attributeKey(key);
    pdf_document* doc = m_state->doc;
    guarded(c, [&] { value = pdf_dict_gets(c, pdf_dict_get(c, pdf_trailer(c, doc), PDF_NAME(Info)), name); });
    return textOf(c, value);
}

void Document::setAttribute(DocumentAttribute key, const QString& value)
{
    fz_context* c = ctx();
    pdf_document* doc = m_state->doc;
    pdf_obj* info = nullptr;
    const QByteArray utf8 = value.toUtf8();
    const char* text = utf8.constData();
    const char* name = attributeKey(key);
    guarded(c, [&] {
        pdf_obj* trailer = pdf_trailer(c, doc);
        info = pdf_dict_get(c, trailer, PDF_NAME(Info));
        if (!pdf_is_dict(c, info)) {
            if (!*text)
                return;
            info = pdf_add_new_dict(c, doc, 8);
            pdf_dict_put_drop(c, trailer, PDF_NAME(Info), info);
        }
        if (*text)
            pdf_dict_puts_drop(c, info, name, pdf_new_text_string(c, text));
        else
            pdf_dict_dels(c, info, name);
    });
}

QMap<DocumentAttribute, QString> Document::attributes() const
{
    QMap<DocumentAttribute, QString> result;
    for (DocumentAttribute key : kAllAttributes) {
        const QString value = attribute(key);
        if (!value.isEmpty())
            result.insert(key, value);
    }
    return result;
}

void Document::setAttributes(const QMap<DocumentAttribute, QString>& attributes)
{
    for (DocumentAttribute key : kAllAttributes)
        setAttribute(key, attributes.value(key));
}

} // namespace vmk::pdf
