#include "platform/doc/DocumentController.h"

#include "platform/services/Logger.h"
#include "platform/services/UserDefaults.h"

#include <QFileInfo>

#include <algorithm>

namespace vmk::platform {

namespace {
DocumentController* g_shared = nullptr;

QString canonicalOrAbsolute(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}
} // namespace

DocumentController::DocumentController(UserDefaults* defaults, QObject* parent)
    : QObject(parent), m_recent(std::make_unique<RecentDocuments>(defaults ? *defaults : UserDefaults::standard()))
{
    if (!g_shared)
        g_shared = this;
}

DocumentController::~DocumentController()
{
    if (g_shared == this)
        g_shared = nullptr;
    // Documents are our children and go with us; their window controllers go with them.
}

DocumentController* DocumentController::shared() { return g_shared; }

Document* DocumentController::documentForPath(const QString& path) const
{
    if (path.isEmpty())
        return nullptr;
    const QString wanted = canonicalOrAbsolute(path);
    for (Document* document : m_documents) {
        if (!document->filePath().isEmpty() && canonicalOrAbsolute(document->filePath()) == wanted)
            return document;
    }
    return nullptr;
}

DocumentController::OpenResult DocumentController::openDocument(const QString& path, bool display)
{
    if (Document* existing = documentForPath(path)) {
        if (display)
            existing->showWindows();
        return {existing, true, std::nullopt};
    }

    std::unique_ptr<Document> document = createDocument();
    if (!document) {
        return {nullptr, false,
                DocumentError{DocumentError::FileReadUnknown,
                              tr("The file “%1” couldn’t be opened.").arg(QFileInfo(path).fileName()), {}}};
    }
    if (MaybeError error = document->openFile(path))
        return {nullptr, false, error};

    Document* opened = document.release();
    addDocument(opened);
    m_recent->note(opened->filePath());
    if (display) {
        opened->makeWindowControllers();
        opened->showWindows();
    }
    return {opened, false, std::nullopt};
}

void DocumentController::open(const QStringList& paths)
{
    for (const QString& path : paths) {
        const OpenResult result = openDocument(path, true);
        if (result.error && !result.error->isCancel())
            presentError(*result.error);
    }
}

Document* DocumentController::makeUntitledDocument(bool display)
{
    std::unique_ptr<Document> document = createDocument();
    if (!document)
        return nullptr;
    Document* created = document.release();
    created->setUntitledNumber(m_nextUntitledNumber++);
    addDocument(created);
    if (display) {
        created->makeWindowControllers();
        created->showWindows();
    }
    return created;
}

void DocumentController::adopt(Document* document)
{
    document->setParent(this);
    // A Save As gives an untitled document a file, which then belongs among the recent documents.
    connect(document, &Document::saveFinished, this, [this, document](SaveOperation op, bool ok) {
        if (ok && op == SaveOperation::SaveAs)
            m_recent->note(document->filePath());
    });
}

void DocumentController::addDocument(Document* document)
{
    if (!document || std::find(m_documents.begin(), m_documents.end(), document) != m_documents.end())
        return;
    adopt(document);
    m_documents.push_back(document);
    emit documentsChanged();
}

void DocumentController::removeDocument(Document* document)
{
    auto it = std::find(m_documents.begin(), m_documents.end(), document);
    if (it == m_documents.end())
        return;
    m_documents.erase(it);
    disconnect(document, nullptr, this, nullptr);
    // Later, not now: the removal may be running inside the document's own window code.
    document->deleteLater();
    emit documentsChanged();
}

DocumentController::UntitledChoice DocumentController::askToSaveUntitled(Document*)
{
    return UntitledChoice::KeepInAutosaveFolder;
}

bool DocumentController::saveUntitled(Document*)
{
    return false;
}

bool DocumentController::closeDocument(Document* document)
{
    if (!document)
        return true;
    if (document->isUntitled() && document->isEdited()) {
        switch (askToSaveUntitled(document)) {
        case UntitledChoice::Save:
            if (!saveUntitled(document))
                return false;
            break;
        case UntitledChoice::DontSave:
            document->closeDiscardingChanges();
            removeDocument(document);
            return true;
        case UntitledChoice::Cancel:
            return false;
        case UntitledChoice::KeepInAutosaveFolder:
            break;
        }
    }
    if (MaybeError error = document->close()) {
        if (!error->isCancel())
            presentError(*error);
        return false;
    }
    removeDocument(document);
    return true;
}

bool DocumentController::closeAllDocuments()
{
    const std::vector<Document*> documents = m_documents;
    for (Document* document : documents) {
        // A document the user keeps open keeps the application running: quitting stops here.
        if (!closeDocument(document))
            return false;
    }
    return true;
}

void DocumentController::presentError(const DocumentError& error)
{
    Logger::shared().log(QStringLiteral("document"),
                         QStringLiteral("error code=%1 message=\"%2\"").arg(error.code).arg(error.message));
}

} // namespace vmk::platform
