// A page copied into a private one-page document, so that interpreting it (which may take minutes on a
// hostile page) happens on a worker while the document itself stays with its thread.

#include "platform/pdf/pages/PageCapture.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageRenderWorker.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/pages/RecordingCopy.h"
#include "platform/pdf/pages/RebuildFrom.h"
#include "platform/pdf/pages/SnapshotState.h"
#include "platform/pdf/pages/SourceCopies.h"
#include "platform/pdf/pages/SourcePages.h"
#include "platform/pdf/document/State.h"
#include "platform/pdf/engine/Watchdog.h"

#include <algorithm>
#include <chrono>
#include <mutex>

namespace vmk::pdf {

namespace detail {

struct CaptureState {
    std::shared_ptr<RecordingCopy> mirror; // holds the copy, with the pages copied before and after it
    int index = -1;                        // of the copied page in the mirror
    // Instead of a mirror, for a page unchanged since opening: copies of the whole document to interpret
    // it from, and the number of its object there.
    std::shared_ptr<SourceCopies> copies;
    int sourceNumber = -1;
    bool withAnnotations = true;
    std::atomic_bool waiting{true};        // counted in the mirror's pages waiting to be interpreted
    QRectF mediaBox;
    QRectF cropBox;
    int rotation = 0;
    QSizeF displaySize;
    QTransform displayTransform;
    void interpreted()
    {
        if (mirror && waiting.exchange(false))
            --mirror->waiting;
    }
    ~CaptureState() { interpreted(); }
};

namespace {

void putBox(fz_context* c, pdf_obj* dict, pdf_obj* key, const QRectF& r)
{
    pdf_dict_put_rect(c, dict, key, fz_make_rect(float(r.left()), float(r.top()), float(r.right()), float(r.bottom())));
}

// A mirror of the page's document for the caller to copy into, locked; a private one for a page in no
// document or in one whose object numbers cannot be trusted to stay put.
std::shared_ptr<RecordingCopy> mirrorFor(fz_context* c, const Page& page, bool* share)
{
    *share = false;
    const DocumentPtr document = page.document();
    pdf_document* from = page.state().ref.doc;
    if (document && document->state().doc == from && from) {
        DocumentState& d = document->state();
        if (pdf_was_repaired(c, from)) {
            d.recordingCopies.reset();
        } else {
            if (!d.recordingCopies)
                d.recordingCopies = std::make_shared<RecordingCopies>();
            if (auto mirror = d.recordingCopies->acquire()) {
                *share = true;
                if (!mirror->sourceBytes && d.source)
                    mirror->sourceBytes = fz_keep_buffer(c, d.source);
                return mirror;
            }
        }
    }
    auto mirror = std::make_shared<RecordingCopy>();
    if (!mirror->doc)
        return nullptr;
    mirror->use.lock();
    return mirror;
}

} // namespace
} // namespace detail

using namespace detail;

RecordCancel::RecordCancel() : m_link(std::make_unique<CookieLink>()) {}
RecordCancel::~RecordCancel() = default;
void RecordCancel::cancel() { m_link->cancel(); }
bool RecordCancel::isCancelled() const { return m_link->isCancelled(); }

PageCapture::PageCapture(std::unique_ptr<CaptureState> state) : m_state(std::move(state)) {}

PageCapture::~PageCapture() = default;

bool PageCapture::isCopied() const { return !m_state->copies; }

int PageCapture::copyDocumentsAlive() { return RecordingCopy::alive(); }
int PageCapture::drawingCopiesOpen() { return SourceCopies::openCount(SourceCopies::Contexts::families); }
int PageCapture::abandonedDrawings() { return abandonedRuns(); }

std::shared_ptr<PageCapture> PageCapture::take(const Page& page, bool withAnnotations,
                                               const std::vector<const Annotation*>& excluded)
{
    if (withAnnotations)
        ensureAppearances(page);
    auto state = std::make_unique<CaptureState>();
    state->mediaBox = page.mediaBox();
    state->cropBox = page.cropBox();
    state->rotation = page.rotation();
    state->displaySize = page.displaySize();
    state->displayTransform = page.displayTransform();
    // The boxes as this layer reads them (a missing or unusable one already replaced), so that the copy
    // is laid out exactly as the page is shown.
    const QRectF media = state->mediaBox;
    const QRectF crop = state->cropBox;
    const int rotation = state->rotation;
    std::vector<int> skipped;
    for (const Annotation* a : excluded)
        if (a && a->page().get() == &page)
            skipped.push_back(a->state().ref.num());

    fz_context* c = ctx();
    pdf_obj* source = page.state().ref.obj;
    bool share = false;
    std::shared_ptr<RecordingCopy> mirror = mirrorFor(c, page, &share);
    if (!mirror)
        return nullptr;
    std::unique_lock<RecordingCopyUse> inUse(mirror->use, std::adopt_lock);
    pdf_document* doc = mirror->doc;
    QString error;
    // Outside the engine's error guard, which would skip its destructor.
    PageObjectCopier copier(page.state().ref.doc, *mirror, share);
    const bool ok = guarded(c, [&] {
        pdf_obj* dict = pdf_new_dict(c, doc, 8);
        pdf_obj* ref = nullptr;
        fz_try(c)
        {
            pdf_dict_put(c, dict, PDF_NAME(Type), PDF_NAME(Page));
            putBox(c, dict, PDF_NAME(MediaBox), media);
            putBox(c, dict, PDF_NAME(CropBox), crop);
            pdf_dict_put_int(c, dict, PDF_NAME(Rotate), rotation);
            pdf_dict_put_drop(c, dict, PDF_NAME(Resources),
                              copier.copy(c, pdf_dict_get_inheritable(c, source, PDF_NAME(Resources))));
            if (pdf_obj* contents = pdf_dict_get(c, source, PDF_NAME(Contents)))
                pdf_dict_put_drop(c, dict, PDF_NAME(Contents), copier.copy(c, contents));
            if (pdf_obj* group = pdf_dict_get(c, source, PDF_NAME(Group)))
                pdf_dict_put_drop(c, dict, PDF_NAME(Group), copier.copy(c, group));
            pdf_obj* annots = withAnnotations ? pdf_dict_get(c, source, PDF_NAME(Annots)) : nullptr;
            if (pdf_is_array(c, annots)) {
                pdf_obj* kept = pdf_dict_put_array(c, dict, PDF_NAME(Annots), pdf_array_len(c, annots));
                for (int i = 0, n = pdf_array_len(c, annots); i < n; ++i) {
                    pdf_obj* annot = pdf_array_get(c, annots, i);
                    if (std::find(skipped.begin(), skipped.end(), pdf_to_num(c, annot)) != skipped.end())
                        continue;
                    // Links draw nothing unless they carry an appearance; a page may have thousands.
                    if (pdf_name_eq(c, pdf_dict_get(c, annot, PDF_NAME(Subtype)), PDF_NAME(Link))
                        && !pdf_dict_get(c, annot, PDF_NAME(AP)))
                        continue;
                    pdf_array_push_drop(c, kept, copier.copyAnnotation(c, annot));
                }
            }
            ref = pdf_add_object(c, doc, dict);
            // Appended: the pages copied before stay where their captures find them.
            pdf_insert_page(c, doc, mirror->pages, ref);
        }
        fz_always(c)
        {
            pdf_drop_obj(c, ref);
            pdf_drop_obj(c, dict);
        }
        fz_catch(c) { fz_rethrow(c); }
    }, &error);
    if (!ok) {
        copier.rollBack();
        qCWarning(lcVmkPdf) << "A page could not be copied for drawing:" << error;
        return nullptr;
    }
    state->index = mirror->pages++;
    ++mirror->waiting;
    state->mirror = std::move(mirror);
    return std::make_shared<PageCapture>(std::move(state));
}

std::shared_ptr<PageCapture> PageCapture::takeToDraw(const Page& page, bool withAnnotations,
                                                     const std::vector<const Annotation*>& excluded)
{
    const DocumentPtr document = page.document();
    if (!excluded.empty() || !document)
        return take(page, withAnnotations, excluded);
    if (withAnnotations)
        ensureAppearances(page);
    fz_context* c = ctx();
    DocumentState& d = document->state();
    const int number = drawableSourceNumber(c, d, page);
    std::shared_ptr<SourceCopies> copies = number > 0 ? drawingCopies(d) : nullptr;
    if (!copies)
        return take(page, withAnnotations, excluded);
    // While the copy of the file opens, the first page asked for is copied: on a long document that is
    // drawn before a copy of all of it is open. A page that would wait behind other copied pages (their
    // copies are interpreted one at a time, and each loads the fonts again) is left to a worker, which
    // opens a copy of the file of its own as soon as it takes the page.
    if (!copies->openedOrOpenAhead() && (!d.recordingCopies || d.recordingCopies->waiting() == 0))
        return take(page, withAnnotations, excluded);
    auto state = std::make_unique<CaptureState>();
    state->copies = std::move(copies);
    state->sourceNumber = number;
    state->withAnnotations = withAnnotations;
    state->waiting = false;
    state->mediaBox = page.mediaBox();
    state->cropBox = page.cropBox();
    state->rotation = page.rotation();
    state->displaySize = page.displaySize();
    state->displayTransform = page.displayTransform();
    return std::make_shared<PageCapture>(std::move(state));
}

namespace {

bool lockMirror(CaptureState& state, std::unique_lock<RecordingCopyUse>& lock, const RecordCancel* cancel)
{
    // Another page of the same mirror may be being interpreted; waiting for it is not this page's time.
    RecordingCopyUse& use = state.mirror->use;
    if (!use.lockUnless([cancel] { return cancel && cancel->isCancelled(); }, std::chrono::milliseconds(20)))
        return false;
    lock = std::unique_lock<RecordingCopyUse>(use, std::adopt_lock);
    state.interpreted();
    state.mirror->readPending(state.mirror->engine);
    return true;
}

// Interprets the copied page with `body` inside the engine's error guard, under the budget.
template <typename Body>
RecordOutcome interpret(CaptureState& state, const RecordBudget& budget, const RecordCancel* cancel, Body&& body)
{
    std::unique_lock<RecordingCopyUse> inUse;
    if (!lockMirror(state, inUse, cancel))
        return RecordOutcome::cancelled;
    fz_context* c = state.mirror->engine;
    if (!state.mirror->pageReadable(c, state.index)) {
        qCWarning(lcVmkPdf) << "A copied page lost data it draws with; it is not interpreted.";
        return RecordOutcome::failed;
    }
    WatchedCookie watched(budget.milliseconds, cancel ? &cancel->link() : nullptr);
    fz_cookie* cookie = watched.cookie();
    pdf_document* doc = state.mirror->doc;
    QString error;
    bool overBudget = false;
    bool ok = false;
    {
        ScopedAllocationBudget memory(budget.bytes, &cookie->abort);
        pdf_page* page = nullptr;
        ok = guarded(c, [&] {
            page = pdf_load_page(c, doc, state.index);
            body(c, page, cookie);
        }, &error);
        fz_drop_page(c, reinterpret_cast<fz_page*>(page));
        overBudget = memory.exceeded();
    }
    const RecordOutcome outcome =
        budgetOutcome(overBudget, watched.cancelled(), watched.timedOut(), !ok || abortRaised(&cookie->abort));
    if (outcome == RecordOutcome::failed)
        qCWarning(lcVmkPdf) << "A page could not be interpreted:" << error;
    return outcome;
}

} // namespace

RecordResult PageCapture::record(const RecordBudget& budget, const RecordCancel* cancel) const
{
    RecordResult result;
    auto snapshot = std::make_unique<SnapshotState>();
    snapshot->cropBox = m_state->cropBox;
    snapshot->rotation = m_state->rotation;
    snapshot->displaySize = m_state->displaySize;
    snapshot->displayTransform = m_state->displayTransform;
    snapshot->source = shared_from_this();
    SnapshotState* s = snapshot.get();
    fz_display_list* list = nullptr;
    const bool annotations = m_state->withAnnotations || !m_state->copies;
    auto body = [&](fz_context* c, pdf_page* page, fz_cookie* cookie) {
        fz_device* device = nullptr;
        fz_var(device);
        s->deviceBounds = pdf_bound_page(c, page);
        list = fz_new_display_list(c, s->deviceBounds);
        fz_try(c)
        {
            device = fz_new_list_device(c, list);
            if (annotations)
                pdf_run_page(c, page, device, fz_identity, cookie);
            else
                pdf_run_page_contents(c, page, device, fz_identity, cookie);
            fz_close_device(c, device);
        }
        fz_always(c) { fz_drop_device(c, device); }
        fz_catch(c) { fz_rethrow(c); }
    };
    if (m_state->copies)
        result.outcome = interpretSourcePage(*m_state->copies, m_state->sourceNumber, budget, cancel, body, &s->family);
    else
        result.outcome = interpret(*m_state, budget, cancel, body);
    if (result.outcome != RecordOutcome::recorded) {
        if (list)
            fz_drop_display_list(ContextFor(s->family.get()).get(), list);
        return result;
    }
    s->list = list;
    result.snapshot = std::make_shared<PageSnapshot>(std::move(snapshot));
    return result;
}

TextResult PageCapture::readText(const RecordBudget& budget, const RecordCancel* cancel) const
{
    TextResult result;
    std::shared_ptr<const TextLayout> text;
    auto body = [&](fz_context* c, pdf_page* page, fz_cookie* cookie) { text = readPageText(c, page, cookie); };
    if (m_state->copies) {
        std::shared_ptr<EngineFamily> family;
        result.outcome = interpretSourcePage(*m_state->copies, m_state->sourceNumber, budget, cancel, body, &family);
    } else {
        result.outcome = interpret(*m_state, budget, cancel, body);
    }
    if (result.outcome == RecordOutcome::recorded)
        result.text = std::move(text);
    return result;
}

DrawResult PageCapture::draw(double scale, const QRect& tile, const RecordBudget& budget,
                              const RecordCancel* cancel) const
{
    if (!(scale > 0))
        return {};
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto result = std::make_shared<DrawResult>();
    // The work holds the copy and its result, never the caller: it may outlive the wait.
    auto work = [self = shared_from_this(), result, scale, tile, budget, start](const RecordCancel& stop) {
        const RecordResult recorded = self->record(budget, &stop);
        if (!recorded.snapshot) {
            result->outcome = recorded.outcome;
            return;
        }
        RecordBudget rest = budget;
        if (budget.milliseconds > 0) {
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            rest.milliseconds = std::max(1, budget.milliseconds - int(spent));
        }
        const SnapshotState& list = recorded.snapshot->state();
        *result = drawList(list.list, list.family.get(), list.deviceBounds, scale, tile, rest, stop);
    };
    return drawAbandonable(budget, cancel, result, std::move(work));
}

Result<PagePtr> PageCapture::rebuild(const RebuildBase& base, const QList<InvisibleTextRun>& runs) const
{
    if (!m_state->mirror)
        return Result<PagePtr>::failure(QStringLiteral("The page was taken for drawing only."));
    std::unique_lock<RecordingCopyUse> inUse;
    lockMirror(*m_state, inUse, nullptr);
    fz_context* c = ctx();
    if (!m_state->mirror->pageReadable(c, m_state->index))
        return Result<PagePtr>::failure(QStringLiteral("Part of the copied page could not be read."));
    pdf_obj* page = nullptr;
    QString error;
    if (!guarded(c, [&] { page = pdf_lookup_page_obj(c, m_state->mirror->doc, m_state->index); }, &error) || !page)
        return Result<PagePtr>::failure(error.isEmpty() ? QStringLiteral("The copied page is gone.") : error);
    const RebuildFrame frame{m_state->mediaBox, m_state->cropBox, m_state->rotation, m_state->displaySize,
                             m_state->displayTransform};
    return rebuildFrom(m_state->mirror->doc, page, frame, base, runs);
}

} // namespace vmk::pdf
