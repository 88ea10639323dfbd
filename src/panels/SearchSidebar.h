#pragma once

#include "panels/SearchListRules.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QListWidget;
class QProgressBar;
class QStackedLayout;

namespace vmk {
class Editor;
}

namespace vmk::panels {

class EmptyStateView;

// The results of the window's find: a header with the count (or "Searching…") and one row per hit with
// its page and snippet; the current hit is marked and kept in view. A click selects the hit.
class SearchSidebar : public QWidget {
    Q_OBJECT
public:
    explicit SearchSidebar(Editor* editor, QWidget* parent = nullptr);

    SearchListState state() const { return m_state; }
    EmptyStateView* emptyState() const { return m_empty; }
    QLabel* header() const { return m_header; }
    QProgressBar* spinner() const { return m_spinner; }
    QListWidget* list() const { return m_list; }
    // Selects the hit at a row, as a click on it does.
    void activateRow(int row);

private:
    void refresh();
    void reloadHits();
    void followCurrentHit();

    QPointer<Editor> m_editor;
    SearchListState m_state = SearchListState::prompt;
    QStackedLayout* m_stack;
    EmptyStateView* m_empty;
    QWidget* m_results;
    QLabel* m_header;
    QProgressBar* m_spinner;
    QListWidget* m_list;
    int m_currentRow = -1; // the row marked current, -1 for none
};

} // namespace vmk::panels
