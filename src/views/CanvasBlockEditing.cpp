// The page canvas's block text editor: a text view laid over a paragraph of the page in Edit mode.

#include "views/PDFCanvasView.h"

#include "editor/Editor.h"
#include "platform/pdf/document/Document.h"
#include "views/BackgroundSampling.h"
#include "views/BlockTextEditor.h"
#include "views/TurnedEditorHost.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace vmk::views {

namespace {

// Where the block editor goes: how far the page's text is turned on screen (clockwise, in quarter turns),
// the view point where the block's first line begins, and the editor's upright size, each 3 px out from
// the block.
struct Placement {
    int degrees = 0;
    QPointF anchor;
    QSizeF size;
};

Placement placementOf(const pdfview::PDFView& view, const QRectF& bounds, int page)
{
    // Page space runs upward: the first line begins at the block's left, highest edge.
    const QPointF origin = view.convertPointFromPage(QPointF(bounds.left(), bounds.bottom()), page);
    const QPointF along = view.convertPointFromPage(QPointF(bounds.right(), bounds.bottom()), page) - origin;
    const QPointF down = view.convertPointFromPage(QPointF(bounds.left(), bounds.top()), page) - origin;
    Placement p;
    p.degrees = (int(std::lround(std::atan2(along.y(), along.x()) * 2 / M_PI)) % 4 + 4) % 4 * 90;
    const double length = std::hypot(along.x(), along.y()), depth = std::hypot(down.x(), down.y());
    const QPointF unitAlong = length > 0 ? along / length : QPointF(1, 0);
    const QPointF unitDown = depth > 0 ? down / depth : QPointF(-unitAlong.y(), unitAlong.x());
    p.anchor = origin - 3 * unitAlong - 3 * unitDown;
    p.size = QSizeF(length + 6, depth + 6);
    return p;
}

} // namespace

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
    const Placement place = placementOf(*this, block.bounds, pageIndex);
    // White until the page's own colour is known: sampling draws the page, on a worker.
    auto* view = new BlockTextEditor(block, scale, Qt::white, accent, place.degrees ? nullptr : viewport());
    if (!m_backgroundSampler)
        m_backgroundSampler = new BackgroundSampler(this);
    m_backgroundSampler->request(doc->page(pageIndex), block.bounds, [view = QPointer<BlockTextEditor>(view)](const QColor& colour) {
        if (view)
            view->setBackground(colour);
    });
    const QFontMetricsF metrics(view->font());
    const double height = std::max(place.size.height(), metrics.ascent() + metrics.descent() + 6);
    QWidget* frame = view;
    if (place.degrees == 0) {
        view->setGeometry(QRectF(place.anchor, QSizeF(place.size.width(), height)).toAlignedRect());
    } else {
        view->setGeometry(QRectF(QPointF(), QSizeF(place.size.width(), height)).toAlignedRect());
        auto* host = new TurnedEditorHost(view, place.degrees, viewport());
        host->placeAt(place.anchor);
        frame = host;
    }

    connect(view, &BlockTextEditor::commitRequested, this, [this] {
        endBlockSession(true);
        setFocus(Qt::OtherFocusReason);
    });
    connect(view, &BlockTextEditor::cancelRequested, this, [this] {
        endBlockSession(false);
        setFocus(Qt::OtherFocusReason);
    });
    connect(view, &BlockTextEditor::editingEnded, this, [this] { endBlockSession(true); });

    m_blockSession = BlockSession{block, pageIndex, view, view->isSingleLine(), frame};
    frame->show();
    if (auto* host = qobject_cast<TurnedEditorHost*>(frame))
        host->focusEditor();
    else
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
    const QPointF anchor = placementOf(*this, m_blockSession->block.bounds, m_blockSession->page).anchor;
    // The editor's first line stays on the block's; its size stays what typing made it.
    if (auto* host = qobject_cast<TurnedEditorHost*>(m_blockSession->frame.data()))
        host->placeAt(anchor);
    else
        m_blockSession->view->move(anchor.toPoint());
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
    // The host turning the editor goes with it (the editor was its scene's).
    if (session.frame && session.frame != session.view) {
        session.frame->hide();
        session.frame->deleteLater();
    }
    redrawOverlay();
    if (commit && session.view) {
        if (Editor* e = editor())
            e->commitTextEdit(session.block, session.page, text);
    }
}

} // namespace vmk::views
