#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace vmk::app {

// Fills the Open Recent submenu each time it is about to open: one entry per recent document (newest
// first, titled by file name), a separator when there was one, and "Clear Menu" last.
class RecentMenuDelegate : public QObject {
    Q_OBJECT
public:
    static RecentMenuDelegate& shared();

    // Where the recent documents come from and how one is opened; set by the document controller.
    void setSource(std::function<QStringList()> recentPaths, std::function<void(const QString&)> open);

    void menuNeedsUpdate(QMenu* menu);
    void openRecent(const QAction* item);

private:
    std::function<QStringList()> m_paths;
    std::function<void(const QString&)> m_open;
};

// The application's menu bar, built in code. Items carry their command (action selector and tag) and
// no target: triggering one goes through the CommandRouter, and the items are enabled and checked by
// the router's responders whenever a menu opens or the router asks for validation.
QMenuBar* buildMainMenu(QWidget* parent = nullptr);

// Ends the Window menu with one item per open window, by title, the active one checked; choosing one
// brings that window to the front. Run each time the menu opens.
void listOpenWindows(QMenu* menu);

// Enables and checks every command item under the widget (a menu bar or a menu) through the router.
void validateMenuItems(QWidget* menuOrBar);

// Every command item under a menu bar, depth first, in menu order (separators and submenu items left out).
QList<QAction*> commandActions(QMenuBar* bar);

} // namespace vmk::app
