#include "panels/OutlineSidebar.h"

#include "chrome/ChromeStyle.h"
#include "editor/Editor.h"
#include "panels/FormParts.h"

#include <QHeaderView>
#include <QPainter>
#include <QStackedLayout>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QTreeWidget>

namespace vmk::panels {

namespace {

// Titles wrap onto two lines at most; a longer one ends in an ellipsis.
class TitleDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static QStringList lines(const QString& text, const QFont& font, int width)
    {
        QStringList result;
        QTextLayout layout(text, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(std::max(1, width));
            if (result.size() == 1) {
                // The second line takes the rest of the title, elided.
                result << QFontMetrics(font).elidedText(text.mid(line.textStart()).simplified(), Qt::ElideRight, width);
                break;
            }
            result << text.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
        return result;
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (index.column() != 0)
            return size;
        int width = textWidth(option);
        if (option.rect.width() <= 0) {
            // Heights are asked before rows are placed: the title's width follows from the column and depth.
            const auto* tree = qobject_cast<const QTreeView*>(parent());
            if (!tree)
                return size;
            int depth = 1;
            for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
                ++depth;
            width = tree->columnWidth(0) - tree->indentation() * depth - 4;
        }
        const int count = int(lines(index.data().toString(), option.font, width).size());
        size.setHeight(std::max(size.height(), QFontMetrics(option.font).lineSpacing() * std::max(1, count) + 6));
        return size;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (index.column() != 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem plain = option;
        initStyleOption(&plain, index);
        const QString text = plain.text;
        plain.text.clear();
        option.widget->style()->drawControl(QStyle::CE_ItemViewItem, &plain, painter, option.widget);
        const QStringList shown = lines(text, option.font, textWidth(option));
        const int lineHeight = QFontMetrics(option.font).lineSpacing();
        int y = option.rect.top() + (option.rect.height() - lineHeight * int(shown.size())) / 2;
        painter->save();
        painter->setFont(option.font);
        painter->setPen(option.palette.color(QPalette::Text));
        for (const QString& line : shown) {
            painter->drawText(QRect(option.rect.left() + 2, y, textWidth(option), lineHeight), Qt::AlignLeft | Qt::AlignVCenter, line);
            y += lineHeight;
        }
        painter->restore();
    }

private:
    static int textWidth(const QStyleOptionViewItem& option) { return option.rect.width() - 4; }
};

} // namespace

OutlineSidebar::OutlineSidebar(Editor* editor, QWidget* parent)
    : QWidget(parent), m_editor(editor)
{
    m_stack = new QStackedLayout(this);
    m_tree = new QTreeWidget(this);
    m_tree->setColumnCount(2);
    m_tree->setHeaderHidden(true);
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setWordWrap(true);
    m_tree->setUniformRowHeights(false);
    m_tree->setTextElideMode(Qt::ElideRight);
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_tree->setAutoFillBackground(false);
    m_tree->viewport()->setAutoFillBackground(false);
    m_tree->setAccessibleName(tr("Contents"));
    m_tree->setItemDelegateForColumn(0, new TitleDelegate(m_tree));
    m_empty = new EmptyStateView(QStringLiteral("list.bullet.indent"), tr("No Table of Contents"),
                                 tr("This PDF keeps things casual. Try thumbnails or search."), this);
    m_stack->addWidget(m_tree);
    m_stack->addWidget(m_empty);
    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* row) {
        if (const OutlineItemPtr item = m_items.value(row))
            activate(*item);
    });
    // Return or Enter on a row goes there just as a click does.
    connect(m_tree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* row) {
        if (const OutlineItemPtr item = m_items.value(row))
            activate(*item);
    });
    if (editor) {
        connect(editor, &Editor::outlineChanged, this, &OutlineSidebar::reload);
        // Unlocking shows the document afresh, which forgets the outline: a list already on screen
        // loads it again once the unlock is done.
        connect(editor, &Editor::isLockedChanged, this, [this](bool locked) {
            if (!locked && isVisible())
                loadIfNeeded();
        }, Qt::QueuedConnection);
    }
    reload();
}

bool OutlineSidebar::showsEmptyState() const
{
    return m_stack->currentWidget() == m_empty;
}

void OutlineSidebar::activate(const OutlineItem& item)
{
    if (!m_editor)
        return;
    if (item.destination) {
        if (EditorCanvas* canvas = m_editor->pdfView())
            canvas->goToDestination(*item.destination);
    } else if (item.pageIndex) {
        m_editor->goToPage(*item.pageIndex);
    }
}

void OutlineSidebar::loadIfNeeded()
{
    if (!m_editor || m_editor->outlineLoaded() || m_editor->isLocked())
        return;
    m_editor->setOutlineLoaded(true);
    m_editor->loadOutline();
}

void OutlineSidebar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    loadIfNeeded();
}

void OutlineSidebar::reload()
{
    m_tree->clear();
    m_items.clear();
    const Outline outline = m_editor ? m_editor->outline() : Outline();
    if (!outline) {
        m_stack->setCurrentWidget(m_empty);
        return;
    }
    addItems(*outline, nullptr);
    m_stack->setCurrentWidget(m_tree);
}

void OutlineSidebar::addItems(const QList<OutlineItemPtr>& items, QTreeWidgetItem* parent)
{
    const QFont caption = chrome::captionFont();
    const QColor secondary = chrome::secondaryTextColor(palette());
    for (const OutlineItemPtr& item : items) {
        auto* row = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
        row->setText(0, item->title);
        row->setToolTip(0, item->title);
        if (item->pageIndex) {
            row->setText(1, QString::number(qint64(*item->pageIndex) + 1));
            row->setFont(1, caption);
            row->setForeground(1, secondary);
            row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        }
        m_items.insert(row, item);
        if (item->children)
            addItems(*item->children, row);
    }
}

} // namespace vmk::panels
