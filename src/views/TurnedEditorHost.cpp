#include "views/TurnedEditorHost.h"

#include "views/BlockTextEditor.h"

#include <QGraphicsProxyWidget>
#include <QGraphicsScene>

namespace vmk::views {

TurnedEditorHost::TurnedEditorHost(BlockTextEditor* editor, int degrees, QWidget* parent)
    : QGraphicsView(parent)
    , m_editor(editor)
    , m_degrees(degrees)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    // Only the turned editor shows: the page stays visible in the corners the turned box leaves.
    setStyleSheet(QStringLiteral("QGraphicsView { background: transparent; border: none; }"));
    viewport()->setAutoFillBackground(false);
    setBackgroundBrush(Qt::NoBrush);
    setFocusPolicy(Qt::StrongFocus);

    auto* scene = new QGraphicsScene(this);
    setScene(scene);
    m_proxy = scene->addWidget(editor);
    m_proxy->setPos(0, 0);
    m_proxy->setRotation(degrees);
    // Typing grows the editor (never turned itself); the host follows so that the whole box shows.
    connect(m_proxy, &QGraphicsWidget::geometryChanged, this, &TurnedEditorHost::refit);
    refit();
}

void TurnedEditorHost::placeAt(QPointF anchor)
{
    m_anchor = anchor;
    refit();
}

void TurnedEditorHost::focusEditor()
{
    setFocus(Qt::OtherFocusReason);
    if (m_editor)
        m_editor->setFocus(Qt::OtherFocusReason);
}

void TurnedEditorHost::refit()
{
    if (!m_proxy)
        return;
    // The turned box in scene space, its origin being where the first line begins.
    const QRectF turned = m_proxy->sceneTransform().mapRect(m_proxy->rect());
    const QRect frame = turned.translated(m_anchor).toAlignedRect();
    setSceneRect(QRectF(frame).translated(-m_anchor));
    setGeometry(frame);
}

} // namespace vmk::views
