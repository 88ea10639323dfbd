// A page's text: characters with their bounds in page space, and selections built from them.

#include "platform/pdf/Page.h"
#include "platform/pdf/detail/State.h"

#include <limits>

namespace vmk::pdf {

using namespace detail;

namespace {

struct RawChar {
    int codepoint;
    fz_quad quad;
    int line;
};

QRectF quadBounds(const fz_quad& q, const fz_matrix& toPage)
{
    const fz_rect r = fz_transform_rect(fz_rect_from_quad(q), toPage);
    return toQRect(r).normalized();
}

double distanceTo(const QRectF& r, const QPointF& p)
{
    const double dx = qMax(0.0, qMax(r.left() - p.x(), p.x() - r.right()));
    const double dy = qMax(0.0, qMax(r.top() - p.y(), p.y() - r.bottom()));
    return dx * dx + dy * dy;
}

} // namespace

const QList<Character>& Page::characters() const
{
    if (m_state->textLoaded)
        return m_state->characters;
    m_state->textLoaded = true;
    m_state->characters.clear();
    m_state->text.clear();
    std::vector<RawChar> raw;
    fz_matrix toPage = fz_identity;
    withLoadedPage(*this, [&](fz_context* c, pdf_page* page) {
        fz_stext_page* text = nullptr;
        fz_rect box;
        fz_matrix toDevice = fz_identity;
        const bool ok = guarded(c, [&] {
            pdf_page_transform(c, page, &box, &toDevice);
            fz_stext_options options{};
            text = fz_new_stext_page_from_page(c, reinterpret_cast<fz_page*>(page), &options);
        });
        if (!ok)
            return;
        toPage = fz_invert_matrix(toDevice);
        int line = 0;
        for (fz_stext_block* block = text->first_block; block; block = block->next) {
            if (block->type != FZ_STEXT_BLOCK_TEXT)
                continue;
            for (fz_stext_line* l = block->u.t.first_line; l; l = l->next) {
                for (fz_stext_char* ch = l->first_char; ch; ch = ch->next)
                    raw.push_back({ch->c, ch->quad, line});
                raw.push_back({'\n', fz_quad{}, line});
                ++line;
            }
        }
        fz_drop_stext_page(c, text);
    });
    m_state->characters.reserve(qsizetype(raw.size()));
    for (const RawChar& r : raw) {
        Character ch;
        const char32_t cp = char32_t(r.codepoint);
        ch.text = QString::fromUcs4(&cp, 1);
        ch.bounds = r.codepoint == '\n' ? QRectF() : quadBounds(r.quad, toPage);
        ch.line = r.line;
        m_state->text += ch.text;
        m_state->characters.append(ch);
    }
    return m_state->characters;
}

QString Page::text() const
{
    characters();
    return m_state->text;
}

int Page::characterIndexAt(const QPointF& point) const
{
    const QList<Character>& chars = characters();
    for (int i = 0; i < chars.size(); ++i) {
        if (!chars[i].bounds.isEmpty() && chars[i].bounds.contains(point))
            return i;
    }
    return -1;
}

Selection Page::selection(int start, int length) const
{
    const int count = int(characters().size());
    start = qBound(0, start, count);
    length = qBound(0, length, count - start);
    if (length == 0)
        return Selection();
    return Selection({SelectionRange{std::const_pointer_cast<Page>(shared_from_this()), start, length}});
}

Selection Page::selection(const QRectF& rect) const
{
    const QList<Character>& chars = characters();
    const QRectF area = rect.normalized();
    QList<SelectionRange> ranges;
    PagePtr self = std::const_pointer_cast<Page>(shared_from_this());
    int runStart = -1, runEnd = -1; // inclusive indices of selected visible characters
    for (int i = 0; i < chars.size(); ++i) {
        if (chars[i].bounds.isEmpty())
            continue; // line breaks join runs on consecutive lines
        if (chars[i].bounds.intersects(area)) {
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
    const QList<Character>& chars = characters();
    auto nearest = [&](const QPointF& p) {
        int best = -1;
        double bestDistance = std::numeric_limits<double>::max();
        for (int i = 0; i < chars.size(); ++i) {
            if (chars[i].bounds.isEmpty())
                continue;
            const double d = distanceTo(chars[i].bounds, p);
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
    const QList<Character>& chars = characters();
    int hit = characterIndexAt(point);
    if (hit < 0) {
        // Between characters of a line: take the line whose vertical extent holds the point.
        for (int i = 0; i < chars.size() && hit < 0; ++i) {
            const QRectF& b = chars[i].bounds;
            if (!b.isEmpty() && point.y() >= b.top() && point.y() <= b.bottom())
                hit = i;
        }
    }
    if (hit < 0)
        return Selection();
    const int line = chars[hit].line;
    int first = hit, last = hit;
    while (first > 0 && chars[first - 1].line == line)
        --first;
    while (last + 1 < chars.size() && chars[last + 1].line == line && !chars[last + 1].bounds.isEmpty())
        ++last;
    return selection(first, last - first + 1);
}

} // namespace vmk::pdf
