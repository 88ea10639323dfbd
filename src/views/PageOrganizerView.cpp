#include "views/PageOrganizerView.h"

#include "editor/Editor.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "views/OrganizerCollectionView.h"
#include "views/OrganizerDragDrop.h"
#include "views/PageCell.h"

#include <QStringListModel>
#include <QVBoxLayout>

namespace vmk::views {

PageOrganizerView::PageOrganizerView(Editor* editor, Style style, QWidget* parent)
    : QWidget(parent),
      m_style(style),
      m_metrics(style == Style::grid ? OrganizerMetrics::grid() : OrganizerMetrics::sidebar()),
      m_editor(editor)
{
    setObjectName(style == Style::grid ? QStringLiteral("pageGrid") : QStringLiteral("sidebarThumbnails"));
    m_itemWidth = m_metrics.firstItemWidth;
    m_thumbnails = std::make_unique<ThumbnailRenderer>(m_metrics.cacheCostLimit);
    m_thumbnails->setDeliveryHandler([this](const QString& key, const Thumbnail& thumbnail) {
        thumbnailRendered(key, thumbnail);
    });

    m_model = new QStringListModel(this);
    m_collection = new OrganizerCollectionView(this);
    m_collection->setModel(m_model);
    m_collection->setSelectionMode(m_metrics.multipleSelection ? QAbstractItemView::ExtendedSelection
                                                               : QAbstractItemView::SingleSelection);
    m_collection->setSelectionBehavior(QAbstractItemView::SelectItems);
    // The view paints its own background, when it has one. A viewport that counted as opaque would be
    // repainted and scrolled straight into the window, past the fade the grid comes and goes with, so
    // the grid would flash back at full strength over the canvas while it leaves.
    m_collection->viewport()->setAutoFillBackground(false);
    if (!m_metrics.drawsBackground)
        m_collection->setAttribute(Qt::WA_TranslucentBackground);
    else
        // Told to whatever moves the grid as a picture (its entrance), which then need not clear the
        // memory the grid is drawn into on every frame: the background and the scroll bar cover it all.
        setProperty("paintsEveryPixel", true);
    auto& flow = m_collection->flowLayout();
    flow.setSpacing(m_metrics.minInteritemSpacing, m_metrics.minLineSpacing);
    flow.setInsets(m_metrics.insets);
    flow.setItemSize(organizerItemSize(m_itemWidth));
    connect(m_collection->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selectionDidChange(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_collection);

    if (m_editor) {
        if (m_metrics.registersAsPageGrid)
            m_editor->setPageGrid(this);
        // Every change of the Editor's published state that the organizer shows.
        for (auto signal : {&Editor::documentVersionChanged, &Editor::annotationVersionChanged,
                            &Editor::pageIndexChanged, &Editor::pageCountChanged})
            connect(m_editor, signal, this, [this] { refresh(); });
        connect(m_editor, &Editor::organizerSelectionChanged, this, [this] { refresh(); });
        connect(m_editor, &Editor::modeChanged, this, [this] { refresh(); });
        connect(m_editor, &Editor::isLockedChanged, this, [this] { refresh(); });
    }
    refresh();
}

PageOrganizerView::~PageOrganizerView()
{
    if (m_editor && m_editor->pageGrid() == this)
        m_editor->setPageGrid(nullptr);
    m_thumbnails->cancelAll();
    m_cells.clear();
}

void PageOrganizerView::refresh()
{
    if (!m_editor)
        return;
    // The count also changes without a new version once a long document's page tree is walked.
    if (m_version != m_editor->documentVersion() || m_annotationVersion != m_editor->annotationVersion()
        || m_model->rowCount() != m_editor->pageCount()) {
        m_version = m_editor->documentVersion();
        m_annotationVersion = m_editor->annotationVersion();
        reloadData();
    }
    syncSelectionFromEditor();
    // Pages mode takes the keyboard as soon as its grid shows. The grid stays hosted while hidden in
    // the other modes, where it must not take the canvas's focus.
    if (m_style == Style::grid && isVisible() && window() && window()->focusWidget() != m_collection)
        m_collection->setFocus(Qt::OtherFocusReason);
}

void PageOrganizerView::reloadData()
{
    // The count a long document's page tree claims until it is walked: the grid's cells ask for their
    // pages (and so have it walked) only when shown.
    const int count = m_editor ? m_editor->pdfDocument()->pageCountForShowing() : 0;
    m_isSyncingSelection = true;
    QStringList rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i)
        rows << QString::number(i + 1);
    // Cells are supplied afresh; renders already queued are kept and finish into the cache.
    m_cells.clear();
    m_model->setStringList(rows);
    m_isSyncingSelection = false;
    m_collection->relayout();
}

IndexSet PageOrganizerView::targetPages() const
{
    if (!m_editor)
        return {};
    if (m_style == Style::grid) {
        IndexSet pages;
        for (int index : m_editor->organizerSelection())
            if (index >= 0 && index < m_editor->pageCount())
                pages.insert(index);
        return pages;
    }
    if (m_editor->pageCount() < 1)
        return {};
    return {m_editor->pageIndex()};
}

IndexSet PageOrganizerView::selectedItems() const
{
    IndexSet items;
    for (const QModelIndex& index : m_collection->selectionModel()->selectedIndexes())
        items.insert(index.row());
    return items;
}

void PageOrganizerView::syncSelectionFromEditor()
{
    if (!m_editor)
        return;
    IndexSet wanted;
    for (int index : targetPages())
        if (index < m_model->rowCount())
            wanted.insert(index);
    if (wanted == selectedItems())
        return;
    m_isSyncingSelection = true;
    QItemSelection selection;
    for (int index : wanted)
        selection.select(m_model->index(index, 0), m_model->index(index, 0));
    m_collection->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!wanted.empty())
        m_collection->selectionModel()->setCurrentIndex(m_model->index(*wanted.begin(), 0), QItemSelectionModel::NoUpdate);
    m_isSyncingSelection = false;
    if (!wanted.empty())
        m_collection->scrollTo(m_model->index(*wanted.begin(), 0), QAbstractItemView::EnsureVisible);
}

void PageOrganizerView::selectionDidChange()
{
    for (const auto& [index, cell] : m_cells)
        cell->setSelected(m_collection->selectionModel()->isSelected(m_model->index(index, 0)));
    if (m_isSyncingSelection || !m_editor)
        return;
    const IndexSet chosen = selectedItems();
    if (m_style == Style::grid) {
        if (chosen != m_editor->organizerSelection())
            m_editor->setOrganizerSelection(chosen);
    } else if (!chosen.empty() && *chosen.begin() != m_editor->pageIndex()) {
        m_editor->goToPage(*chosen.begin());
    }
}

void PageOrganizerView::openPage(int index)
{
    if (!m_editor)
        return;
    if (m_style == Style::grid) {
        m_editor->setOrganizerSelection({index});
        m_editor->setMode(EditorMode::read);
    } else {
        m_editor->goToPage(index);
    }
}

void PageOrganizerView::openLowestSelected()
{
    const IndexSet selected = selectedItems();
    if (!selected.empty())
        openPage(*selected.begin());
}

void PageOrganizerView::deleteSelection()
{
    if (!m_editor)
        return;
    m_editor->deletePages(m_style == Style::grid ? m_editor->organizerSelection() : selectedItems());
}

void PageOrganizerView::setItemWidth(double width)
{
    m_itemWidth = std::clamp(width, kMinItemWidth, kMaxItemWidth);
    applyItemSize();
    reloadData();
    syncSelectionFromEditor();
}

void PageOrganizerView::magnify(double magnification)
{
    setItemWidth(zoomedItemWidth(m_itemWidth, 1 + magnification));
}

void PageOrganizerView::applyItemSize()
{
    m_collection->flowLayout().setItemSize(organizerItemSize(m_itemWidth));
}

void PageOrganizerView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_metrics.itemWidthFollowsView)
        return;
    const double width = sidebarItemWidth(this->width(), m_itemWidth);
    if (width != m_itemWidth) {
        // Only the layout changes: cells keep the thumbnails they have.
        m_itemWidth = width;
        applyItemSize();
        m_collection->relayout();
    }
}

void PageOrganizerView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A hidden organizer keeps no cells and queues no renders; they come when it shows.
    m_collection->relayout();
    refresh();
}

// --- Cells and thumbnails ------------------------------------------------------------------------

PageCell* PageOrganizerView::cellAt(int index) const
{
    const auto it = m_cells.find(index);
    return it == m_cells.end() ? nullptr : it->second.get();
}

void PageOrganizerView::updateVisibleCells()
{
    // A cell is keyed by its page's size and rotation, read from the document: while one is being written
    // the cells shown stay as they are, and those scrolled to come once the writing is over.
    if (pdf::Document::isWritingUnderWay()) {
        if (!m_cellsAfterWriting) {
            m_cellsAfterWriting = true;
            pdf::Document::afterWriting(this, [this] {
                m_cellsAfterWriting = false;
                updateVisibleCells();
            });
        }
        return;
    }
    const auto [top, bottom] = m_collection->visibleBand();
    auto [first, last] = m_collection->flowLayout().indexesBetween(top, bottom);
    if (!isVisible() || m_collection->viewport()->height() <= 0)
        last = first - 1;
    for (auto it = m_cells.begin(); it != m_cells.end();) {
        const int index = it->first;
        ++it;
        if (index < first || index > last)
            endDisplaying(index);
    }
    for (int i = first; i <= last; ++i)
        if (!cellAt(i))
            supplyCell(i);
}

PageCell* PageOrganizerView::supplyCell(int index)
{
    auto cell = std::make_unique<PageCell>();
    PageCell* raw = cell.get();
    m_cells[index] = std::move(cell);
    raw->pageNumber = index + 1;
    raw->setSelected(m_collection->selectionModel()->isSelected(m_model->index(index, 0)));
    QPointer<PageOrganizerView> self(this);
    raw->setUpdateHandler([self, index] { if (self) self->repaintCell(index); });
    // Only the cells shown ask for their pages: a long document's tree is not walked for them.
    const pdf::PagePtr page = m_editor ? m_editor->pdfDocument()->pageForShowing(index) : nullptr;
    if (!page)
        return raw;
    const QString key = ThumbnailRenderer::thumbnailKey(*page, m_annotationVersion, m_itemWidth);
    raw->representedKey = key;
    if (const Thumbnail* cached = m_thumbnails->cached(key)) {
        raw->thumbnail = *cached;
    } else {
        raw->thumbnail.reset();
        raw->placeholderAspect = ThumbnailRenderer::pageAspect(*page);
        m_thumbnails->schedule(page, key, m_itemWidth, devicePixelRatioF());
    }
    repaintCell(index);
    return raw;
}

void PageOrganizerView::endDisplaying(int index)
{
    const auto it = m_cells.find(index);
    if (it == m_cells.end())
        return;
    if (it->second->representedKey && m_thumbnails->isPending(*it->second->representedKey))
        m_thumbnails->cancel(*it->second->representedKey);
    m_cells.erase(it);
}

void PageOrganizerView::thumbnailRendered(const QString& key, const Thumbnail& thumbnail)
{
    for (const auto& [index, cell] : m_cells) {
        if (cell->representedKey == key) {
            cell->thumbnail = thumbnail;
            repaintCell(index);
        }
    }
}

void PageOrganizerView::repaintCell(int index)
{
    m_collection->viewport()->update(m_collection->visualRect(m_model->index(index, 0)).adjusted(-16, -16, 16, 16));
}

} // namespace vmk::views
