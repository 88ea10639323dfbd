#include "core/pdfium/TextLayout.h"

#include "core/pdfium/EditTextRules.h"
#include "core/pdfium/TextGrouping.h"

#include <QTextLayout>

#include <algorithm>

namespace vmk::core::textlayout {

namespace {

// Layout runs at a large pixel size and is scaled down, so that hinting and whole-pixel advances do not
// distort widths at small point sizes.
constexpr qreal kLayoutSize = 1000.0;

bool isTrailingSpace(QChar c)
{
    return editrules::isWhitespace(c.unicode()) || editrules::isNewline(c.unicode());
}

} // namespace

qreal frameWidth(const EditableTextBlock& block, qreal naturalWidth, qreal rightLimit)
{
    const qreal w = block.bounds.width();
    if (block.lineCount == 1) {
        switch (block.alignment) {
        case EditableTextBlock::Alignment::left:
            return std::max(w, rightLimit - block.bounds.left());
        case EditableTextBlock::Alignment::center: {
            const qreal mid = block.bounds.center().x();
            return std::max(w, 2 * std::min(mid - 18, rightLimit - mid));
        }
        case EditableTextBlock::Alignment::right:
            return std::max(w, block.bounds.right() - 18);
        }
    }
    return std::max(w, std::min(naturalWidth, 1.02 * w)) + 1;
}

Layout layOutText(const QString& text, const platform::Font& font, const EditableTextBlock& block, qreal rightLimit)
{
    Layout result;
    if (!font.isValid())
        return result;
    const qreal scale = font.pointSize() / kLayoutSize;

    qreal natural = 0;
    for (const QString& paragraph : text.split(QLatin1Char('\n')))
        natural = std::max(natural, font.advanceWidth(paragraph));
    const qreal width = frameWidth(block, natural, rightLimit);

    // Qt breaks lines at the line separator, which keeps the string ranges those of the original text.
    QString frameText = text;
    frameText.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QFont qfont = font.toQFont(kLayoutSize);
    qfont.setHintingPreference(QFont::PreferNoHinting);
    QTextLayout layout(frameText, qfont);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setUseDesignMetrics(true);
    layout.setTextOption(option);
    layout.beginLayout();
    QList<QTextLine> frameLines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width / scale);
        frameLines.append(line);
    }
    layout.endLayout();
    // A text ending in a newline has no further line after it.
    if (!frameLines.isEmpty() && frameLines.last().textLength() == 0 && frameLines.size() > 1)
        frameLines.removeLast();

    std::optional<QRectF> bounds;
    const qreal ascender = font.ascender(), descender = font.descender();
    for (qsizetype i = 0; i < frameLines.size(); ++i) {
        const QTextLine& line = frameLines[i];
        const int start = line.textStart();
        int end = start + line.textLength();
        while (end > start && isTrailingSpace(frameText.at(end - 1)))
            --end;
        int begin = start;
        while (begin < end && editrules::isNewline(frameText.at(begin).unicode()))
            ++begin;
        const QString lineText = text.mid(begin, end - begin);
        const qreal lineWidth = end > start ? (line.cursorToX(end) - line.cursorToX(start)) * scale : 0.0;
        qreal x = block.textLeft.value_or(block.bounds.left());
        if (block.alignment == EditableTextBlock::Alignment::center)
            x = block.bounds.center().x() - lineWidth / 2;
        else if (block.alignment == EditableTextBlock::Alignment::right)
            x = block.bounds.right() - lineWidth;
        const qreal y = block.firstBaseline - block.lineHeight * qreal(i);
        if (!lineText.isEmpty())
            result.lines.append(LaidOutLine{lineText, QPointF(x, y), lineWidth});
        bounds = textgrouping::unite(bounds, QRectF(x, y + descender, lineWidth, ascender - descender));
    }
    if (bounds)
        result.bounds = *bounds;
    return result;
}

qreal condensing(const EditableTextBlock& block, const QString& text, const platform::Font& font)
{
    if (block.lineCount != 1 || text.contains(QLatin1Char('\n')) || block.text.contains(QLatin1Char('\n')))
        return 1;
    const qreal oldInStandIn = font.advanceWidth(block.text);
    if (oldInStandIn <= 0 || block.bounds.width() <= 0)
        return 1;
    return std::clamp(block.bounds.width() / oldInStandIn, kMostCondensed, 1.0);
}

Layout layOutCondensed(const QString& text, const platform::Font& font, const EditableTextBlock& block,
                       qreal rightLimit, qreal condensed)
{
    if (condensed >= 1)
        return layOutText(text, font, block, rightLimit);
    // Laid out in unnarrowed glyphs around the edge the alignment keeps, then narrowed towards that edge.
    const qreal anchor = block.alignment == EditableTextBlock::Alignment::center ? block.bounds.center().x()
        : block.alignment == EditableTextBlock::Alignment::right                ? block.bounds.right()
                                                                                 : block.textLeft.value_or(block.bounds.left());
    auto widen = [&](qreal x) { return anchor + (x - anchor) / condensed; };
    auto narrow = [&](qreal x) { return anchor + (x - anchor) * condensed; };
    EditableTextBlock wide = block;
    wide.bounds = QRectF(QPointF(widen(block.bounds.left()), block.bounds.top()),
                         QPointF(widen(block.bounds.right()), block.bounds.bottom()));
    if (block.textLeft)
        wide.textLeft = widen(*block.textLeft);
    Layout layout = layOutText(text, font, wide, widen(rightLimit));
    for (LaidOutLine& line : layout.lines) {
        line.origin.setX(narrow(line.origin.x()));
        line.width *= condensed;
    }
    if (!layout.bounds.isNull())
        layout.bounds = QRectF(QPointF(narrow(layout.bounds.left()), layout.bounds.top()),
                               QPointF(narrow(layout.bounds.right()), layout.bounds.bottom()));
    return layout;
}

} // namespace vmk::core::textlayout
