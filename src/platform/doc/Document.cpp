#include "platform/doc/Document.h"

#include "platform/doc/KeptOriginals.h"
#include "platform/doc/SafeSave.h"
#include "platform/pdf/engine/Wait.h"
#include "platform/services/Logger.h"
#include "platform/services/RegularFile.h"
#include "platform/services/TempFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <memory>
#include <sys/stat.h>

namespace vmk::platform {

namespace {
QString g_autosaveFolder;
Document::DiskChangeResolver g_diskChangeResolver;

DocumentError readError(const QString& path, const RegularFileRead& read)
{
    const QString name = QFileInfo(path).fileName();
    if (read.kind != FileKind::regular && read.kind != FileKind::missing)
        return {DocumentError::FileReadUnknown, notRegularFileMessage(name, read.kind), notRegularFileSuggestion(read.kind)};
    if (read.error == ENOENT || read.error == ENOTDIR) {
        return {DocumentError::FileReadNoSuchFile,
                Document::tr("The file “%1” couldn’t be opened because there is no such file.").arg(name), {}};
    }
    if (read.error == EACCES || read.error == EPERM) {
        return {DocumentError::FileReadNoPermission,
                Document::tr("The file “%1” couldn’t be opened because you don’t have permission to view it.")
                    .arg(name),
                {}};
    }
    return {DocumentError::FileReadUnknown, Document::tr("The file “%1” couldn’t be opened.").arg(name), {}};
}
} // namespace

FileStamp fileStampOf(const QString& path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, quint64(st.st_ino),
            quint64(st.st_dev)};
}

Document::Document(QObject* parent) : QObject(parent), m_undoManager(std::make_unique<UndoManager>())
{
    connectUndoManager();
}

Document::~Document()
{
    // Window controllers go first: they may still refer to the document while they tear down.
    m_windowControllers.clear();
}

void Document::connectUndoManager()
{
    if (!m_undoManager)
        return;
    connect(m_undoManager.get(), &UndoManager::changeRecorded, this, [this](UndoManager::Change change) {
        switch (change) {
        case UndoManager::Change::Done:
            updateChangeCount(ChangeType::Done);
            break;
        case UndoManager::Change::Undone:
            updateChangeCount(ChangeType::Undone);
            break;
        case UndoManager::Change::Redone:
            updateChangeCount(ChangeType::Redone);
            break;
        }
    });
}

void Document::setHasUndoManager(bool has)
{
    if (has == bool(m_undoManager))
        return;
    if (has) {
        m_undoManager = std::make_unique<UndoManager>();
        connectUndoManager();
    } else {
        m_undoManager.reset();
    }
}

// --- File and name ---------------------------------------------------------------------------------------

void Document::setFilePath(const QString& path)
{
    const QString absolute = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    if (absolute == m_filePath)
        return;
    const QString oldName = displayName();
    m_filePath = absolute;
    emit fileChanged(m_filePath);
    if (displayName() != oldName)
        emit displayNameChanged(displayName());
}

QString Document::displayName() const
{
    if (!m_displayName.isEmpty())
        return m_displayName;
    if (!m_filePath.isEmpty())
        return QFileInfo(m_filePath).fileName();
    return m_untitledNumber <= 1 ? tr("Untitled") : tr("Untitled %1").arg(m_untitledNumber);
}

void Document::setDisplayName(const QString& name)
{
    const QString oldName = displayName();
    m_displayName = name;
    if (displayName() != oldName)
        emit displayNameChanged(displayName());
}

void Document::setUntitledNumber(int number)
{
    const QString oldName = displayName();
    m_untitledNumber = number;
    if (displayName() != oldName)
        emit displayNameChanged(displayName());
}

// --- Edited state ----------------------------------------------------------------------------------------

void Document::updateChangeCount(ChangeType change)
{
    switch (change) {
    case ChangeType::Done:
    case ChangeType::Redone:
        setChangeCount(m_changeCount + 1);
        break;
    case ChangeType::Undone:
        setChangeCount(m_changeCount - 1);
        break;
    case ChangeType::Cleared:
        setChangeCount(0);
        break;
    }
}

void Document::setChangeCount(int count)
{
    const bool wasEdited = isEdited();
    m_changeCount = count;
    if (wasEdited != isEdited())
        emit editedChanged(isEdited());
}

// --- Reading ---------------------------------------------------------------------------------------------

MaybeError Document::openFile(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (MaybeError error = readFromFile(absolute))
        return error;
    // What a save of this file that was killed halfway left beside it.
    removeStaleSaveFiles(absolute);
    m_autosavedCopyPath.clear();
    setFilePath(absolute);
    m_stamp = fileStampOf(absolute);
    m_originalKept = false;
    updateChangeCount(ChangeType::Cleared);
    return std::nullopt;
}

MaybeError Document::revertToSaved()
{
    if (m_filePath.isEmpty()) {
        return DocumentError{DocumentError::FileReadNoSuchFile,
                             tr("The document “%1” has no saved version to revert to.").arg(displayName()), {}};
    }
    if (MaybeError error = readFromFile(m_filePath))
        return error;
    m_stamp = fileStampOf(m_filePath);
    // The history no longer matches the content.
    if (m_undoManager)
        m_undoManager->removeAllActions();
    updateChangeCount(ChangeType::Cleared);
    didRevert();
    emit reverted();
    return std::nullopt;
}

QStringList Document::keptOriginalPaths() const
{
    QStringList out;
    if (m_filePath.isEmpty())
        return out;
    for (const KeptOriginals::Version& version : KeptOriginals::versionsOf(m_filePath))
        out << version.keptPath;
    return out;
}

MaybeError Document::revertToKeptOriginal(const QString& keptPath)
{
    if (MaybeError error = readFromFile(keptPath))
        return error;
    if (m_undoManager)
        m_undoManager->removeAllActions();
    // The file on disk still holds the later version until the next save writes this one over it.
    setChangeCount(1);
    didRevert();
    emit reverted();
    return std::nullopt;
}

bool Document::hasChangedOnDisk() const
{
    if (m_filePath.isEmpty() || !m_stamp.exists())
        return false;
    const FileStamp now = fileStampOf(m_filePath);
    // A file that is gone is not overwritten by writing it again.
    return now.exists() && now != m_stamp;
}

void Document::setDiskChangeResolver(DiskChangeResolver resolver) { g_diskChangeResolver = std::move(resolver); }

QString Document::pathForOurCopy() const
{
    const QFileInfo info(m_filePath);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? defaultFileExtension() : info.suffix();
    QString candidate = info.dir().filePath(QStringLiteral("%1 (edited).%2").arg(base, suffix));
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = info.dir().filePath(QStringLiteral("%1 (edited %2).%3").arg(base).arg(n).arg(suffix));
    return candidate;
}

MaybeError Document::resolveDiskChange()
{
    const DiskChangeChoice choice = g_diskChangeResolver ? g_diskChangeResolver(this) : DiskChangeChoice::KeepOursAsCopy;
    Logger::shared().log(QStringLiteral("document"),
                         QStringLiteral("file changed on disk, choice=%1 file=%2").arg(int(choice)).arg(m_filePath));
    switch (choice) {
    case DiskChangeChoice::KeepOursAsCopy:
        // Ours goes to a new file, which the document follows; theirs stays as they wrote it.
        return saveToPath(pathForOurCopy(), SaveOperation::SaveAs);
    case DiskChangeChoice::ReloadTheirs:
        return revertToSaved();
    case DiskChangeChoice::Cancel:
        break;
    }
    return DocumentError::cancelled();
}

MaybeError Document::moveFile(const QString& newPath)
{
    if (m_filePath.isEmpty()) {
        return DocumentError{DocumentError::FileWriteUnknown,
                             tr("The document “%1” has no file yet.").arg(displayName()), tr("Save it first.")};
    }
    const QString target = QFileInfo(newPath).absoluteFilePath();
    if (target == m_filePath)
        return std::nullopt;
    const QString name = QFileInfo(target).fileName();
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
        return DocumentError{DocumentError::FileWriteUnknown,
                             tr("The name “%1” is already taken.").arg(name), tr("Choose a different name.")};
    }
    // rename() refuses to cross file systems; a copy that is complete before the original goes then.
    if (!QFile::rename(m_filePath, target)) {
        if (!QFile::copy(m_filePath, target) || fileStampOf(target).size != fileStampOf(m_filePath).size
            || !QFile::remove(m_filePath)) {
            if (QFileInfo::exists(m_filePath))
                QFile::remove(target);
            return DocumentError{DocumentError::FileWriteNoPermission,
                                 tr("The file “%1” couldn’t be moved to “%2”.").arg(displayName(), name),
                                 tr("Check that you may write to that folder.")};
        }
    }
    KeptOriginals::followMove(m_filePath, target);
    setFilePath(target);
    m_stamp = fileStampOf(target);
    return std::nullopt;
}

MaybeError Document::readFromFile(const QString& path)
{
    // On a worker while the windows keep answering: a file on a stalled network disk holds up nobody,
    // and the user may give up on it (the read then ends on its own and frees what it read).
    auto read = std::make_shared<RegularFileRead>();
    const pdf::WaitOutcome outcome = pdf::waitWhileAnswering([path, read] { *read = readRegularFile(path); },
                                                             pdf::OnCancel::Abandon);
    if (outcome == pdf::WaitOutcome::Cancelled)
        return DocumentError::cancelled();
    if (!read->ok())
        return readError(path, *read);
    const QByteArray data = std::move(read->data);
    return readFromData(data, path);
}

MaybeError Document::readFromData(const QByteArray& data, const QString& path)
{
    Q_UNUSED(data);
    return DocumentError{DocumentError::FileReadCorruptFile,
                         tr("The file “%1” couldn’t be opened.").arg(QFileInfo(path).fileName()), {}};
}

// --- Writing ---------------------------------------------------------------------------------------------

MaybeError Document::writeToFile(const QString& path, SaveOperation op)
{
    MaybeError error;
    const QByteArray data = dataForSave(op, &error);
    if (error)
        return error;
    return writeBytesToFile(path, data);
}

QByteArray Document::dataForSave(SaveOperation op, MaybeError* error)
{
    Q_UNUSED(op);
    if (error) {
        *error = DocumentError{DocumentError::FileWriteUnknown,
                               tr("The document “%1” couldn’t be saved.").arg(displayName()), {}};
    }
    return {};
}

MaybeError Document::verifyWrittenFile(const QString& path, SaveOperation op)
{
    Q_UNUSED(path);
    Q_UNUSED(op);
    return std::nullopt;
}

MaybeError Document::prepareSave(SaveOperation op, PreparedSave* save)
{
    save->write = [this, op](const QString& temporary) { return writeToFile(temporary, op); };
    save->verify = [this, op](const QString& temporary) { return verifyWrittenFile(temporary, op); };
    save->offMainThread = false;
    return std::nullopt;
}

MaybeError Document::stillSavingError() const
{
    return DocumentError{DocumentError::FileWriteUnknown, tr("“%1” is still being saved.").arg(displayName()),
                         tr("Try again when the save has finished.")};
}

MaybeError Document::writeSafely(const QString& target, SaveOperation op, int* changesWritten,
                                 bool* changedMeanwhile)
{
    PreparedSave prepared;
    SafeSaveSteps steps;
    if (changedMeanwhile) {
        // Writing and checking the copy takes a while: the file is looked at again the moment before the
        // copy replaces it. Only stat() runs here, possibly on the save's worker.
        *changedMeanwhile = false;
        const QString path = m_filePath;
        const FileStamp stamp = m_stamp;
        steps.beforeReplace = [path, stamp, changedMeanwhile]() -> MaybeError {
            const FileStamp now = fileStampOf(path);
            if (!stamp.exists() || !now.exists() || now == stamp)
                return std::nullopt;
            *changedMeanwhile = true;
            return DocumentError::cancelled();
        };
    }
    steps.prepare = [&]() -> MaybeError {
        MaybeError error = prepareSave(op, &prepared);
        // Preparing may have committed typing in progress: that is part of what is written.
        *changesWritten = m_changeCount;
        if (!error && !prepared.write) {
            error = DocumentError{DocumentError::FileWriteUnknown,
                                  tr("The document “%1” couldn’t be saved.").arg(displayName()), {}};
        }
        return error;
    };
    steps.write = [&](const QString& temporary) { return prepared.write(temporary); };
    steps.verify = [&](const QString& temporary) -> MaybeError {
        // The copy is written: reading it back runs to its end even when the wait was called off (a window
        // closed, the application ending), or a whole copy would be thrown away as bad.
        const pdf::IgnoringCancel whole;
        return prepared.verify ? prepared.verify(temporary) : std::nullopt;
    };
    steps.run = [&](const std::function<void()>& rest) {
        // Called off or not, the save runs to its end: its outcome is what rest() found. Its worker may
        // hand the main thread slices of the work from the start.
        if (prepared.offMainThread)
            pdf::waitWhileAnswering(rest, pdf::OnCancel::Finish, 0);
        else
            rest();
    };
    m_saving = true;
    const MaybeError error = safeSaveFile(target, steps);
    m_saving = false;
    if (!error && prepared.saved)
        prepared.saved();
    return error;
}

MaybeError Document::save(SaveOperation op)
{
    if (m_filePath.isEmpty()) {
        emit saveFinished(op, false);
        return DocumentError{DocumentError::FileWriteUnknown,
                             tr("The document “%1” has no file to save to.").arg(displayName()),
                             tr("Choose a location with Save As.")};
    }
    return saveToPath(m_filePath, op);
}

MaybeError Document::saveToPath(const QString& path, SaveOperation op)
{
    if (m_saving) {
        emit saveFinished(op, false);
        return stillSavingError();
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const bool forgetting = leavesNoEarlierVersions();
    const bool overOwnFile = !m_filePath.isEmpty() && absolute == m_filePath && op != SaveOperation::SaveTo;
    if (overOwnFile) {
        // Never write over what another program put there without asking.
        if (hasChangedOnDisk())
            return resolveDiskChange();
        // The file as opened stays within reach after changes land in it, unless what lands must leave
        // nothing earlier behind.
        if (!m_originalKept && !forgetting && QFileInfo::exists(m_filePath)) {
            if (!KeptOriginals::keep(m_filePath))
                Logger::shared().log(QStringLiteral("document"), QStringLiteral("could not keep the original of %1").arg(m_filePath));
            m_originalKept = true;
        }
    }
    int changesWritten = 0;
    bool changedMeanwhile = false;
    const MaybeError error = writeSafely(absolute, op, &changesWritten, overOwnFile ? &changedMeanwhile : nullptr);
    // Another program wrote the file while ours was being written: nothing was replaced, and the user
    // decides as above.
    if (changedMeanwhile)
        return resolveDiskChange();
    if (error) {
        Logger::shared().log(QStringLiteral("document"),
                             QStringLiteral("save failed code=%1 file=%2").arg(error->code).arg(absolute));
        emit saveFinished(op, false);
        return error;
    }

    m_earlierVersionsRemoved = forgetting ? KeptOriginals::forget(absolute) : 0;
    if (op == SaveOperation::SaveAs) {
        // A file of our own making from now on: nothing of anyone's to keep before writing it again.
        if (absolute != m_filePath)
            m_originalKept = true;
        setFilePath(absolute);
    }
    if (op != SaveOperation::SaveTo)
        m_stamp = fileStampOf(m_filePath);
    // A copy elsewhere leaves the document's own file, and so its edited state, as it was. Changes made
    // while the copy was written are not in it: they keep the document edited.
    if (op != SaveOperation::SaveTo)
        setChangeCount(m_changeCount - changesWritten);
    didSave(op);
    emit saveFinished(op, true);
    return std::nullopt;
}

QString Document::untitledAutosaveFolder()
{
    if (!g_autosaveFolder.isEmpty())
        return g_autosaveFolder;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("Autosave"));
}

void Document::setUntitledAutosaveFolder(const QString& folder) { g_autosaveFolder = folder; }

MaybeError Document::autosave()
{
    if (!isEdited())
        return std::nullopt;
    if (m_saving) {
        emit saveFinished(SaveOperation::Autosave, false);
        return stillSavingError();
    }
    if (!m_filePath.isEmpty())
        return saveToPath(m_filePath, SaveOperation::Autosave);

    // An untitled document has nowhere of its own to go: keep its work in the autosave folder under a
    // name that doesn't clash, reusing the same copy on later autosaves.
    if (m_autosavedCopyPath.isEmpty()) {
        const QString folder = untitledAutosaveFolder();
        if (!makePrivateFolder(folder)) {
            return DocumentError{DocumentError::FileWriteNoPermission,
                                 tr("The document “%1” couldn’t be autosaved.").arg(displayName()),
                                 tr("Save it with Save As.")};
        }
        QString base = displayName();
        base.replace(QLatin1Char('/'), QLatin1Char('-'));
        const QString extension = defaultFileExtension();
        QString candidate = QDir(folder).filePath(base + QLatin1Char('.') + extension);
        for (int n = 2; QFileInfo::exists(candidate); ++n)
            candidate = QDir(folder).filePath(QStringLiteral("%1 %2.%3").arg(base).arg(n).arg(extension));
        m_autosavedCopyPath = candidate;
    }
    int changesWritten = 0;
    if (MaybeError error = writeSafely(m_autosavedCopyPath, SaveOperation::Autosave, &changesWritten)) {
        emit saveFinished(SaveOperation::Autosave, false);
        return error;
    }
    makeFilePrivate(m_autosavedCopyPath);
    // The document stays untitled and edited: the copy is a safety net, not a place the user chose.
    emit saveFinished(SaveOperation::Autosave, true);
    return std::nullopt;
}

// --- Windows and closing ---------------------------------------------------------------------------------

void Document::addWindowController(std::unique_ptr<WindowController> controller)
{
    if (controller)
        m_windowControllers.push_back(std::move(controller));
}

std::vector<WindowController*> Document::windowControllers() const
{
    std::vector<WindowController*> out;
    out.reserve(m_windowControllers.size());
    for (const auto& c : m_windowControllers)
        out.push_back(c.get());
    return out;
}

WindowController* Document::firstWindowController() const
{
    return m_windowControllers.empty() ? nullptr : m_windowControllers.front().get();
}

void Document::showWindows()
{
    for (const auto& c : m_windowControllers)
        c->showWindow();
}

MaybeError Document::close()
{
    if (m_closed)
        return std::nullopt;
    if (MaybeError error = autosave())
        return error;
    closeDiscardingChanges();
    return std::nullopt;
}

void Document::closeDiscardingChanges()
{
    if (m_closed)
        return;
    m_closed = true;
    for (const auto& c : m_windowControllers)
        c->closeWindow();
    emit closed();
}

} // namespace vmk::platform
