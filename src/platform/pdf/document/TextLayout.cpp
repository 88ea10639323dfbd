#include "platform/pdf/document/TextLayout.h"

#include <algorithm>
#include <atomic>

namespace vmk::pdf {

namespace {

std::atomic<int> g_liveLayouts{0};

} // namespace

TextLayout::Counted::Counted() { ++g_liveLayouts; }
TextLayout::Counted::Counted(const Counted&) { ++g_liveLayouts; }
TextLayout::Counted::~Counted() { --g_liveLayouts; }

int TextLayout::liveCount() { return g_liveLayouts.load(); }

QRectF TextLayout::bounds(int index) const
{
    if (index < 0 || index >= size())
        return QRectF();
    const Box& b = m_boxes[size_t(index)];
    return QRectF(QPointF(b.x0, b.y0), QPointF(b.x1, b.y1));
}

int TextLayout::line(int index) const
{
    if (index < 0 || index >= size() || m_lineStarts.empty())
        return -1;
    const auto it = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), index);
    return int(it - m_lineStarts.begin()) - 1;
}

int TextLayout::textIndex(int index) const
{
    index = std::clamp(index, 0, size());
    // Every wide character before this one adds a string unit.
    const auto before = std::lower_bound(m_wide.begin(), m_wide.end(), index);
    return index + int(before - m_wide.begin());
}

int TextLayout::characterIndex(int textIndex) const
{
    if (m_wide.empty())
        return std::clamp(textIndex, 0, size());
    // The character index i satisfies i + (wide characters before i) <= textIndex; search on i.
    int low = 0, high = size();
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (this->textIndex(mid) <= textIndex)
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

QStringView TextLayout::characterText(int index) const
{
    if (index < 0 || index >= size())
        return {};
    const int start = textIndex(index);
    return QStringView(m_text).mid(start, textIndex(index + 1) - start);
}

QString TextLayout::mid(int start, int length) const
{
    start = std::clamp(start, 0, size());
    const int end = std::clamp(start + std::max(0, length), start, size());
    const int from = textIndex(start);
    return m_text.mid(from, textIndex(end) - from);
}

void TextLayout::reserve(int characters, int lines)
{
    m_text.reserve(characters);
    m_boxes.reserve(size_t(std::max(0, characters)));
    m_lineStarts.reserve(size_t(std::max(0, lines)));
}

void TextLayout::append(char32_t codePoint, const QRectF& bounds)
{
    if (!m_lineOpen) {
        m_lineStarts.push_back(size());
        m_lineOpen = true;
    }
    if (QChar::requiresSurrogates(codePoint)) {
        m_wide.push_back(size());
        m_text += QChar(QChar::highSurrogate(codePoint));
        m_text += QChar(QChar::lowSurrogate(codePoint));
    } else {
        m_text += QChar(char16_t(codePoint));
    }
    const QRectF r = bounds.normalized();
    m_boxes.push_back(Box{float(r.left()), float(r.top()), float(r.right()), float(r.bottom())});
}

void TextLayout::endLine()
{
    if (!m_lineOpen)
        m_lineStarts.push_back(size());
    m_lineOpen = false;
    m_text += QLatin1Char('\n');
    m_boxes.push_back(Box{});
}

void TextLayout::squeeze()
{
    m_text.squeeze();
    m_boxes.shrink_to_fit();
    m_lineStarts.shrink_to_fit();
    m_wide.shrink_to_fit();
}

} // namespace vmk::pdf
