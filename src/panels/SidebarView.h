#pragma once

#include "editor/EditorModel.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QButtonGroup;
class QStackedWidget;
class QToolButton;

namespace vmk {
class Editor;
}

namespace vmk::panels {

class EmptyStateView;
class OutlineSidebar;
class SearchSidebar;

// The left column of a document window: a three-segment control over the page thumbnails, the table of
// contents and the search results. The tab is the Editor's sidebarTab, so other views may switch it.
// The thumbnails are built one main-loop turn after the sidebar first appears, then fade in.
class SidebarView : public QWidget {
    Q_OBJECT
public:
    // Makes the thumbnail view (the page organizer in its sidebar style) for the Editor.
    using ThumbnailFactory = std::function<QWidget*(Editor*)>;

    explicit SidebarView(Editor* editor, ThumbnailFactory thumbnails = {}, QWidget* parent = nullptr);

    bool isReady() const { return m_ready; }
    // The segment buttons, in tab order.
    const QList<QToolButton*>& segments() const { return m_segments; }
    // The content shown now.
    QWidget* currentContent() const;
    // The thumbnail view once built, else null.
    QWidget* thumbnails() const { return m_thumbnailView; }
    EmptyStateView* lockedState() const { return m_locked; }
    OutlineSidebar* outlineList() const { return m_outline; }
    SearchSidebar* searchList() const { return m_search; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    void reveal();

    QPointer<Editor> m_editor;
    ThumbnailFactory m_thumbnailFactory;
    bool m_ready = false;
    QList<QToolButton*> m_segments;
    QButtonGroup* m_group;
    QStackedWidget* m_content;
    QWidget* m_thumbnailPage;     // holds the lock placeholder, the blank area or the thumbnails
    QWidget* m_blank;
    EmptyStateView* m_locked;
    QWidget* m_thumbnailView = nullptr;
    OutlineSidebar* m_outline;
    SearchSidebar* m_search;
};

} // namespace vmk::panels
