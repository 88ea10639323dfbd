#include "editor/Editor.h"

#include "editor/HeadlessCanvas.h"
#include "platform/doc/UndoManager.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "core/AnnotationModel.h"
#include "platform/services/UserDefaults.h"

namespace vmk {

namespace {
UntitledDocumentMaker* g_documentMaker = nullptr;
}

void Editor::setDocumentMaker(UntitledDocumentMaker* maker) { g_documentMaker = maker; }
UntitledDocumentMaker* Editor::documentMaker() { return g_documentMaker; }

// --- Published state ----------------------------------------------------------------------------

void Editor::setMode(EditorMode mode)
{
    if (mode == m_mode)
        return;
    const EditorMode from = m_mode;
    m_mode = mode;
    emit modeChanged(mode);
    modeDidChange(from);
}

void Editor::setTool(Tool tool)
{
    if (tool == m_tool)
        return;
    const Tool from = m_tool;
    m_tool = tool;
    emit toolChanged(tool);
    toolDidChange(from);
}

void Editor::setLastShape(Tool tool)
{
    // Only the four shape tools are ever remembered as the last shape.
    if (!isShape(tool) || tool == m_lastShape)
        return;
    m_lastShape = tool;
    emit lastShapeChanged(tool);
}

void Editor::setToolColors(const ToolColors& colors)
{
    if (colors == m_toolColors)
        return;
    m_toolColors = colors;
    emit toolColorsChanged();
}

void Editor::setStrokeWidth(double width)
{
    if (width == m_strokeWidth)
        return;
    m_strokeWidth = width;
    emit strokeWidthChanged(width);
}

void Editor::setFontSize(double size)
{
    if (size == m_fontSize)
        return;
    m_fontSize = size;
    emit fontSizeChanged(size);
}

void Editor::setSelectedAnnotation(const pdf::AnnotationPtr& annotation)
{
    if (annotation == m_selectedAnnotation)
        return;
    m_selectedAnnotation = annotation;
    // A line-width drag belongs to the annotation it started on.
    m_lineWidthDragStart.reset();
    m_lineWidthDragAnnotation.reset();
    emit selectedAnnotationChanged();
}

void Editor::setPageIndexValue(int index)
{
    if (index == m_pageIndex)
        return;
    m_pageIndex = index;
    emit pageIndexChanged(index);
}

void Editor::setPageCountValue(int count)
{
    if (count == m_pageCount)
        return;
    m_pageCount = count;
    emit pageCountChanged(count);
}

void Editor::setIsLockedValue(bool locked)
{
    if (locked == m_isLocked)
        return;
    m_isLocked = locked;
    emit isLockedChanged(locked);
}

void Editor::bumpDocumentVersion()
{
    ++m_documentVersion;
    emit documentVersionChanged(m_documentVersion);
}

void Editor::bumpAnnotationVersion()
{
    ++m_annotationVersion;
    emit annotationVersionChanged(m_annotationVersion);
}

void Editor::setDisplayMode(pdfview::DisplayMode mode)
{
    if (mode == m_displayMode)
        return;
    m_displayMode = mode;
    emit displayModeChanged();
}

void Editor::setOrganizerSelection(const IndexSet& selection)
{
    if (selection == m_organizerSelection)
        return;
    m_organizerSelection = selection;
    emit organizerSelectionChanged();
}

void Editor::setOutline(const Outline& outline)
{
    m_outline = outline;
    emit outlineChanged();
}

void Editor::setShowScanSuggestion(bool show)
{
    if (show == m_showScanSuggestion)
        return;
    m_showScanSuggestion = show;
    emit showScanSuggestionChanged(show);
}

void Editor::setSidebarTab(SidebarTab tab)
{
    if (tab == m_sidebarTab)
        return;
    m_sidebarTab = tab;
    emit sidebarTabChanged(tab);
}

void Editor::setSearchText(const QString& text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    emit searchTextChanged(text);
}

void Editor::setSearchHits(const QList<SearchHit>& hits)
{
    m_searchHits = hits;
    m_hitSelections.clear();
    m_hitSelections.reserve(hits.size());
    for (const SearchHit& hit : hits)
        m_hitSelections.append(hit.selection);
    emit searchHitsChanged();
}

void Editor::setIsSearching(bool searching)
{
    if (searching == m_isSearching)
        return;
    m_isSearching = searching;
    emit isSearchingChanged(searching);
}

void Editor::setCurrentHit(std::optional<int> hit)
{
    if (hit == m_currentHit)
        return;
    m_currentHit = hit;
    emit currentHitChanged();
}

void Editor::setPendingCrop(const std::optional<PendingCrop>& crop)
{
    if (crop == m_pendingCrop)
        return;
    m_pendingCrop = crop;
    emit pendingCropChanged();
}

// --- Mode and tool changes ------------------------------------------------------------------------

void Editor::modeDidChange(EditorMode from)
{
    m_canvas->commitTextSession();
    m_canvas->endBlockSession(true);
    setSelectedAnnotation(nullptr);
    if (m_mode != EditorMode::annotate)
        setTool(Tool::select);
    if (m_mode == EditorMode::pages) {
        setOrganizerSelection({m_pageIndex});
    } else if (from == EditorMode::pages && !m_organizerSelection.empty()) {
        if (pdf::PagePtr page = pdfDocument()->page(*m_organizerSelection.begin()))
            m_canvas->goToPage(page);
    }
    if (from == EditorMode::edit)
        leaveEditMode();
    if (m_mode == EditorMode::edit)
        enterEditMode();
    m_canvas->resetGesture();
    m_canvas->commitTextSession();
    m_canvas->clearSelection();
    m_canvas->setOverlayNeedsDisplay();
    m_canvas->refreshCursor();
    if (m_windowHost)
        m_windowHost->modeDidChange(from);
}

void Editor::toolDidChange(Tool from)
{
    if (from != m_tool)
        m_canvas->toolDidChange();
}

// --- Undo -------------------------------------------------------------------------------------------

void Editor::registerUndo(const QString& actionName, std::function<void()> handler)
{
    platform::UndoManager* manager = undoManager();
    if (!manager)
        return;
    manager->registerUndo(static_cast<QObject*>(this), std::move(handler));
    if (platform::UndoManager* again = undoManager())
        again->setActionName(actionName);
}

} // namespace vmk
