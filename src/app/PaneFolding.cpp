#include "app/PaneFolding.h"

#include <QEvent>
#include <QSplitter>

namespace vmk::app {

PaneFolding::PaneFolding(QSplitter* split, QWidget* sidebar, QWidget* content, QWidget* inspector,
                         std::function<void(QWidget*, bool)> show, QObject* parent)
    : QObject(parent), m_split(split), m_sidebar(sidebar), m_content(content), m_inspector(inspector), m_show(std::move(show))
{
    if (split)
        split->installEventFilter(this);
}

bool PaneFolding::isFolded(const QWidget* pane) const
{
    return m_folded.contains(const_cast<QWidget*>(pane));
}

void PaneFolding::userChanged(QWidget* pane, bool shown)
{
    m_folded.removeAll(pane);
    if (shown)
        fit(pane);
}

int PaneFolding::needed() const
{
    const int handle = m_split ? m_split->handleWidth() : 0;
    int width = m_content ? m_content->minimumWidth() : 0;
    for (const QWidget* pane : {m_sidebar.data(), m_inspector.data()})
        if (pane && !pane->isHidden())
            width += pane->minimumWidth() + handle;
    return width;
}

void PaneFolding::setShown(QWidget* pane, bool shown)
{
    m_busy = true;
    if (m_show)
        m_show(pane, shown);
    else
        pane->setVisible(shown);
    m_busy = false;
}

void PaneFolding::fit(QWidget* keep)
{
    if (!m_split || !m_split->isVisible() || m_split->width() <= 0)
        return;
    const int width = m_split->width();
    // The inspector goes first, the sidebar next, the pane the user just opened last.
    QList<QWidget*> order{m_inspector.data(), m_sidebar.data()};
    if (keep && order.removeAll(keep))
        order << keep;
    for (QWidget* pane : order) {
        if (needed() <= width)
            break;
        if (pane && !pane->isHidden()) {
            setShown(pane, false);
            m_folded << pane;
        }
    }
    // Room again: the last folded comes back first.
    const int handle = m_split->handleWidth();
    while (!m_folded.isEmpty()) {
        QWidget* pane = m_folded.last();
        if (!pane || needed() + pane->minimumWidth() + handle > width)
            break;
        m_folded.removeLast();
        setShown(pane, true);
    }
}

bool PaneFolding::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_split && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        fit();
    return QObject::eventFilter(watched, event);
}

} // namespace vmk::app
