#include "panels/SearchSidebar.h"

#include "chrome/ChromeStyle.h"
#include "chrome/RollingLabel.h"
#include "editor/Editor.h"
#include "panels/FormParts.h"

#include <QAbstractTextDocumentLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QStackedLayout>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QVBoxLayout>

#include <memory>

namespace vmk::panels {

namespace {

enum Role { PageRole = Qt::UserRole + 1, SnippetRole, CurrentRole };

constexpr int kRowPadding = 3;
constexpr int kSideInset = 8;

// A hit row: "Page n" over the snippet (two lines at most, the match in semibold); the current hit on a
// rounded accent tint with an accent page label.
class HitDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QPalette& pal = option.palette;
        const QColor accent = chrome::accentColor(pal);
        const bool current = index.data(CurrentRole).toBool();
        const QRectF row = QRectF(option.rect).adjusted(4, 1, -4, -1);
        if (current) {
            QColor tint = accent;
            tint.setAlphaF(0.14);
            QPainterPath path;
            path.addRoundedRect(row, 6, 6);
            painter->fillPath(path, tint);
        } else if (option.state & QStyle::State_MouseOver) {
            QColor hover = pal.color(QPalette::WindowText);
            hover.setAlphaF(0.05);
            QPainterPath path;
            path.addRoundedRect(row, 6, 6);
            painter->fillPath(path, hover);
        }
        const QRect content = option.rect.adjusted(kSideInset, kRowPadding, -kSideInset, -kRowPadding);
        const QFont pageFont = pageLabelFont();
        painter->setFont(pageFont);
        painter->setPen(current ? accent : chrome::secondaryTextColor(pal));
        const int pageHeight = QFontMetrics(pageFont).height();
        painter->drawText(QRect(content.left(), content.top(), content.width(), pageHeight),
                          Qt::AlignLeft | Qt::AlignVCenter, index.data(PageRole).toString());

        const QTextDocument& doc = laidOut(index.data(SnippetRole).toString(), content.width());
        const int snippetTop = content.top() + pageHeight + 2;
        const int maxHeight = twoLineHeight();
        painter->translate(content.left(), snippetTop);
        painter->setClipRect(QRect(0, 0, content.width(), maxHeight));
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette.setColor(QPalette::Text, chrome::secondaryTextColor(pal));
        doc.documentLayout()->draw(painter, context);
        painter->restore();
    }

    // Every row has room for two lines of snippet, whatever its text: a snippet is about eighty characters
    // around the match, which nearly always wraps at the sidebar's width anyway. Rows of one height let the
    // list lay out tens of thousands of hits without measuring each snippet's HTML, which froze the window
    // for seconds while a search for a common word ran.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        const int width = std::max(60, option.rect.width() > 0 ? option.rect.width() : 220) - 2 * kSideInset;
        return {width, 2 * kRowPadding + QFontMetrics(pageLabelFont()).height() + 2 + twoLineHeight()};
    }

private:
    static QFont pageLabelFont()
    {
        QFont font = chrome::captionFont();
        font.setPointSizeF(font.pointSizeF() * 0.92);
        font.setWeight(QFont::DemiBold);
        return font;
    }
    static int twoLineHeight() { return QFontMetrics(chrome::calloutFont()).lineSpacing() * 2 + 2; }
    // A snippet laid out at a width. Every batch of hits repaints the rows shown, and parsing and laying
    // out a row's HTML each time took a sidebar paint to 20-30 ms on a busy machine: the rows shown (and a
    // few screens more) keep their layouts.
    const QTextDocument& laidOut(const QString& html, int width) const
    {
        constexpr qsizetype kKept = 256;
        const QString key = QString::number(width) + QLatin1Char(' ') + html;
        if (auto it = m_laidOut.constFind(key); it != m_laidOut.constEnd())
            return **it;
        if (m_laidOut.size() >= kKept)
            m_laidOut.clear();
        auto doc = std::make_shared<QTextDocument>();
        doc->setDefaultFont(chrome::calloutFont());
        doc->setDocumentMargin(0);
        doc->setHtml(html);
        doc->setTextWidth(width);
        doc->documentLayout(); // laid out now, once
        return **m_laidOut.insert(key, std::move(doc));
    }

    mutable QHash<QString, std::shared_ptr<QTextDocument>> m_laidOut;
};

} // namespace

SearchSidebar::SearchSidebar(Editor* editor, QWidget* parent)
    : QWidget(parent), m_editor(editor)
{
    m_stack = new QStackedLayout(this);
    m_empty = new EmptyStateView(QStringLiteral("magnifyingglass"), QString(), QString(), this);
    m_results = new QWidget(this);
    auto* column = new QVBoxLayout(m_results);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* headerRow = new QHBoxLayout;
    headerRow->setContentsMargins(14, 6, 14, 4);
    m_header = new chrome::RollingLabel(m_results);
    QFont headerFont = chrome::captionFont();
    headerFont.setWeight(QFont::Medium);
    m_header->setFont(headerFont);
    QPalette headerPalette = m_header->palette();
    headerPalette.setColor(QPalette::WindowText, chrome::secondaryTextColor(headerPalette));
    m_header->setPalette(headerPalette);
    m_spinner = new QProgressBar(m_results);
    m_spinner->setRange(0, 0);
    m_spinner->setTextVisible(false);
    m_spinner->setFixedSize(40, 6);
    headerRow->addWidget(m_header);
    headerRow->addStretch(1);
    headerRow->addWidget(m_spinner);
    column->addLayout(headerRow);
    m_list = new QListWidget(m_results);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setItemDelegate(new HitDelegate(m_list));
    m_list->setMouseTracking(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setUniformItemSizes(true);
    m_list->setAutoFillBackground(false);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setAccessibleName(tr("Search Results"));
    column->addWidget(m_list, 1);
    m_stack->addWidget(m_empty);
    m_stack->addWidget(m_results);
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { activateRow(m_list->row(item)); });

    if (editor) {
        connect(editor, &Editor::searchTextChanged, this, &SearchSidebar::refresh);
        connect(editor, &Editor::isSearchingChanged, this, &SearchSidebar::refresh);
        connect(editor, &Editor::searchHitsChanged, this, [this] {
            reloadHits();
            refresh();
        });
        connect(editor, &Editor::currentHitChanged, this, &SearchSidebar::followCurrentHit);
    }
    reloadHits();
    refresh();
}

void SearchSidebar::activateRow(int row)
{
    if (!m_editor || row < 0 || row >= m_list->count())
        return;
    m_editor->selectHit(m_list->item(row)->data(Qt::UserRole).toInt());
}

void SearchSidebar::refresh()
{
    const QString text = m_editor ? m_editor->searchText() : QString();
    const int count = m_editor ? int(m_editor->searchHits().size()) : 0;
    const bool searching = m_editor && m_editor->isSearching();
    m_state = searchListState(text, count, searching);
    switch (m_state) {
    case SearchListState::prompt:
        m_empty->setContent(QStringLiteral("magnifyingglass"), tr("Search This PDF"),
                            tr("Press Ctrl+F and start typing. Every match shows up here."));
        m_stack->setCurrentWidget(m_empty);
        break;
    case SearchListState::noResults:
        m_empty->setContent(QStringLiteral("magnifyingglass"), tr("No Results for “%1”").arg(searchQuery(text)),
                            tr("Check the spelling or try a new search."));
        m_stack->setCurrentWidget(m_empty);
        break;
    case SearchListState::results:
        // The count rolls upward as batches of hits arrive, on a spring that never overshoots.
        chrome::countTo(m_header, matchCountText(count, searching), chrome::settlingSpringMotion());
        m_spinner->setVisible(searching);
        m_stack->setCurrentWidget(m_results);
        break;
    }
}

void SearchSidebar::reloadHits()
{
    const QList<SearchHit> hits = m_editor ? m_editor->searchHits() : QList<SearchHit>();
    const std::optional<int> current = m_editor ? m_editor->currentHit() : std::nullopt;
    // Hits arrive in batches that extend the list: keep the rows there are and add the new ones, so the
    // scroll position holds while a search runs. A list that is not an extension of the rows (a new search)
    // differs at its first or its last row already shown; looking at those two keeps a batch's cost to
    // its own rows.
    const int shown = m_list->count();
    auto sameRow = [&](int row) { return m_list->item(row)->data(Qt::UserRole).toInt() == hits[row].id; };
    if (shown > hits.size() || (shown > 0 && (!sameRow(0) || !sameRow(shown - 1)))) {
        m_list->clear();
        m_currentRow = -1;
    }
    if (m_list->count() == hits.size())
        return;
    // Each row is filled before it joins the list, so that joining is its only change the view sees.
    m_list->setUpdatesEnabled(false);
    for (int i = int(m_list->count()); i < hits.size(); ++i) {
        const SearchHit& hit = hits[i];
        auto* item = new QListWidgetItem;
        item->setData(Qt::UserRole, hit.id);
        item->setData(PageRole, hitPageText(hit.pageIndex));
        item->setData(SnippetRole, snippetHtml(hit));
        item->setData(CurrentRole, current == hit.id);
        item->setData(Qt::AccessibleTextRole, hitPageText(hit.pageIndex) + QStringLiteral(": ") + hit.snippet);
        if (current == hit.id)
            m_currentRow = i;
        m_list->addItem(item);
    }
    m_list->setUpdatesEnabled(true);
}

void SearchSidebar::followCurrentHit()
{
    const std::optional<int> current = m_editor ? m_editor->currentHit() : std::nullopt;
    // Only the rows that change are touched: the one marked before and the new current one (a row's id is
    // its hit's position in the list).
    if (m_currentRow >= 0 && m_currentRow < m_list->count())
        m_list->item(m_currentRow)->setData(CurrentRole, false);
    m_currentRow = -1;
    if (current && *current >= 0 && *current < m_list->count() &&
        m_list->item(*current)->data(Qt::UserRole).toInt() == *current)
        m_currentRow = *current;
    else if (current)
        for (int row = 0; row < m_list->count() && m_currentRow < 0; ++row)
            if (m_list->item(row)->data(Qt::UserRole).toInt() == *current)
                m_currentRow = row;
    if (m_currentRow < 0)
        return;
    QListWidgetItem* target = m_list->item(m_currentRow);
    target->setData(CurrentRole, true);
    // Only a move to a hit scrolls, just far enough to show it.
    m_list->scrollToItem(target, QAbstractItemView::EnsureVisible);
}

} // namespace vmk::panels
