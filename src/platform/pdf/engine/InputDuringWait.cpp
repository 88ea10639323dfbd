#include "platform/pdf/engine/InputDuringWait.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolTip>
#include <QWidget>

namespace vmk::pdf::detail {

namespace {

// The platform's keys for closing a window or quitting, and Linux's own whatever the platform's scheme.
bool isStandard(const QKeySequence& pressed, QKeySequence::StandardKey key)
{
    const QKeySequence linux = key == QKeySequence::Quit ? QKeySequence(Qt::CTRL | Qt::Key_Q)
                                                          : QKeySequence(Qt::CTRL | Qt::Key_W);
    return pressed == linux || QKeySequence::keyBindings(key).contains(pressed);
}

// A window the user closes as a document or a dialog; tooltips and popups close themselves.
bool closedByUser(QWindow* window)
{
    return window->type() == Qt::Window || window->type() == Qt::Dialog;
}

bool hasWidgets()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

// A window the user asked to close, closed as its title bar's button would: a window of widgets through its
// widget, which asks about unsaved changes and may refuse.
void closeWindow(QWindow* window)
{
    if (hasWidgets()) {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->windowHandle() == window) {
                widget->close();
                return;
            }
        }
    }
    window->close();
}

// The application's command bound to these keys, run as the keys would have run it with no wait going on.
void runCommand(const QKeySequence& keys)
{
    if (!hasWidgets())
        return;
    for (QWidget* widget : QApplication::allWidgets()) {
        for (QAction* action : widget->actions()) {
            if (action->isEnabled() && action->shortcuts().contains(keys)) {
                action->trigger();
                return;
            }
        }
    }
}

} // namespace

InputDuringWait::InputDuringWait(std::function<void()> cancel) : m_cancel(std::move(cancel))
{
    QCoreApplication::instance()->installEventFilter(this);
    if (hasWidgets())
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

InputDuringWait::~InputDuringWait()
{
    QCoreApplication::instance()->removeEventFilter(this);
    if (hasWidgets()) {
        QGuiApplication::restoreOverrideCursor();
        QToolTip::hideText();
    }
    // All of it comes after the wait's caller has taken the work's result: these are queued, in order.
    for (const auto& [receiver, event] : std::as_const(m_held)) {
        if (receiver)
            QCoreApplication::postEvent(receiver, event);
        else
            delete event;
    }
    QObject* app = QCoreApplication::instance();
    for (const QPointer<QWindow>& window : std::as_const(m_closing)) {
        QMetaObject::invokeMethod(app, [window] {
            if (window)
                closeWindow(window);
        }, Qt::QueuedConnection);
    }
    for (const QKeySequence& keys : std::as_const(m_commands))
        QMetaObject::invokeMethod(app, [keys] { runCommand(keys); }, Qt::QueuedConnection);
}

QString InputDuringWait::hintText()
{
    return QStringLiteral("Still working \u2014 press Esc to stop.");
}

namespace {

// A wheel turned over a scrolling view's page area or a scroll bar moves what is shown and changes nothing,
// so the user may look through a document while it is being saved; over anything else (a field, a value
// that the wheel steps) it is refused like any other input.
bool onlyScrolls(QObject* watched, const QWheelEvent* wheel)
{
    QWidget* target = qobject_cast<QWidget*>(watched);
    if (!target && qobject_cast<QWindow*>(watched))
        target = QApplication::widgetAt(wheel->globalPosition().toPoint());
    if (!target)
        return false;
    if (qobject_cast<QScrollBar*>(target))
        return true;
    const auto* area = qobject_cast<QAbstractScrollArea*>(target->parentWidget());
    return area && area->viewport() == target;
}

} // namespace

bool InputDuringWait::eventFilter(QObject* watched, QEvent* event)
{
    if (!event->spontaneous())
        return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claimed, so that the keys come here as a key press and run no command in the middle of the wait.
        event->accept();
        return true;
    case QEvent::KeyPress:
        return onKeyPress(watched, event);
    case QEvent::KeyRelease: {
        // The release of a refused press goes with it; one of a press made before the wait is held.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat() && !m_refusedKeys.remove(key->key()))
            hold(watched, event);
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        m_refusedButtons |= static_cast<QMouseEvent*>(event)->button();
        refuse();
        return true;
    case QEvent::MouseButtonRelease: {
        const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
        if (m_refusedButtons & button)
            m_refusedButtons &= ~button;
        else
            hold(watched, event);
        return true;
    }
    case QEvent::Wheel:
        if (onlyScrolls(watched, static_cast<QWheelEvent*>(event)))
            return false;
        refuse();
        event->ignore();
        return true;
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
    case QEvent::Drop:
        refuse();
        event->ignore();
        return true;
    case QEvent::MouseMove:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
        // Not taken: a drag shows that nothing here accepts it.
        event->ignore();
        return true;
    case QEvent::Close:
        if (auto* window = qobject_cast<QWindow*>(watched); window && closedByUser(window)) {
            if (!m_closing.contains(window))
                m_closing.append(window);
            event->ignore();
            callOff();
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool InputDuringWait::onKeyPress(QObject* watched, QEvent* event)
{
    const auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(key->keyCombination());
    if (key->key() == Qt::Key_Escape) {
        callOff();
    } else if (isStandard(pressed, QKeySequence::Close)) {
        QWindow* window = qobject_cast<QWindow*>(watched);
        if (!window)
            window = QGuiApplication::focusWindow();
        if (window && !m_closing.contains(window))
            m_closing.append(window);
        callOff();
    } else if (isStandard(pressed, QKeySequence::Quit)) {
        if (!m_commands.contains(pressed))
            m_commands.append(pressed);
        callOff();
    } else {
        m_refusedKeys.insert(key->key());
        refuse();
    }
    return true;
}

void InputDuringWait::hold(QObject* receiver, QEvent* event)
{
    m_held.append({QPointer<QObject>(receiver), event->clone()});
}

void InputDuringWait::refuse()
{
    if (hasWidgets())
        QToolTip::showText(QCursor::pos(), hintText());
}

void InputDuringWait::callOff()
{
    if (m_cancelled)
        return;
    m_cancelled = true;
    m_cancel();
}

} // namespace vmk::pdf::detail
