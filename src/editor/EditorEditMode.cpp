// Edit mode: the edit session's lifetime and the hit test that finds the text block or picture under a point.

#include "editor/Editor.h"

#include "core/VMKDocument.h"
#include "core/pdfium/PDFEditSession.h"
#include "platform/pdf/Document.h"
#include "platform/services/Logger.h"

namespace vmk {

namespace {

const QString kWarningSymbol = QStringLiteral("exclamationmark.triangle.fill");

core::PDFiumResult<std::shared_ptr<core::PDFEditSession>> openRealSession(const QByteArray& bytes)
{
    auto opened = core::PDFEditSession::open(bytes);
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
            opened = m_editSessionOpener ? m_editSessionOpener(data.value()) : openRealSession(data.value());
    }
    if (opened) {
        m_editSession = opened.value();
        return;
    }
    signpost.end();
    m_editSession.reset();
    showEditError(opened.error());
    QPointer<Editor> self(this);
    m_scheduler->schedule(0, [self] {
        if (self)
            self->setMode(EditorMode::read);
    });
}

void Editor::leaveEditMode()
{
    m_editSession.reset();
    setEditHover(std::nullopt);
    setEditSelection(std::nullopt);
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
