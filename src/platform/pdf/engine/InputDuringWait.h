#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QWindow>

#include <functional>

class QEvent;

namespace vmk::pdf::detail {

// The user's input while the main thread waits for work inside a nested event loop. Installed for the
// loop's life, it sees every event the window system delivers before any window does:
//  - Esc, a window's close (its title bar, Ctrl+W) and Quit call the wait off through `cancel`; the close
//    and the Quit are carried out once the wait is over, through the application's own paths (which ask
//    about unsaved changes as ever);
//  - a wheel turned over a scrolling view's page area or a scroll bar scrolls, which changes nothing;
//  - other key and button presses, wheel turns and drops are refused: they never reach a window, the
//    pointer shows the wait, and a hint near it says how to stop;
//  - releases are held and handed to their windows once the wait is over, so that a press made before the
//    wait never stays down; pointer moves are dropped (the next one says where the pointer is).
// Only the window system's events are taken: what the program sends itself goes through untouched.
class InputDuringWait : public QObject {
public:
    explicit InputDuringWait(std::function<void()> cancel);
    ~InputDuringWait() override;

    // The words of the hint shown for refused input.
    static QString hintText();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool onKeyPress(QObject* watched, QEvent* event);
    void hold(QObject* receiver, QEvent* event);
    void refuse();
    void callOff();

    std::function<void()> m_cancel;
    bool m_cancelled = false;
    QList<QPointer<QWindow>> m_closing;
    QList<QKeySequence> m_commands;
    QList<QPair<QPointer<QObject>, QEvent*>> m_held;
    QSet<int> m_refusedKeys;
    Qt::MouseButtons m_refusedButtons;
};

} // namespace vmk::pdf::detail
