#include "panels/ColorPanelBridge.h"

#include <QApplication>
#include <QColorDialog>
#include <QGuiApplication>
#include <QWindow>

namespace vmk::panels {

ColorPanelBridge::ColorPanelBridge(platform::Scheduler* scheduler, QObject* parent)
    : QObject(parent), m_settle(kSettleSeconds, scheduler)
{
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::focusWindowChanged, this, [this](QWindow* w) { windowActivated(w); });
}

ColorPanelBridge::~ColorPanelBridge()
{
    if (m_panel)
        delete m_panel.data();
}

void ColorPanelBridge::setTarget(ColorPick pick, QObject* context)
{
    disconnect(m_contextGone);
    m_onChange = std::move(pick);
    m_context = context;
    if (context) {
        m_contextGone = connect(context, &QObject::destroyed, this, [this] {
            m_onChange = {};
            m_settle.cancel();
        });
    }
}

QColorDialog* ColorPanelBridge::ensurePanel()
{
    if (!m_panel) {
        auto* panel = new QColorDialog;
        panel->setWindowTitle(tr("Colors"));
        panel->setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
        connect(panel, &QColorDialog::currentColorChanged, this, [this](const QColor& c) { panelColorMoved(c); });
        m_panel = panel;
    }
    return m_panel;
}

void ColorPanelBridge::openColorPanel(const QColor& current, ColorPick pick, QObject* context)
{
    setTarget(std::move(pick), context);
    QColorDialog* panel = ensurePanel();
    panel->setOption(QColorDialog::ShowAlphaChannel, false);
    {
        // Showing the colour we start from is not a choice of the user's.
        const QSignalBlocker quiet(panel);
        panel->setCurrentColor(current);
    }
    m_settle.cancel();
    panel->show();
    panel->raise();
}

void ColorPanelBridge::panelColorMoved(const QColor& color)
{
    m_settle.trigger([this, color] {
        // Still dragging through the colours: wait for the pointer to let go.
        if (QGuiApplication::mouseButtons() != Qt::NoButton) {
            panelColorMoved(color);
            return;
        }
        changed(color);
    });
}

void ColorPanelBridge::changed(const QColor& color)
{
    // A pick whose context has gone was dropped when it went.
    if (!m_onChange)
        return;
    const ColorPick pick = m_onChange; // the pick may replace the target while it runs
    pick(color);
}

void ColorPanelBridge::windowActivated(QWindow* window)
{
    if (!window || (m_panel && m_panel->windowHandle() == window))
        return;
    for (auto it = m_rows.crbegin(); it != m_rows.crend(); ++it) {
        SwatchRow* row = *it;
        if (!row || !row->context())
            continue;
        QWidget* top = row->window();
        if (top && top->windowHandle() == window) {
            setTarget(row->pick(), row->context());
            return;
        }
    }
}

void ColorPanelBridge::track(SwatchRow* row)
{
    m_rows.removeAll(nullptr);
    m_rows.append(row);
}

ColorPanelBridge& sharedColorPanelBridge()
{
    // Never released: colour rows of any window may reach it until the process ends.
    static auto* bridge = new ColorPanelBridge;
    return *bridge;
}

} // namespace vmk::panels
