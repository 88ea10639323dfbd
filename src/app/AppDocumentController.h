#pragma once

#include "app/Commands.h"

#include "editor/Editor.h"
#include "platform/doc/DocumentController.h"
#include "platform/pdf/document/PdfTypes.h"

#include <QStringList>

#include <functional>

namespace vmk::core {
class VMKDocument;
}

namespace vmk::app {

class DocumentWindowController;

// The application's document controller: announces every change of the open-document list as
// "Vellumark.documentsChanged", makes untitled documents from an in-memory PDF, opens lists of files
// for the application's own views, and routes open failures to the welcome window while it is visible
// (as "Vellumark.openFailed") or to one alert otherwise. A cancelled open says nothing.
class DocumentController : public platform::DocumentController, public CommandResponder, public UntitledDocumentMaker {
    Q_OBJECT
public:
    explicit DocumentController(platform::UserDefaults* defaults = nullptr, QObject* parent = nullptr);
    ~DocumentController() override;

    // The process's controller when it is this class.
    static DocumentController* sharedController();

    // Answers whether the welcome window is on screen, and brings it forward so a failure shown there is
    // seen even when document windows cover it.
    void setWelcomeWindowPresence(std::function<bool()> visible, std::function<void()> raise);

    // Opens through the machinery and routes the result: a failure goes to the welcome window (and comes
    // back as a cancel) while it is visible, otherwise it is returned for the caller to present.
    OpenResult openDocument(const QString& path, bool display = true) override;
    // Opens each file in turn; a failure that is not a cancel is reported by itself.
    void openPaths(const QStringList& paths);
    // Reports a failed open: in the welcome window while it is visible, otherwise as one alert.
    void reportOpenFailure(const QString& path, const platform::DocumentError& error);
    // The open panel; cancelling it does nothing.
    void runOpenPanel(QWidget* parent);

    // An untitled document holding pdf, shown at once and marked as edited.
    core::VMKDocument* makeDocument(const pdf::DocumentPtr& pdf, const QString& suggestedName);

    // An edited untitled document that closes: Save… / Don't Save / Cancel, asked over its window.
    UntitledChoice askToSaveUntitled(platform::Document* document) override;
    bool saveUntitled(platform::Document* document) override;
    // Where a save panel starts for a document without a file: the user's documents folder.
    static QString suggestedSavePath(const platform::Document* document);

    void addDocument(platform::Document* document) override;
    void removeDocument(platform::Document* document) override;
    void presentError(const platform::DocumentError& error) override;

    // UntitledDocumentMaker: makeDocument, answering the new window's editor.
    Editor* newDocument(const pdf::DocumentPtr& pdf, const QString& suggestedName) override;

    // CommandResponder: Open…, Clear Menu.
    bool respondsToCommand(const QString& action) const override;
    CommandValidation validateCommand(const QString& action, int tag) const override;
    void performCommand(const QString& action, int tag) override;

protected:
    std::unique_ptr<platform::Document> createDocument() override;

private:
    // The routing of a failed open: true when the welcome window took it.
    bool routeToWelcome(const QString& path, const platform::DocumentError& error);

    std::function<bool()> m_welcomeVisible;
    std::function<void()> m_raiseWelcome;
};

} // namespace vmk::app
