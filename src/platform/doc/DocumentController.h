#pragma once

#include "platform/doc/Document.h"
#include "platform/doc/DocumentError.h"
#include "platform/doc/RecentDocuments.h"

#include <QObject>
#include <QStringList>

#include <memory>
#include <vector>

namespace vmk::platform {

class UserDefaults;

// Keeps the open documents (one per file), opens files into them, makes untitled documents, keeps the
// recent documents and presents errors. The application shell subclasses it to supply the concrete
// document class and its own error presentation. Owns its documents.
class DocumentController : public QObject {
    Q_OBJECT
public:
    struct OpenResult {
        Document* document = nullptr;   // null on failure
        bool alreadyOpen = false;
        MaybeError error;
    };

    // defaults: where the recent documents are kept (the standard defaults when null).
    explicit DocumentController(UserDefaults* defaults = nullptr, QObject* parent = nullptr);
    ~DocumentController() override;

    // The first controller made in the process, while it lives.
    static DocumentController* shared();

    const std::vector<Document*>& documents() const { return m_documents; }
    // The open document whose file is path (compared as canonical paths), or null.
    Document* documentForPath(const QString& path) const;

    // Opens path: an already open file just shows its windows (brought forward) and comes back with
    // alreadyOpen; otherwise a new document reads it and, on success, is added, noted as recent and, when
    // display is true, makes and shows its windows. Failures are returned, not presented.
    virtual OpenResult openDocument(const QString& path, bool display = true);
    // Opens each path in turn; each failure other than a cancel is presented by itself.
    void open(const QStringList& paths);
    // A new untitled document, added, with its windows made and shown.
    virtual Document* makeUntitledDocument(bool display = true);

    // Adds / removes a document; both emit documentsChanged after the list changed.
    virtual void addDocument(Document* document);
    virtual void removeDocument(Document* document);

    // Closes a document (autosaving it first); a failed autosave is presented and the document stays.
    // An edited untitled document has no file to go to: the shell is asked (askToSaveUntitled).
    bool closeDocument(Document* document);
    // Closes every document, as when quitting, asking for each untitled one; stops at the first that
    // stays open (a cancel), and answers whether all closed.
    bool closeAllDocuments();

    enum class UntitledChoice { Save, DontSave, Cancel, KeepInAutosaveFolder };
    // What to do with an edited untitled document that is closing. The default keeps it in the autosave
    // folder (nothing is lost where nobody can be asked); the application asks the user.
    virtual UntitledChoice askToSaveUntitled(Document* document);
    // Saves an untitled document to a place the user chooses; false when cancelled or failed (presented).
    virtual bool saveUntitled(Document* document);

    RecentDocuments& recentDocuments() { return *m_recent; }
    QStringList recentDocumentPaths() const { return m_recent->paths(); }
    void noteNewRecentDocument(const QString& path) { m_recent->note(path); }
    void clearRecentDocuments() { m_recent->clear(); }

    // Shows an error to the user; the default writes it to the log. Never called for a cancel.
    virtual void presentError(const DocumentError& error);

signals:
    void documentsChanged();

protected:
    // Makes an empty document of the application's class; the controller takes ownership.
    virtual std::unique_ptr<Document> createDocument() = 0;

private:
    void adopt(Document* document);

    std::vector<Document*> m_documents;
    std::unique_ptr<RecentDocuments> m_recent;
    int m_nextUntitledNumber = 1;
};

} // namespace vmk::platform
