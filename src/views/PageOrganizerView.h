#pragma once

#include "editor/Editor.h"
#include "editor/EditorTypes.h"
#include "editor/EditorWindowHost.h"
#include "views/OrganizerLayout.h"
#include "views/ThumbnailRenderer.h"

#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>

class QMenu;
class QMimeData;
class QStringListModel;

namespace vmk::views {

class OrganizerCollectionView;
class PageCell;

// The pages of one document as a scrolling grid of page cards with their thumbnails. One class serves
// two styles, fixed when made: `grid` fills the window in Pages mode, selects several pages (the
// selection is the Editor's organizerSelection, both ways) and opens a page by leaving for Read mode;
// `sidebar` is the sidebar's thumbnail list, selects one page that follows the Editor's current page.
// Every change to the document goes through the Editor; without an Editor the view shows nothing and
// does nothing.
class PageOrganizerView : public QWidget, public PageGridHost {
    Q_OBJECT
public:
    enum class Style { grid = 0, sidebar = 1 };

    PageOrganizerView(Editor* editor, Style style, QWidget* parent = nullptr);
    ~PageOrganizerView() override;

    Style style() const { return m_style; }
    Editor* editor() const { return m_editor; }
    const OrganizerMetrics& metrics() const { return m_metrics; }
    OrganizerCollectionView* collectionView() const { return m_collection; }
    ThumbnailRenderer& thumbnails() { return *m_thumbnails; }
    int version() const { return m_version; }
    int annotationVersion() const { return m_annotationVersion; }

    // PageGridHost: the Editor's zoom step in Pages mode.
    double itemWidth() const override { return m_itemWidth; }
    void setItemWidth(double width) override;

    // Reloads when the Editor's document or annotation version moved, resynchronises the selection,
    // and in grid style takes the keyboard. Runs on every change of the Editor's published state.
    void refresh();
    // The pages the context menu and the Delete key act on.
    IndexSet targetPages() const;
    // Puts the target pages into the collection's selection (without echoing them back) and scrolls
    // the lowest into view.
    void syncSelectionFromEditor();
    // After the user changed the collection's selection.
    void selectionDidChange();
    // The pages selected in the collection view.
    IndexSet selectedItems() const;
    void openPage(int index);

    // Keys and mouse of the collection view.
    void openLowestSelected();
    void deleteSelection();
    // Pinch: the item width times 1 + magnification, within 90...340.
    void magnify(double magnification);

    // Drag and drop.
    enum class DropOperation { none, move, copy };
    const std::optional<IndexSet>& dragged() const { return m_dragged; }
    void playLift(const IndexSet& indexes);
    void playSettle();
    DropOperation validateDrop(const QMimeData* data, bool fromOwnCollection) const;
    // Moves the dragged pages or inserts dropped PDF files before the page at dropIndex; whether the
    // drop was taken.
    bool acceptDrop(const QMimeData* data, bool fromOwnCollection, int dropIndex);

    // The right-click menu for the clicked item (none over empty space); null without an Editor. The
    // caller owns it.
    QMenu* makeContextMenu(std::optional<int> clickedIndex, QWidget* parent = nullptr);

    // The cell shown for an item now, or null when the item is not on screen.
    PageCell* cellAt(int index) const;
    // Called by the collection view when what is on screen may have changed.
    void updateVisibleCells();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void reloadData();
    void applyItemSize();
    PageCell* supplyCell(int index);
    void endDisplaying(int index);
    void thumbnailRendered(const QString& key, const Thumbnail& thumbnail);
    void repaintCell(int index);

    Style m_style;
    OrganizerMetrics m_metrics;
    QPointer<Editor> m_editor;
    OrganizerCollectionView* m_collection = nullptr;
    QStringListModel* m_model = nullptr;
    std::unique_ptr<ThumbnailRenderer> m_thumbnails;
    std::map<int, std::unique_ptr<PageCell>> m_cells;
    int m_version = -1;
    int m_annotationVersion = -1;
    std::optional<IndexSet> m_dragged;
    bool m_isSyncingSelection = false;
    double m_itemWidth = 150;
    bool m_cellsAfterWriting = false; // cells asked for while a document was being written
};

} // namespace vmk::views
