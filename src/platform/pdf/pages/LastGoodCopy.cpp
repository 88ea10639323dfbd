#include "platform/pdf/pages/LastGoodCopy.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/GoodCopyState.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/document/PageTree.h"
#include "platform/pdf/document/State.h"
#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/engine/Watchdog.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdf/pages/SnapshotState.h"

namespace vmk::pdf {

namespace detail {

namespace {

// The page's crop box, rotation and transforms as Page reads them, from the copy.
void fillGeometry(fz_context* c, pdf_obj* pageObj, SnapshotState& s)
{
    int rotate = 0;
    guarded(c, [&] { rotate = pdf_to_int(c, pdf_dict_get_inheritable(c, pageObj, PDF_NAME(Rotate))); });
    s.cropBox = readPageBoxes(c, pageObj).crop;
    s.rotation = (((rotate % 360) + 360) % 360) / 90 * 90;
    s.displaySize = (s.rotation == 90 || s.rotation == 270) ? s.cropBox.size().transposed() : s.cropBox.size();
    fz_rect device;
    const fz_matrix m = pageToDevice(c, pageObj, &device);
    s.displayTransform = QTransform(m.a, m.b, m.c, m.d, m.e, m.f) * QTransform(1, 0, 0, -1, 0, device.y1 - device.y0);
}

} // namespace

} // namespace detail

using namespace detail;

LastGoodCopy::LastGoodCopy(std::shared_ptr<GoodCopyState> state) : m_state(std::move(state)) {}

LastGoodCopy::~LastGoodCopy() = default;

int LastGoodCopy::copiesOpen() { return GoodCopyState::openCount(); }

std::shared_ptr<const LastGoodCopy> LastGoodCopy::whileWriting(const Document& document)
{
    if (!Document::isWritingUnderWay() || !document.state().lastGoodCopy)
        return nullptr;
    return std::make_shared<LastGoodCopy>(document.state().lastGoodCopy);
}

std::shared_ptr<const LastGoodCopy> LastGoodCopy::take(const Document& document)
{
    std::shared_ptr<GoodCopyState> state = takeGoodCopy(document);
    return state ? std::make_shared<LastGoodCopy>(std::move(state)) : nullptr;
}

bool LastGoodCopy::knows(const Page* page) const
{
    return m_state->pages.count(page) != 0;
}

LastGoodCopy::Recorded LastGoodCopy::record(const Page* page, const RecordBudget& budget,
                                            const RecordCancel* cancel) const
{
    Recorded out;
    const auto found = m_state->pages.find(page);
    GoodCopyState::Copy* copy = found == m_state->pages.end() ? nullptr : m_state->take();
    if (!copy) {
        out.differs = true;
        return out;
    }
    fz_context* c = copy->engine;
    const int num = found->second;
    int index = -1;
    if (copy->reach->pageUnchanged(num) && !pdf_was_repaired(c, copy->doc)) {
        pdf_obj* ref = nullptr;
        guarded(c, [&] {
            ref = pdf_new_indirect(c, copy->doc, num, 0);
            index = pdf_lookup_page_number(c, copy->doc, ref);
        });
        pdf_drop_obj(c, ref);
    }
    if (index < 0) {
        m_state->give(copy);
        out.differs = true;
        return out;
    }

    auto snapshot = std::make_unique<SnapshotState>();
    snapshot->source = m_state;
    SnapshotState* s = snapshot.get();
    fz_display_list* list = nullptr;
    WatchedCookie watched(budget.milliseconds, cancel ? &cancel->link() : nullptr);
    fz_cookie* cookie = watched.cookie();
    QString error;
    bool ok = false;
    bool overBudget = false;
    {
        ScopedAllocationBudget memory(budget.bytes, &cookie->abort);
        pdf_page* loaded = nullptr;
        fz_device* device = nullptr;
        ok = guarded(c, [&] {
            loaded = pdf_load_page(c, copy->doc, index);
            fillGeometry(c, loaded->obj, *s);
            s->deviceBounds = pdf_bound_page(c, loaded);
            list = fz_new_display_list(c, s->deviceBounds);
            device = fz_new_list_device(c, list);
            pdf_run_page(c, loaded, device, fz_identity, cookie);
            fz_close_device(c, device);
        }, &error);
        fz_drop_device(c, device);
        fz_drop_page(c, reinterpret_cast<fz_page*>(loaded));
        overBudget = memory.exceeded();
    }
    const RecordOutcome outcome =
        budgetOutcome(overBudget, watched.cancelled(), watched.timedOut(), !ok || abortRaised(&cookie->abort));
    out.result.outcome = outcome;
    if (outcome != RecordOutcome::recorded) {
        if (outcome == RecordOutcome::failed)
            qCWarning(lcVmkPdf) << "A page could not be drawn from the copy it was opened from:" << error;
        fz_drop_display_list(c, list);
        m_state->give(copy);
        return out;
    }
    m_state->give(copy);
    s->list = list;
    out.result.snapshot = std::make_shared<PageSnapshot>(std::move(snapshot));
    return out;
}

} // namespace vmk::pdf
