#include "app/AppDelegate.h"
#include "app/Appearance.h"
#include "platform/services/DesktopAnimations.h"

#include "app/Acknowledgements.h"
#include "app/AppDocument.h"
#include "app/AppDocumentController.h"
#include "app/DocumentWindowController.h"
#include "app/CombineView.h"
#include "app/AppIcon.h"
#include "app/LaunchTiming.h"
#include "app/MainMenu.h"
#include "app/Presenters.h"
#include "app/WelcomeView.h"

#include "platform/icons/SymbolIcons.h"
#include "platform/services/NotificationCenter.h"
#include "platform/services/PlainText.h"
#include "platform/services/Scheduler.h"
#include "platform/services/TempFiles.h"
#include "platform/services/UserDefaults.h"
#include "platform/services/WindowDialogs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace vmk::app {

namespace {

AppDelegate* g_delegate = nullptr;

const QSet<QString>& delegateCommands()
{
    static const QSet<QString> commands = {
        "showAbout:", "showWelcome:", "combinePDFs:", "openSupport:", "openPrivacy:", "showAcknowledgements:",
        "hide:", "unhideAllApplications:", "terminate:", "performMiniaturize:", "performZoom:", "arrangeInFront:",
        "toggleFullScreen:", "performClose:",
    };
    return commands;
}

const QUrl& supportUrl()
{
    static const QUrl url(QStringLiteral("https://vellumark.app/support"));
    return url;
}

const QUrl& privacyUrl()
{
    static const QUrl url(QStringLiteral("https://vellumark.app/privacy"));
    return url;
}

} // namespace

bool openWebPage(const QUrl& url, QWidget* parent, const std::function<bool(const QUrl&)>& open)
{
    if (open && open(url))
        return true;
    auto* box = new QMessageBox(QMessageBox::Information, QApplication::applicationName(),
                                QStringLiteral("No web browser could be opened."), QMessageBox::NoButton, parent);
    box->setInformativeText(QStringLiteral("The page is at %1").arg(url.toString()));
    platform::makePlain(*box);
    QPushButton* copy = box->addButton(QStringLiteral("Copy Address"), QMessageBox::ActionRole);
    box->setDefaultButton(box->addButton(QMessageBox::Ok));
    // Copying leaves the alert up, so the address can still be read.
    copy->disconnect();
    QObject::connect(copy, &QPushButton::clicked, box, [url] { QGuiApplication::clipboard()->setText(url.toString()); });
    if (parent)
        platform::belongToWindow(box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return false;
}

AppDelegate::AppDelegate(DocumentController* controller, QObject* parent)
    : QObject(parent), m_controller(controller)
{
    if (!g_delegate)
        g_delegate = this;
    CommandRouter::shared().addApplicationResponder(this);
    if (m_controller)
        m_controller->setWelcomeWindowPresence([this] { return isWelcomeWindowVisible(); },
                                               [this] {
                                                   if (m_welcomeWindow) {
                                                       m_welcomeWindow->raise();
                                                       m_welcomeWindow->activateWindow();
                                                   }
                                               });
}

AppDelegate::~AppDelegate()
{
    platform::NotificationCenter::defaultCenter().removeObserver(m_observer);
    CommandRouter::shared().removeApplicationResponder(this);
    if (m_controller)
        m_controller->setWelcomeWindowPresence({}, {});
    delete m_welcomeWindow.data();
    delete m_combineWindow.data();
    delete m_acknowledgementsWindow.data();
    if (g_delegate == this)
        g_delegate = nullptr;
}

AppDelegate* AppDelegate::shared()
{
    return g_delegate;
}

QString AppDelegate::appearanceFrom(const QString& value)
{
    if (value == QLatin1String("light") || value == QLatin1String("dark"))
        return value;
    return {};
}

void AppDelegate::applicationWillFinishLaunching()
{
    auto& defaults = platform::UserDefaults::standard();
    defaults.registerDefaults({{QStringLiteral("NSShowAppCentricOpenPanelInsteadOfUntitledFile"), false}});
    applyAppearance(appearanceFrom(defaults.string(QStringLiteral("VMKAppearance"))));
    // Follow the desktop's wish for fewer animations while the application runs.
    platform::DesktopAnimations::shared().start();
    QApplication::setWindowIcon(appIcon());
    platform::makeApplicationFoldersPrivate();
}

void AppDelegate::applicationDidFinishLaunching()
{
    QPointer<AppDelegate> self(this);
    m_observer = platform::NotificationCenter::defaultCenter().addObserver(
        platform::kDocumentsChangedNotification, nullptr,
        [self](const platform::Notification&) {
            if (self)
                self->closeWelcomeIfDocumentsOpen();
        },
        this);
}

void AppDelegate::launch(const QStringList& paths)
{
    QList<std::pair<QString, platform::DocumentError>> failures;
    for (const QString& path : paths) {
        const auto result = m_controller->openDocument(path, true);
        if (result.error && !result.error->isCancel())
            failures.append({path, *result.error});
    }
    if (m_controller->documents().empty()) {
        showWelcomeWindow();
        // The welcome window shows what could not be opened; it is on screen now.
        for (const auto& [path, error] : failures)
            m_controller->reportOpenFailure(path, error);
        return;
    }
    for (const auto& failure : failures)
        m_controller->presentError(failure.second);
}

QStringList AppDelegate::openHandedOver(const QStringList& paths)
{
    QList<std::pair<QString, platform::DocumentError>> failures;
    for (const QString& path : paths) {
        // Not sent to the welcome window one by one: a later file of the same hand-over that opens closes
        // it, and the failures would go with it unseen. They are reported below, once all are tried.
        const auto result = m_controller->platform::DocumentController::openDocument(path, true);
        if (result.error && !result.error->isCancel())
            failures.append({path, *result.error});
    }
    if (paths.isEmpty()) {
        QWidget* front = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->isWindow() && !w->isMinimized() && (!front || w->isActiveWindow()))
                front = w;
        if (front) {
            front->raise();
            front->activateWindow();
        } else {
            showWelcomeWindow();
        }
    }
    if (!failures.isEmpty()) {
        QPointer<AppDelegate> self(this);
        QTimer::singleShot(0, this, [self, failures] {
            if (!self)
                return;
            // As at launch: the welcome window shows them only when no document is open, for it closes
            // as soon as one is (it would take them along unseen).
            if (self->m_controller->documents().empty()) {
                self->showWelcomeWindow();
                for (const auto& [path, error] : failures)
                    self->m_controller->reportOpenFailure(path, error);
                return;
            }
            // On the newest document's window: the window active a moment ago may be the welcome window,
            // which is on its way out and would take the alert with it.
            QWidget* parent = nullptr;
            for (platform::Document* document : self->m_controller->documents())
                if (auto* window = static_cast<AppDocument*>(document)->windowController())
                    parent = window->window();
            for (const auto& failure : failures)
                alertPresenter().presentError(failure.second, parent);
        });
    }
    QStringList open;
    for (const platform::Document* document : m_controller->documents())
        if (!document->filePath().isEmpty())
            open << document->filePath();
    return open;
}

bool AppDelegate::handleReopen(bool hasVisibleWindows)
{
    if (!hasVisibleWindows)
        showWelcomeWindow();
    return true;
}

WelcomeView* AppDelegate::welcomeView() const
{
    return m_welcomeWindow ? m_welcomeWindow->findChild<WelcomeView*>() : nullptr;
}

bool AppDelegate::isWelcomeWindowVisible() const
{
    return m_welcomeWindow && m_welcomeWindow->isVisible() && !m_welcomeWindow->isMinimized();
}

// The welcome view for `window`, listing the recent documents as they are now.
static WelcomeView* makeWelcomeView(QWidget* window, QPointer<DocumentController> controller, QPointer<AppDelegate> self)
{
    WelcomeView::Actions actions;
    actions.openPanel = [controller, window] {
        if (controller)
            controller->runOpenPanel(window);
    };
    actions.open = [controller](const QString& path) {
        if (controller)
            controller->openPaths({path});
    };
    actions.combine = [self] {
        if (self)
            self->showCombineWindow();
    };
    return new WelcomeView(controller ? controller->recentDocumentPaths() : QStringList(), actions);
}

void AppDelegate::showWelcomeWindow()
{
    if (m_welcomeWindow) {
        // A closed welcome window comes back with today's recent documents, not those of its first showing.
        // What failed to open last is still shown.
        if (!m_welcomeWindow->isVisible()) {
            WelcomeView* earlier = m_welcomeWindow->findChild<WelcomeView*>();
            WelcomeView* fresh = makeWelcomeView(m_welcomeWindow, m_controller, this);
            if (earlier)
                fresh->continueFrom(*earlier);
            delete earlier;
            m_welcomeWindow->layout()->addWidget(fresh);
        }
        m_welcomeWindow->show();
        m_welcomeWindow->raise();
        m_welcomeWindow->activateWindow();
        return;
    }
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setObjectName(QStringLiteral("WelcomeWindow"));
    window->setWindowTitle(QStringLiteral("Welcome to Vellumark"));
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(makeWelcomeView(window, m_controller, this));
    // The menu's shortcuts work here too, though the window shows no menu bar of its own.
    QMenuBar* hidden = buildMainMenu(window);
    hidden->hide();
    window->addActions(commandActions(hidden));
    // One size: its columns are laid out for it.
    window->setFixedSize(760, 480);
    if (QScreen* screen = QApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - QPoint(380, 240));
    m_welcomeWindow = window;
    window->show();
    window->raise();
    window->activateWindow();
    platform::Scheduler::shared().schedule(0, [] { firstWindowMetric(QStringLiteral("welcome")); });
}

void AppDelegate::closeWelcomeIfDocumentsOpen()
{
    if (!m_controller || m_controller->documents().empty() || !m_welcomeWindow)
        return;
    QWidget* window = m_welcomeWindow;
    m_welcomeWindow = nullptr;
    window->close();
    window->deleteLater();
}

// A window for one of the delegate's own views, centred on the screen.
static QWidget* makeAuxiliaryWindow(const QString& name, const QString& title, QSize size)
{
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setObjectName(name);
    window->setWindowTitle(title);
    window->resize(size);
    if (QScreen* screen = QApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
    return window;
}

void AppDelegate::showCombineWindow()
{
    if (m_combineWindow) {
        m_combineWindow->show();
        m_combineWindow->raise();
        m_combineWindow->activateWindow();
        return;
    }
    QWidget* window = makeAuxiliaryWindow(QStringLiteral("CombineWindow"), QStringLiteral("Combine PDFs"), QSize(520, 460));
    window->setMinimumSize(420, 360);
    // Closing discards the window and its list; the next request starts afresh.
    window->setAttribute(Qt::WA_DeleteOnClose, true);
    QPointer<QWidget> weak(window);
    auto* view = new CombineView([weak] {
        if (weak)
            weak->close();
    });
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    QMenuBar* hidden = buildMainMenu(window);
    hidden->hide();
    window->addActions(commandActions(hidden));
    m_combineWindow = window;
    window->show();
    window->raise();
    window->activateWindow();
}

void AppDelegate::showAcknowledgements()
{
    if (!m_acknowledgementsWindow) {
        QWidget* window = makeAcknowledgementsWindow(acknowledgementsText(platform::applicationDataDirectory()));
        if (QScreen* screen = QApplication::primaryScreen())
            window->move(screen->availableGeometry().center() - QPoint(window->width() / 2, window->height() / 2));
        m_acknowledgementsWindow = window;
    }
    m_acknowledgementsWindow->show();
    m_acknowledgementsWindow->raise();
    m_acknowledgementsWindow->activateWindow();
}

void AppDelegate::showAbout()
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QStringLiteral("About Vellumark"));
    box.setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    box.setText(QStringLiteral("<b>Vellumark</b>"));
    box.setInformativeText(aboutCredits());
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool AppDelegate::respondsToCommand(const QString& action) const
{
    return delegateCommands().contains(action);
}

CommandValidation AppDelegate::validateCommand(const QString& action, int) const
{
    CommandValidation v;
    const bool hasWindow = QApplication::activeWindow() != nullptr;
    if (action == QLatin1String("performMiniaturize:") || action == QLatin1String("performZoom:")
        || action == QLatin1String("toggleFullScreen:") || action == QLatin1String("performClose:"))
        v.enabled = hasWindow;
    return v;
}

void AppDelegate::performCommand(const QString& action, int)
{
    QWidget* window = QApplication::activeWindow();
    if (action == QLatin1String("showWelcome:")) {
        showWelcomeWindow();
    } else if (action == QLatin1String("showAbout:")) {
        showAbout();
    } else if (action == QLatin1String("combinePDFs:")) {
        showCombineWindow();
    } else if (action == QLatin1String("showAcknowledgements:")) {
        showAcknowledgements();
    } else if (action == QLatin1String("openSupport:")) {
        openWebPage(supportUrl(), window, QDesktopServices::openUrl);
    } else if (action == QLatin1String("openPrivacy:")) {
        openWebPage(privacyUrl(), window, QDesktopServices::openUrl);
    } else if (action == QLatin1String("hide:")) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->isWindow())
                w->showMinimized();
    } else if (action == QLatin1String("unhideAllApplications:")) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isMinimized())
                w->showNormal();
    } else if (action == QLatin1String("arrangeInFront:")) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->isWindow())
                w->raise();
    } else if (action == QLatin1String("terminate:")) {
        if (!m_controller || m_controller->closeAllDocuments())
            QApplication::quit();
    } else if (window) {
        if (action == QLatin1String("performMiniaturize:"))
            window->showMinimized();
        else if (action == QLatin1String("performZoom:"))
            window->isMaximized() ? window->showNormal() : window->showMaximized();
        else if (action == QLatin1String("toggleFullScreen:"))
            window->isFullScreen() ? window->showNormal() : window->showFullScreen();
        else if (action == QLatin1String("performClose:"))
            window->close();
    }
}

} // namespace vmk::app
