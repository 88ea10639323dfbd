#pragma once

#include "panels/ColorControls.h"
#include "platform/services/Scheduler.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <QColorDialog>
class QWindow;

namespace vmk::panels {

// The one link between the application's shared colour panel and the colour rows of every window. The
// panel's colours go to the pick of the row that opened it last, and follow the active window: when
// another window with a colour row comes to the front, its row takes over. A pick whose context (the
// Editor it acts on) is gone is forgotten, so a closed window's Editor is never reached. Colours are
// reported once the user settles on one, never while the pointer is still dragging through the panel.
class ColorPanelBridge : public QObject {
    Q_OBJECT
public:
    explicit ColorPanelBridge(platform::Scheduler* scheduler = nullptr, QObject* parent = nullptr);
    ~ColorPanelBridge() override;

    // Sends later panel colours to `pick` (dropping the previous one), shows the panel at `current`
    // without an opacity control, and brings it to the front.
    void openColorPanel(const QColor& current, ColorPick pick, QObject* context);
    // The panel's report of a chosen colour: runs the pick when there is one.
    void changed(const QColor& color);
    // A window came to the front: a colour row in it takes over the panel.
    void windowActivated(QWindow* window);
    // Rows register so that the panel can follow their window.
    void track(SwatchRow* row);

    bool hasTarget() const { return bool(m_onChange); }
    QObject* targetContext() const { return m_context; }
    // Null until the panel was first opened.
    QColorDialog* panel() const { return m_panel; }
    // How long the panel's colour must stay put before it is reported.
    static constexpr double kSettleSeconds = 0.3;

private:
    void setTarget(ColorPick pick, QObject* context);
    void panelColorMoved(const QColor& color);
    QColorDialog* ensurePanel();

    ColorPick m_onChange;
    QPointer<QObject> m_context;
    QMetaObject::Connection m_contextGone;
    QList<QPointer<SwatchRow>> m_rows;
    QPointer<QColorDialog> m_panel;
    platform::Debouncer m_settle;
};

// The process's bridge, made on first use and kept for the life of the process.
ColorPanelBridge& sharedColorPanelBridge();

} // namespace vmk::panels
