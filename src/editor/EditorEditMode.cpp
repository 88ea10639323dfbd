// Edit mode: the edit session's lifetime and the hit test that finds the text block or picture under a point.

#include "editor/Editor.h"

#include "core/VMKDocument.h"
#include "core/pdfium/PDFEditSession.h"
#include "platform/doc/UndoManager.h"
#include "platform/pdf/engine/Wait.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/services/Logger.h"

#include <cmath>

namespace vmk {

namespace {

const QString kWarningSymbol = QStringLiteral("exclamationmark.triangle.fill");

// Whether a session is being prepared off the main thread. PDFium belongs to one thread at a time: while
// it works for that session nothing may start another (sessions are otherwise used only on user input,
// which waits meanwhile).
bool g_openingSession = false;

core::PDFiumResult<std::shared_ptr<core::PDFEditSession>> openRealSession(const QByteArray& bytes,
                                                                          const QString& password)
{
    if (g_openingSession)
        return core::PDFiumError::saveFailed();
    // Cutting the pages' content and loading the copy can take seconds on a big file: the window goes on
    // painting meanwhile.
    g_openingSession = true;
    core::PDFiumResult<std::unique_ptr<core::PDFEditSession>> opened = core::PDFiumError::saveFailed();
    // The work is waited for to its end even when the user stops it: PDFium must be left by that thread
    // before anything else may use it. Stopping makes the cutting give up early, and the engine unused.
    const pdf::WaitOutcome outcome =
        pdf::waitWhileAnswering([&] { opened = core::PDFEditSession::open(bytes, password); });
    g_openingSession = false;
    if (outcome == pdf::WaitOutcome::Cancelled)
        return core::PDFiumError::cancelled();
    if (!opened)
        return opened.error();
    return std::shared_ptr<core::PDFEditSession>(std::move(opened.value()));
}

// Whether a target still names the same block or picture: a stale selection never reaches a write.
bool sameTarget(const std::optional<EditTarget>& a, const std::optional<EditTarget>& b)
{
    return a.has_value() == b.has_value() && (!a || *a == *b);
}

} // namespace

void Editor::setEditHover(const std::optional<EditTarget>& target)
{
    if (sameTarget(target, m_editHover))
        return;
    m_editHover = target;
    emit editHoverChanged();
}

void Editor::setEditSelection(const std::optional<EditTarget>& target)
{
    if (sameTarget(target, m_editSelection)) {
        // Same block or picture, but its handles or text may be newer: keep the fresh copy quietly.
        m_editSelection = target;
        return;
    }
    m_editSelection = target;
    emit editSelectionChanged();
}

void Editor::showEditError(const core::PDFiumError& error)
{
    showToast(error.message(), kWarningSymbol, Toast::Style::info);
    // The session wrote a page wrong and will save nothing more: start again from the document as shown.
    if (error.kind == core::PDFiumError::Kind::wouldDamage)
        discardEditSessionChanges();
}

void Editor::enterEditMode()
{
    if (m_isLocked) {
        setMode(EditorMode::read);
        return;
    }
    platform::SignpostInterval signpost(QStringLiteral("Enter Edit Mode"));
    m_canvas->commitTextSession();

    const pdf::DocumentPtr pdf = m_document ? m_document->pdf() : pdf::Document::createEmpty();
    core::PDFiumResult<std::shared_ptr<core::PDFEditSession>> opened = core::PDFiumError::saveFailed();
    if (pdf) {
        if (const auto data = pdf->dataRepresentation())
            opened = m_editSessionOpener ? m_editSessionOpener(data.value()) : openRealSession(data.value(), m_unlockedPassword.value_or(QString()));
    }
    if (opened) {
        m_editSession = opened.value();
        rememberEditSessionPages();
        // Any change the session did not make (a menu command, an undo or redo of another step) leaves the
        // session's copy behind: the next commit reopens it over the document first.
        if (!m_editChangeWatch) {
            if (platform::UndoManager* manager = undoManager())
                m_editChangeWatch = connect(manager, &platform::UndoManager::changeRecorded, this, [this] {
                    if (m_editSession && !m_savingEdit)
                        m_editSessionStale = true;
                });
        }
        return;
    }
    signpost.end();
    m_editSession.reset();
    if (!opened.error().isCancel())
        showEditError(opened.error());
    QPointer<Editor> self(this);
    m_scheduler->schedule(0, [self] {
        if (self)
            self->setMode(EditorMode::read);
    });
}

void Editor::leaveEditMode()
{
    disconnect(m_editChangeWatch);
    m_editChangeWatch = {};
    m_editSessionPages.clear();
    m_editSessionStale = false;
    m_editSession.reset();
    setEditHover(std::nullopt);
    setEditSelection(std::nullopt);
}

void Editor::rememberEditSessionPages()
{
    m_editSessionPages.clear();
    m_editSessionStale = false;
    const pdf::DocumentPtr pdf = m_document ? m_document->pdf() : nullptr;
    if (!pdf)
        return;
    for (int i = 0; i < pdf->pageCount(); ++i)
        m_editSessionPages.push_back(pdf->page(i));
}

bool Editor::followDocumentChanges(int& pageIndex)
{
    if (!m_editSession)
        return false;
    if (!m_editSessionStale)
        return true;
    const pdf::DocumentPtr pdf = m_document ? m_document->pdf() : nullptr;
    const pdf::PagePtr page =
        pageIndex >= 0 && size_t(pageIndex) < m_editSessionPages.size() ? m_editSessionPages[size_t(pageIndex)] : nullptr;
    int now = -1;
    for (int i = 0; pdf && page && i < pdf->pageCount(); ++i)
        if (pdf->page(i) == page) {
            now = i;
            break;
        }
    // Reopen whatever happens: the session must not write its old copy of the document over the change.
    m_editSession.reset();
    setEditHover(std::nullopt);
    setEditSelection(std::nullopt);
    enterEditMode();
    if (now < 0) {
        showToast(QStringLiteral("That page is no longer in the document, so the change wasn\u2019t made."),
                  kWarningSymbol, Toast::Style::info);
        return false;
    }
    pageIndex = now;
    return m_editSession != nullptr;
}

std::optional<core::EditableTextBlock> Editor::refoundBlock(const core::EditableTextBlock& block, int pageIndex) const
{
    if (!m_editSession)
        return std::nullopt;
    const auto model = m_editSession->model(pageIndex);
    if (!model)
        return std::nullopt;
    for (const core::EditableTextBlock& candidate : model->blocks)
        if (candidate.id == block.id && candidate.bounds == block.bounds)
            return candidate;
    // A session opened afresh numbers its blocks anew: the same text in the same place is the same block.
    for (const core::EditableTextBlock& candidate : model->blocks)
        if (candidate.text == block.text && std::abs(candidate.bounds.left() - block.bounds.left()) < 0.5
            && std::abs(candidate.bounds.top() - block.bounds.top()) < 0.5
            && std::abs(candidate.bounds.width() - block.bounds.width()) < 0.5)
            return candidate;
    return std::nullopt;
}

std::optional<core::EditableImage> Editor::refoundImage(const core::EditableImage& image, int pageIndex) const
{
    if (!m_editSession)
        return std::nullopt;
    const auto model = m_editSession->model(pageIndex);
    if (!model)
        return std::nullopt;
    for (const core::EditableImage& candidate : model->images)
        if (candidate.id == image.id && candidate.bounds == image.bounds)
            return candidate;
    for (const core::EditableImage& candidate : model->images)
        if (candidate.pixelSize == image.pixelSize && std::abs(candidate.bounds.left() - image.bounds.left()) < 0.5
            && std::abs(candidate.bounds.top() - image.bounds.top()) < 0.5
            && std::abs(candidate.bounds.width() - image.bounds.width()) < 0.5)
            return candidate;
    return std::nullopt;
}

std::optional<EditTarget> Editor::editTargetAt(int pageIndex, QPointF point) const
{
    if (!m_editSession)
        return std::nullopt;
    const auto model = m_editSession->model(pageIndex);
    if (!model)
        return std::nullopt;
    // Text first, each block with a 2-point margin so the gaps between lines and letters still hit it.
    for (const core::EditableTextBlock& block : model->blocks)
        if (block.bounds.adjusted(-2, -2, 2, 2).contains(point))
            return EditTarget::text(block, pageIndex);
    // A scan is one big picture; picking it would only invite dragging the whole page around.
    if (model->looksScanned)
        return std::nullopt;
    for (auto it = model->images.crbegin(); it != model->images.crend(); ++it)
        if (it->bounds.contains(point))
            return EditTarget::picture(*it, pageIndex);
    return std::nullopt;
}

} // namespace vmk
