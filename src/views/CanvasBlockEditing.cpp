// The page canvas's block text editor: a text view laid over a paragraph of the page in Edit mode.

#include "views/PDFCanvasView.h"

#include "editor/Editor.h"
#include "platform/pdf/document/Document.h"
#include "views/BackgroundSampling.h"
#include "views/BlockTextEditor.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace vmk::views {

void PDFCanvasView::beginBlockEditing(const core::EditableTextBlock& block, int pageIndex)
{
    const pdf::DocumentPtr doc = PDFView::document();
    if (!editor() || !doc || pageIndex < 0 || pageIndex >= doc->pageCount())
        return;
    endBlockSession(true);
    if (!editor() || !PDFView::document())
        return;
    const double scale = PDFView::scaleFactor();
    const QColor accent = palette().color(QPalette::Highlight);
    // White until the page's own colour is known: sampling draws the page, on a worker.
    auto* view = new BlockTextEditor(block, scale, Qt::white, accent, viewport());
    if (!m_backgroundSampler)
        m_backgroundSampler = new BackgroundSampler(this);
    m_backgroundSampler->request(doc->page(pageIndex), block.bounds, [view = QPointer<BlockTextEditor>(view)](const QColor& colour) {
        if (view)
            view->setBackground(colour);
    });
    const QRectF r = m_editMode.toView(block.bounds, pageIndex).adjusted(-3, -3, 3, 3);
    const QFontMetricsF metrics(view->font());
    const double height = std::max(r.height(), metrics.ascent() + metrics.descent() + 6);
    view->setGeometry(QRectF(r.left(), r.top(), r.width(), height).toAlignedRect());

    connect(view, &BlockTextEditor::commitRequested, this, [this] {
        endBlockSession(true);
        setFocus(Qt::OtherFocusReason);
    });
    connect(view, &BlockTextEditor::cancelRequested, this, [this] {
        endBlockSession(false);
        setFocus(Qt::OtherFocusReason);
    });
    connect(view, &BlockTextEditor::editingEnded, this, [this] { endBlockSession(true); });

    m_blockSession = BlockSession{block, pageIndex, view, view->isSingleLine()};
    view->show();
    view->setFocus(Qt::OtherFocusReason);
    fitBlockTextView();
    redrawOverlay();
}

void PDFCanvasView::fitBlockTextView()
{
    if (m_blockSession && m_blockSession->view)
        m_blockSession->view->fitToText();
}

void PDFCanvasView::positionBlockTextView()
{
    if (!m_blockSession || !m_blockSession->view || !editor())
        return;
    const pdf::DocumentPtr doc = PDFView::document();
    if (!doc || m_blockSession->page >= doc->pageCount())
        return;
    const QRectF r = m_editMode.toView(m_blockSession->block.bounds, m_blockSession->page).adjusted(-3, -3, 3, 3);
    BlockTextEditor* view = m_blockSession->view;
    // The editor's top stays on the block's top; its size stays what typing made it.
    view->move(QPointF(r.left(), r.top()).toPoint());
}

void PDFCanvasView::endBlockSession(bool commit)
{
    if (!m_blockSession)
        return;
    // Cleared first: removing the view takes its focus away, which would end the session a second time.
    const BlockSession session = *m_blockSession;
    m_blockSession.reset();
    QString text;
    if (BlockTextEditor* view = session.view) {
        text = view->toPlainText();
        view->disconnect(this);
        view->hide();
        view->deleteLater();
    }
    redrawOverlay();
    if (commit && session.view) {
        if (Editor* e = editor())
            e->commitTextEdit(session.block, session.page, text);
    }
}

} // namespace vmk::views
