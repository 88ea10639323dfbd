#pragma once

#include "editor/EditorTypes.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

class QStackedLayout;
class QTreeWidget;
class QTreeWidgetItem;

namespace vmk {
class Editor;
}

namespace vmk::panels {

class EmptyStateView;

// The document's table of contents as an expandable tree whose rows go to their place in the document.
// The outline is built the first time the list appears while the document is unlocked.
class OutlineSidebar : public QWidget {
    Q_OBJECT
public:
    explicit OutlineSidebar(Editor* editor, QWidget* parent = nullptr);

    QTreeWidget* tree() const { return m_tree; }
    EmptyStateView* emptyState() const { return m_empty; }
    bool showsEmptyState() const;
    // The row's item, or null.
    OutlineItemPtr itemFor(QTreeWidgetItem* row) const { return m_items.value(row); }
    // What a click on a row does: its destination, else its page, else nothing.
    void activate(const OutlineItem& item);
    // The first-appearance rule: loads the outline once per window while unlocked.
    void loadIfNeeded();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void reload();
    void addItems(const QList<OutlineItemPtr>& items, QTreeWidgetItem* parent);

    QPointer<Editor> m_editor;
    QStackedLayout* m_stack;
    QTreeWidget* m_tree;
    EmptyStateView* m_empty;
    QHash<QTreeWidgetItem*, OutlineItemPtr> m_items;
};

} // namespace vmk::panels
