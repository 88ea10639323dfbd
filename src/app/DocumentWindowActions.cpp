#include "app/DocumentWindowController.h"

#include "app/Presenters.h"
#include "panels/SignatureSheet.h"
#include "views/PageOrganizerView.h"
#include "core/VMKDocument.h"
#include "platform/doc/DocumentController.h"
#include "platform/pdfview/PDFView.h"
#include "platform/services/NotificationCenter.h"
#include "platform/services/WindowDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace vmk::app {

namespace {

// The document's own commands (the file and its undo history).
const QSet<QString>& fileCommands()
{
    static const QSet<QString> commands = {
        "saveDocument:", "saveDocumentAs:", "saveDocumentTo:", "revertDocumentToSaved:", "printDocument:",
        "runPageLayout:", "undo:", "redo:", "copy:", "performClose:", "duplicateDocument:", "renameDocument:",
        "moveDocument:", "cut:", "paste:", "selectAll:", "revertToOriginal:",
    };
    return commands;
}

pdfview::PDFView* pdfViewOf(Editor* editor)
{
    return editor && editor->pdfView() ? qobject_cast<pdfview::PDFView*>(editor->pdfView()->canvasWidget()) : nullptr;
}

QString selectedText(Editor* editor)
{
    if (!editor || !editor->pdfView())
        return {};
    const auto selection = editor->pdfView()->currentSelection();
    return selection ? selection->string().trimmed() : QString();
}

} // namespace

DocumentCommandState DocumentWindowController::commandState() const
{
    DocumentCommandState s;
    s.locked = m_editor->isLocked();
    s.mode = rawValue(m_editor->mode());
    s.tool = toolIndex(m_editor->tool());
    s.displayMode = int(m_editor->displayMode());
    s.hasTextSelection = !selectedText(m_editor.get()).isEmpty();
    s.hasSearchHits = !m_editor->searchHits().isEmpty();
    if (auto* view = pdfViewOf(m_editor.get())) {
        s.canGoBack = view->canGoBack();
        s.canGoForward = view->canGoForward();
    }
    s.progressShowing = m_editor->progress().has_value();
    s.sidebarOpen = !isSidebarCollapsed();
    s.inspectorOpen = !isInspectorCollapsed();
    s.passwordProtected = m_editor->isPasswordProtected();
    s.hasSelectedAnnotation = m_editor->selectedAnnotation() != nullptr;
    s.hasOrganizerSelection = !m_editor->organizerSelection().empty();
    return s;
}

bool DocumentWindowController::respondsToCommand(const QString& action) const
{
    return documentWindowCommands().contains(action) || fileCommands().contains(action);
}

bool DocumentWindowController::validateDocumentFileCommand(const QString& action, bool* enabled) const
{
    if (!fileCommands().contains(action))
        return false;
    if (validateFileAndTextCommand(action, enabled))
        return true;
    auto* undo = m_document ? m_document->undoManager() : nullptr;
    if (action == QLatin1String("undo:"))
        *enabled = undo && undo->canUndo();
    else if (action == QLatin1String("redo:"))
        *enabled = undo && undo->canRedo();
    else if (action == QLatin1String("revertDocumentToSaved:"))
        *enabled = m_document && !m_document->isUntitled() && m_document->isEdited();
    else if (action == QLatin1String("performClose:"))
        *enabled = true;
    else if (action == QLatin1String("printDocument:"))
        *enabled = !m_editor->isLocked() && m_editor->pdfDocument()->permits(pdf::Document::Permission::Print);
    else
        *enabled = !m_editor->isLocked();
    return true;
}

CommandValidation DocumentWindowController::validateCommand(const QString& action, int tag) const
{
    CommandValidation v;
    bool enabled = true;
    if (validateDocumentFileCommand(action, &enabled)) {
        v.enabled = enabled;
        if (action == QLatin1String("undo:") || action == QLatin1String("redo:")) {
            auto* undo = m_document ? m_document->undoManager() : nullptr;
            const QString name = !undo ? QString() : action == QLatin1String("undo:") ? undo->undoActionName() : undo->redoActionName();
            const QString base = action == QLatin1String("undo:") ? QStringLiteral("Undo") : QStringLiteral("Redo");
            v.title = name.isEmpty() ? base : base + QLatin1Char(' ') + name;
        }
        return v;
    }
    return validateDocumentCommand(commandState(), action, tag);
}

void DocumentWindowController::performCommand(const QString& action, int tag)
{
    if (performDocumentCommand(action))
        return;
    Editor* e = m_editor.get();
    auto* canvas = e->pdfView();
    if (action == QLatin1String("selectMode:")) {
        if (const auto mode = editorModeFromRaw(tag))
            applyMode(*mode);
    } else if (action == QLatin1String("selectTool:")) {
        if (const auto tool = toolFromIndex(tag)) {
            applyMode(EditorMode::annotate);
            e->setTool(*tool);
        }
    } else if (action == QLatin1String("zoomInPDF:")) {
        e->zoomStep(1.25);
    } else if (action == QLatin1String("zoomOutPDF:")) {
        e->zoomStep(0.8);
    } else if (action == QLatin1String("zoomActualSize:")) {
        canvas->setAutoScales(false);
        canvas->setScaleFactor(1.0, false);
    } else if (action == QLatin1String("zoomToFitPage:")) {
        e->zoomToFit();
    } else if (action == QLatin1String("zoomToFitWidth:")) {
        canvas->setAutoScales(true);
    } else if (action == QLatin1String("setDisplayModeTag:")) {
        if (tag < 0 || tag > 3)
            return;
        if (e->mode() == EditorMode::pages)
            applyMode(EditorMode::read);
        const pdf::PagePtr page = canvas->currentPage();
        const auto mode = pdfview::DisplayMode(tag);
        e->setDisplayMode(mode);
        if (auto* view = pdfViewOf(e))
            view->setDisplayMode(mode);
        if (page)
            canvas->goToPage(page);
    } else if (action == QLatin1String("rotatePageLeft:")) {
        e->rotateSelectedPages(e->selectedPageIndexes(), -90);
    } else if (action == QLatin1String("rotatePageRight:")) {
        e->rotateSelectedPages(e->selectedPageIndexes(), 90);
    } else if (action == QLatin1String("goToPageNumber:")) {
        if (e->mode() == EditorMode::pages)
            applyMode(EditorMode::read);
        platform::NotificationCenter::defaultCenter().post(platform::kBeginGoToPageNotification, e);
    } else if (action == QLatin1String("nextPDFPage:")) {
        e->jumpToPage(e->pageIndex() + 1);
    } else if (action == QLatin1String("previousPDFPage:")) {
        e->jumpToPage(e->pageIndex() - 1);
    } else if (action == QLatin1String("firstPDFPage:")) {
        e->goToPage(0);
    } else if (action == QLatin1String("lastPDFPage:")) {
        e->goToPage(e->pageCount() - 1);
    } else if (action == QLatin1String("navigateBack:")) {
        if (auto* view = pdfViewOf(e); view && view->canGoBack())
            view->goBack();
    } else if (action == QLatin1String("navigateForward:")) {
        if (auto* view = pdfViewOf(e); view && view->canGoForward())
            view->goForward();
    } else if (action == QLatin1String("markupSelection:")) {
        const Tool tools[] = {Tool::highlight, Tool::underline, Tool::strikeOut};
        if (tag < 0 || tag > 2)
            return;
        const auto selection = canvas->currentSelection();
        if (selection && !selection->string().trimmed().isEmpty()) {
            e->markupSelection(tools[tag], *selection);
            canvas->clearSelection();
        }
    } else if (action == QLatin1String("insertPagesFromFile:")) {
        e->insertPagesFromFile();
    } else if (action == QLatin1String("insertBlankPage:")) {
        std::optional<int> after;
        if (e->mode() == EditorMode::pages) {
            if (!e->organizerSelection().empty())
                after = *e->organizerSelection().rbegin();
        } else {
            after = e->pageIndex();
        }
        e->insertBlankPage(after);
    } else if (action == QLatin1String("toggleSidebar:")) {
        setSidebarCollapsed(!isSidebarCollapsed());
    } else if (action == QLatin1String("toggleInspector:")) {
        setInspectorCollapsed(!isInspectorCollapsed());
    } else if (action == QLatin1String("showSidebarTab:")) {
        if (const auto tab = sidebarTabFromRaw(tag)) {
            e->setSidebarTab(*tab);
            revealSidebar();
        }
    } else if (action == QLatin1String("exportCompressed:")) {
        presentCompressSheet();
    } else if (action == QLatin1String("protectDocument:")) {
        presentPasswordSheet();
    } else if (action == QLatin1String("removeDocumentPassword:")) {
        confirmRemovePassword();
    } else if (action == QLatin1String("startSlideshow:")) {
        startSlideshow();
    } else if (action == QLatin1String("findInDocument:")) {
        beginFind();
    } else if (action == QLatin1String("findNextResult:")) {
        e->nextHit();
    } else if (action == QLatin1String("findPreviousResult:")) {
        e->previousHit();
    } else if (action == QLatin1String("useSelectionForFind:")) {
        const QString text = selectedText(e);
        if (!text.isEmpty())
            searchNow(text);
    } else if (action == QLatin1String("exportImages:")) {
        e->exportPagesAsImages();
    } else if (action == QLatin1String("exportText:")) {
        e->exportText();
    } else if (action == QLatin1String("exportFlattened:")) {
        e->exportFlattened();
    } else if (action == QLatin1String("makeSearchable:")) {
        e->makeSearchable();
    } else if (action == QLatin1String("applyRedactions:")) {
        if (e->mode() != EditorMode::redact)
            applyMode(EditorMode::redact);
        e->confirmRedactions();
    } else if (action == QLatin1String("newSignature:")) {
        applyMode(EditorMode::sign);
        panels::presentSignatureSheet(e);
    } else if (action == QLatin1String("delete:")) {
        if (e->mode() == EditorMode::pages)
            m_pageGrid->deleteSelection();
        else
            e->deleteAnnotation();
    } else if (action == QLatin1String("startCrop:")) {
        applyMode(EditorMode::annotate);
        e->setTool(Tool::crop);
        e->showToast(QStringLiteral("Drag a rectangle over the part you want to keep."), QStringLiteral("crop"),
                     Toast::Style::info);
    }
}

bool DocumentWindowController::performDocumentCommand(const QString& action)
{
    if (!fileCommands().contains(action))
        return false;
    if (performFileAndTextCommand(action))
        return true;
    auto present = [this](const platform::MaybeError& error) {
        if (error && !error->isCancel()) {
            if (auto* controller = platform::DocumentController::shared())
                controller->presentError(*error);
            else
                alertPresenter().presentError(*error, m_window);
        }
    };
    auto askPath = [this](const QString& title) {
        const QString name = m_editor->documentBaseName() + QStringLiteral(".pdf");
        return QFileDialog::getSaveFileName(m_window, title,
                                            QDir(platform::startFolderFor(m_document->filePath())).filePath(name),
                                            QStringLiteral("PDF documents (*.pdf)"));
    };
    if (action == QLatin1String("saveDocument:")) {
        if (m_document->isUntitled()) {
            const QString path = askPath(QStringLiteral("Save"));
            if (!path.isEmpty())
                present(m_document->saveToPath(path, platform::SaveOperation::SaveAs));
        } else {
            present(m_document->save(platform::SaveOperation::Save));
        }
    } else if (action == QLatin1String("saveDocumentAs:")) {
        const QString path = askPath(QStringLiteral("Save As"));
        if (!path.isEmpty())
            present(m_document->saveToPath(path, platform::SaveOperation::SaveAs));
    } else if (action == QLatin1String("saveDocumentTo:")) {
        const QString path = askPath(QStringLiteral("Export As PDF"));
        if (!path.isEmpty())
            present(m_document->saveToPath(path, platform::SaveOperation::SaveTo));
    } else if (action == QLatin1String("revertDocumentToSaved:")) {
        confirmRevertToSaved();
    } else if (action == QLatin1String("printDocument:")) {
        QPrinter printer;
        preparePrinter(printer);
        QPrintDialog dialog(&printer, m_window);
        if (dialog.exec() == QDialog::Accepted)
            present(m_document->print(printer));
    } else if (action == QLatin1String("runPageLayout:")) {
        QPrinter printer;
        preparePrinter(printer);
        if (QPageSetupDialog(&printer, m_window).exec() == QDialog::Accepted)
            setPageSetup(printer.pageLayout());
    } else if (action == QLatin1String("undo:")) {
        if (auto* undo = m_document->undoManager(); undo && undo->canUndo())
            undo->undo();
    } else if (action == QLatin1String("redo:")) {
        if (auto* undo = m_document->undoManager(); undo && undo->canRedo())
            undo->redo();
    } else if (action == QLatin1String("performClose:")) {
        m_window->close();
    }
    return true;
}

void DocumentWindowController::setPageSetup(const QPageLayout& layout)
{
    m_pageSetup = layout;
}

void DocumentWindowController::preparePrinter(QPrinter& printer) const
{
    if (m_pageSetup)
        printer.setPageLayout(*m_pageSetup);
}

} // namespace vmk::app
