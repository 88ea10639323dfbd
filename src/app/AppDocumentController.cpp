#include "app/AppDocumentController.h"

#include "app/AppDocument.h"
#include "app/DocumentQuestions.h"
#include "app/DocumentWindowController.h"
#include "app/MainMenu.h"
#include "app/Presenters.h"

#include "platform/services/NotificationCenter.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vmk::app {

DocumentController::DocumentController(platform::UserDefaults* defaults, QObject* parent)
    : platform::DocumentController(defaults, parent)
{
    CommandRouter::shared().addApplicationResponder(this);
    Editor::setDocumentMaker(this);
    RecentMenuDelegate::shared().setSource([this] { return recentDocumentPaths(); },
                                           [this](const QString& path) { openPaths({path}); });
    connect(&recentDocuments(), &platform::RecentDocuments::changed, this, [] { CommandRouter::shared().invalidate(); });
    // Before a save writes over a file another program changed, the user decides.
    platform::Document::setDiskChangeResolver([](platform::Document* document) {
        auto* window = static_cast<AppDocument*>(document)->windowController();
        QWidget* parent = window ? window->window() : QApplication::activeWindow();
        if (window)
            window->showWindow();
        switch (documentQuestions().askAboutDiskChange(document->displayName(),
                                                       QFileInfo(document->pathForOurCopy()).fileName(), parent)) {
        case DocumentQuestions::DiskChangeAnswer::KeepOursAsCopy:
            return platform::DiskChangeChoice::KeepOursAsCopy;
        case DocumentQuestions::DiskChangeAnswer::ReloadTheirs:
            return platform::DiskChangeChoice::ReloadTheirs;
        case DocumentQuestions::DiskChangeAnswer::Cancel:
            break;
        }
        return platform::DiskChangeChoice::Cancel;
    });
}

DocumentController::~DocumentController()
{
    CommandRouter::shared().removeApplicationResponder(this);
    if (Editor::documentMaker() == this)
        Editor::setDocumentMaker(nullptr);
    RecentMenuDelegate::shared().setSource({}, {});
    platform::Document::setDiskChangeResolver({});
}

DocumentController* DocumentController::sharedController()
{
    return dynamic_cast<DocumentController*>(platform::DocumentController::shared());
}

void DocumentController::setWelcomeWindowPresence(std::function<bool()> visible, std::function<void()> raise)
{
    m_welcomeVisible = std::move(visible);
    m_raiseWelcome = std::move(raise);
}

std::unique_ptr<platform::Document> DocumentController::createDocument()
{
    return std::make_unique<AppDocument>();
}

bool DocumentController::routeToWelcome(const QString& path, const platform::DocumentError& error)
{
    if (!m_welcomeVisible || !m_welcomeVisible())
        return false;
    QVariantMap info;
    info[QStringLiteral("name")] = QFileInfo(path).fileName();
    info[QStringLiteral("message")] = error.suggestionOrMessage();
    platform::NotificationCenter::defaultCenter().post(platform::kOpenFailedNotification, nullptr, info);
    // The welcome window may sit behind document windows: bring it forward so the failure is seen.
    if (m_raiseWelcome)
        m_raiseWelcome();
    return true;
}

platform::DocumentController::OpenResult DocumentController::openDocument(const QString& path, bool display)
{
    OpenResult result = platform::DocumentController::openDocument(path, display);
    if (!result.error || result.error->isCancel())
        return result;
    if (routeToWelcome(path, *result.error))
        return {nullptr, false, platform::DocumentError::cancelled()};
    return result;
}

void DocumentController::openPaths(const QStringList& paths)
{
    for (const QString& path : paths) {
        const OpenResult result = openDocument(path, true);
        if (result.error && !result.error->isCancel())
            presentError(*result.error);
    }
}

void DocumentController::reportOpenFailure(const QString& path, const platform::DocumentError& error)
{
    if (error.isCancel() || routeToWelcome(path, error))
        return;
    presentError(error);
}

void DocumentController::runOpenPanel(QWidget* parent)
{
    if (const auto paths = openPanel().choosePdfFiles(parent))
        openPaths(*paths);
}

core::VMKDocument* DocumentController::makeDocument(const pdf::DocumentPtr& pdf, const QString& suggestedName)
{
    auto owned = createDocument();
    auto* document = static_cast<AppDocument*>(owned.release());
    document->setPdf(pdf);
    document->setSuggestedName(suggestedName);
    addDocument(document);
    document->makeWindowControllers();
    document->showWindows();
    document->updateChangeCount(platform::ChangeType::Done);
    return document;
}

Editor* DocumentController::newDocument(const pdf::DocumentPtr& pdf, const QString& suggestedName)
{
    auto* document = static_cast<AppDocument*>(makeDocument(pdf, suggestedName));
    return document->windowController() ? document->windowController()->editor() : nullptr;
}

QString DocumentController::suggestedSavePath(const platform::Document* document)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QString name = document->displayName();
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    return QDir(folder).filePath(name + QStringLiteral(".pdf"));
}

platform::DocumentController::UntitledChoice DocumentController::askToSaveUntitled(platform::Document* document)
{
    auto* window = static_cast<AppDocument*>(document)->windowController();
    // Quitting asks for each document: the one asked about comes to the front.
    if (window)
        window->showWindow();
    switch (documentQuestions().askToSave(document->displayName(), window ? window->window() : nullptr)) {
    case DocumentQuestions::SaveAnswer::Save:
        return UntitledChoice::Save;
    case DocumentQuestions::SaveAnswer::DontSave:
        return UntitledChoice::DontSave;
    case DocumentQuestions::SaveAnswer::Cancel:
        break;
    }
    return UntitledChoice::Cancel;
}

bool DocumentController::saveUntitled(platform::Document* document)
{
    auto* window = static_cast<AppDocument*>(document)->windowController();
    const auto path = documentQuestions().chooseSavePath(suggestedSavePath(document), window ? window->window() : nullptr);
    if (!path)
        return false;
    if (const platform::MaybeError error = document->saveToPath(*path, platform::SaveOperation::SaveAs)) {
        presentError(*error);
        return false;
    }
    return true;
}

void DocumentController::addDocument(platform::Document* document)
{
    const auto before = documents().size();
    platform::DocumentController::addDocument(document);
    if (documents().size() != before)
        platform::NotificationCenter::defaultCenter().post(platform::kDocumentsChangedNotification, this);
}

void DocumentController::removeDocument(platform::Document* document)
{
    const auto before = documents().size();
    platform::DocumentController::removeDocument(document);
    if (documents().size() != before)
        platform::NotificationCenter::defaultCenter().post(platform::kDocumentsChangedNotification, this);
}

void DocumentController::presentError(const platform::DocumentError& error)
{
    if (error.isCancel())
        return;
    alertPresenter().presentError(error, QApplication::activeWindow());
}

bool DocumentController::respondsToCommand(const QString& action) const
{
    return action == QLatin1String("openDocument:") || action == QLatin1String("clearRecentDocuments:");
}

CommandValidation DocumentController::validateCommand(const QString& action, int) const
{
    CommandValidation v;
    if (action == QLatin1String("clearRecentDocuments:"))
        v.enabled = !const_cast<DocumentController*>(this)->recentDocumentPaths().isEmpty();
    return v;
}

void DocumentController::performCommand(const QString& action, int)
{
    if (action == QLatin1String("openDocument:"))
        runOpenPanel(QApplication::activeWindow());
    else if (action == QLatin1String("clearRecentDocuments:"))
        clearRecentDocuments();
}

} // namespace vmk::app
