// A page's text: characters with their bounds in page space, and selections built from them.

#include "platform/pdf/document/Page.h"
#include "platform/pdf/document/State.h"

#include <limits>

namespace vmk::pdf {

using namespace detail;

namespace {

double distanceTo(const QRectF& r, const QPointF& p)
{
    const double dx = qMax(0.0, qMax(r.left() - p.x(), p.x() - r.right()));
    const double dy = qMax(0.0, qMax(r.top() - p.y(), p.y() - r.bottom()));
    return dx * dx + dy * dy;
}

} // namespace

namespace detail {

std::shared_ptr<const TextLayout> readPageText(fz_context* c, pdf_page* page, fz_cookie* cookie)
{
    return readPageObjectText(c, page->doc, page->obj, cookie);
}

std::shared_ptr<const TextLayout> readPageObjectText(fz_context* c, pdf_document* doc, pdf_obj* pageObj, fz_cookie* cookie)
{
    fz_stext_page* text = nullptr;
    fz_device* device = nullptr;
    pdf_processor* processor = nullptr;
    fz_matrix toDevice = fz_identity;
    // The page's own content only: text in annotations belongs to them, and a page's text must not change
    // when a note is added or moved.
    const bool ok = guarded(c, [&] {
        fz_rect box;
        pdf_page_obj_transform(c, pageObj, &box, &toDevice);
        fz_stext_options options{};
        text = fz_new_stext_page(c, fz_transform_rect(box, toDevice));
        device = fz_new_stext_device(c, text, &options);
        processor = pdf_new_run_processor(c, device, toDevice, "View", nullptr, nullptr, cookie);
        // Text only: the interpreter loads a shading or a picture only for a processor that takes it, and
        // the text device would throw it away. Shadings were a quarter of a search's time, and a picture
        // decoded whole (JPEG 2000) is where a hostile page spends its gigabytes. A shading set as a fill
        // colour is still loaded: the fills after it must find a pattern, or the rest of the page is lost.
        processor->op_sh = nullptr;
        processor->op_Do_image = nullptr;
        pdf_process_contents(c, processor, doc, pdf_dict_get_inheritable(c, pageObj, PDF_NAME(Resources)),
                             pdf_dict_get(c, pageObj, PDF_NAME(Contents)), cookie);
        pdf_close_processor(c, processor);
        fz_close_device(c, device);
    });
    pdf_drop_processor(c, processor);
    fz_drop_device(c, device);
    auto layout = std::make_shared<TextLayout>();
    if (!ok) {
        fz_drop_stext_page(c, text);
        return layout;
    }
    const fz_matrix toPage = fz_invert_matrix(toDevice);
    int characters = 0, lines = 0;
    for (fz_stext_block* block = text->first_block; block; block = block->next) {
        if (block->type != FZ_STEXT_BLOCK_TEXT)
            continue;
        for (fz_stext_line* l = block->u.t.first_line; l; l = l->next, ++lines)
            for (fz_stext_char* ch = l->first_char; ch; ch = ch->next)
                characters += ch->c > 0xFFFF ? 2 : 1;
    }
    layout->reserve(characters + lines, lines);
    for (fz_stext_block* block = text->first_block; block; block = block->next) {
        if (block->type != FZ_STEXT_BLOCK_TEXT)
            continue;
        for (fz_stext_line* l = block->u.t.first_line; l; l = l->next) {
            for (fz_stext_char* ch = l->first_char; ch; ch = ch->next)
                layout->append(char32_t(ch->c), toQRect(fz_transform_rect(fz_rect_from_quad(ch->quad), toPage)));
            layout->endLine();
        }
    }
    fz_drop_stext_page(c, text);
    layout->squeeze();
    return layout;
}

} // namespace detail

const TextLayout& Page::textLayout() const { return *sharedTextLayout(); }

std::shared_ptr<const TextLayout> Page::sharedTextLayout() const
{
    if (!m_state->text) {
        std::shared_ptr<const TextLayout> layout;
        withLoadedPage(*this, [&](fz_context* c, pdf_page* page) { layout = readPageText(c, page); });
        m_state->text = layout ? layout : std::make_shared<TextLayout>();
    }
    return m_state->text;
}

bool Page::hasLoadedText() const { return m_state->text != nullptr; }

quint64 Page::contentVersion() const { return m_state->textVersion; }

void Page::adoptText(std::shared_ptr<const TextLayout> layout) const
{
    if (!m_state->text && layout)
        m_state->text = std::move(layout);
}

QString Page::text() const { return textLayout().text(); }

int Page::characterIndexAt(const QPointF& point) const
{
    const TextLayout& chars = textLayout();
    for (int i = 0; i < chars.size(); ++i) {
        const QRectF bounds = chars.bounds(i);
        if (!bounds.isEmpty() && bounds.contains(point))
            return i;
    }
    return -1;
}

Selection Page::selection(int start, int length) const
{
    const int count = textLayout().size();
    start = qBound(0, start, count);
    length = qBound(0, length, count - start);
    if (length == 0)
        return Selection();
    return Selection({SelectionRange{std::const_pointer_cast<Page>(shared_from_this()), start, length}});
}

Selection Page::selection(const QRectF& rect) const
{
    const TextLayout& chars = textLayout();
    const QRectF area = rect.normalized();
    QList<SelectionRange> ranges;
    PagePtr self = std::const_pointer_cast<Page>(shared_from_this());
    int runStart = -1, runEnd = -1; // inclusive indices of selected visible characters
    for (int i = 0; i < chars.size(); ++i) {
        const QRectF bounds = chars.bounds(i);
        if (bounds.isEmpty())
            continue; // line breaks join runs on consecutive lines
        if (bounds.intersects(area)) {
            if (runStart < 0)
                runStart = i;
            runEnd = i;
        } else if (runStart >= 0) {
            ranges.append({self, runStart, runEnd - runStart + 1});
            runStart = runEnd = -1;
        }
    }
    if (runStart >= 0)
        ranges.append({self, runStart, runEnd - runStart + 1});
    return Selection(ranges);
}

Selection Page::selection(const QPointF& from, const QPointF& to) const
{
    const TextLayout& chars = textLayout();
    auto nearest = [&](const QPointF& p) {
        int best = -1;
        double bestDistance = std::numeric_limits<double>::max();
        for (int i = 0; i < chars.size(); ++i) {
            const QRectF bounds = chars.bounds(i);
            if (bounds.isEmpty())
                continue;
            const double d = distanceTo(bounds, p);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        return best;
    };
    int a = nearest(from), b = nearest(to);
    if (a < 0 || b < 0)
        return Selection();
    if (a > b)
        std::swap(a, b);
    return selection(a, b - a + 1);
}

Selection Page::lineSelection(const QPointF& point) const
{
    const TextLayout& chars = textLayout();
    int hit = characterIndexAt(point);
    if (hit < 0) {
        // Between characters of a line: take the line whose vertical extent holds the point.
        for (int i = 0; i < chars.size() && hit < 0; ++i) {
            const QRectF b = chars.bounds(i);
            if (!b.isEmpty() && point.y() >= b.top() && point.y() <= b.bottom())
                hit = i;
        }
    }
    if (hit < 0)
        return Selection();
    const int line = chars.line(hit);
    int first = hit, last = hit;
    while (first > 0 && chars.line(first - 1) == line)
        --first;
    while (last + 1 < chars.size() && chars.line(last + 1) == line && !chars.bounds(last + 1).isEmpty())
        ++last;
    return selection(first, last - first + 1);
}

} // namespace vmk::pdf
