#include "panels/OutlineSidebar.h"

#include "chrome/ChromeStyle.h"
#include "editor/Editor.h"
#include "panels/FormParts.h"

#include <QHeaderView>
#include <QStackedLayout>
#include <QTreeWidget>

namespace vmk::panels {

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
    m_tree->setStyleSheet(QStringLiteral("QTreeView::item { padding: 3px 0px; }"));
    m_empty = new EmptyStateView(QStringLiteral("list.bullet.indent"), tr("No Table of Contents"),
                                 tr("This PDF keeps things casual. Try thumbnails or search."), this);
    m_stack->addWidget(m_tree);
    m_stack->addWidget(m_empty);
    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* row) {
        if (const OutlineItemPtr item = m_items.value(row))
            activate(*item);
    });
    if (editor)
        connect(editor, &Editor::outlineChanged, this, &OutlineSidebar::reload);
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
