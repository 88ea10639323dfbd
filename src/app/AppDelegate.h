#pragma once

#include "app/Commands.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <functional>

class QWidget;

namespace vmk::app {

class DocumentController;
class WelcomeView;

// Opens a web page in the desktop's browser through `open`. When no browser starts, an alert over
// `parent` (the active window) says so and gives the address, with a button that copies it.
bool openWebPage(const QUrl& url, QWidget* parent, const std::function<bool(const QUrl&)>& open);

// The application's delegate: sets the appearance, shows the welcome window in place of an untitled
// document, closes it once a document is open, and answers the application-level commands. On this
// desktop the process ends when its last window closes, unless something holds it running (a
// QEventLoopLocker), so no invisible process is left behind.
class AppDelegate : public QObject, public CommandResponder {
    Q_OBJECT
public:
    explicit AppDelegate(DocumentController* controller, QObject* parent = nullptr);
    ~AppDelegate() override;

    static AppDelegate* shared();

    // Before anything shows: the appearance from "VMKAppearance" and the registered defaults.
    void applicationWillFinishLaunching();
    // Observes "Vellumark.documentsChanged".
    void applicationDidFinishLaunching();
    // Opens the files named at launch; with none opened, the welcome window shows (and shows the
    // failures of the files that did not open).
    void launch(const QStringList& paths);
    // Files another launch handed over: opened (or brought forward when open already); without files,
    // the frontmost window comes forward. Answers the files now open. Failures are shown afterwards, so
    // the launch that handed them over is answered at once.
    QStringList openHandedOver(const QStringList& paths);
    // The application was activated again: the welcome window comes back when nothing is visible.
    bool handleReopen(bool hasVisibleWindows);

    QWidget* welcomeWindow() const { return m_welcomeWindow; }
    WelcomeView* welcomeView() const;
    bool isWelcomeWindowVisible() const;
    void showWelcomeWindow();
    void closeWelcomeIfDocumentsOpen();

    // The combine window while it is open; closing it discards it and its list.
    QWidget* combineWindow() const { return m_combineWindow; }
    void showCombineWindow();
    // Built on first use and kept for the life of the process.
    QWidget* acknowledgementsWindow() const { return m_acknowledgementsWindow; }
    void showAcknowledgements();
    void showAbout();

    // CommandResponder: About, Welcome, Help and the window commands.
    bool respondsToCommand(const QString& action) const override;
    CommandValidation validateCommand(const QString& action, int tag) const override;
    void performCommand(const QString& action, int tag) override;

    // "light" or "dark" picks that palette; anything else follows the desktop.
    static QString appearanceFrom(const QString& value);

private:
    DocumentController* m_controller;
    QPointer<QWidget> m_welcomeWindow;
    QPointer<QWidget> m_combineWindow;
    QPointer<QWidget> m_acknowledgementsWindow;
    quint64 m_observer = 0;
};

} // namespace vmk::app
