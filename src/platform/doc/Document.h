#pragma once

#include "platform/doc/DocumentError.h"
#include "platform/doc/UndoManager.h"
#include "platform/doc/WindowController.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace vmk::platform {

// How a save was started. Only Save and SaveAs are the user's own saves (the ones that earn a "Saved."
// toast); SaveTo writes a copy and leaves the document's file alone; Autosave writes in place.
enum class SaveOperation { Save = 0, SaveAs = 1, SaveTo = 2, Autosave = 3 };
inline bool isUserSave(SaveOperation op) { return op == SaveOperation::Save || op == SaveOperation::SaveAs; }

enum class ChangeType { Done, Undone, Redone, Cleared };

// Which file is on disk: another program that rewrites or replaces it changes at least one of these.
struct FileStamp {
    qint64 size = -1;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    bool exists() const { return size >= 0; }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
FileStamp fileStampOf(const QString& path);

// What to do when the document's file changed on disk since we read it and we are about to write it.
enum class DiskChangeChoice {
    KeepOursAsCopy, // write ours next to it as a new file, which the document then follows
    ReloadTheirs,   // drop our changes and read the file as it is now
    Cancel,         // write nothing
};

// One open file (or new untitled document): its file path, display name and edited state, reading from a
// file, safe saving, autosave in place, revert, and its window controllers. Subclasses supply the reading
// and writing of their content; everything here runs on the main thread.
class Document : public QObject {
    Q_OBJECT
public:
    explicit Document(QObject* parent = nullptr);
    ~Document() override;

    // --- File and name -------------------------------------------------------------------------------
    QString filePath() const { return m_filePath; }      // absolute; empty while untitled
    void setFilePath(const QString& path);
    bool isUntitled() const { return m_filePath.isEmpty(); }
    // The file's name; an explicitly set name; or "Untitled" / "Untitled 2" while untitled.
    virtual QString displayName() const;
    void setDisplayName(const QString& name);
    // Set by the document controller when it makes an untitled document (1 shows as "Untitled").
    void setUntitledNumber(int number);

    // --- Edited state ----------------------------------------------------------------------------------
    // The change count rises with each change done or redone and falls with each undone; saving in place
    // resets it, so undoing past a save marks the document edited again.
    bool isEdited() const { return m_changeCount != 0; }
    int changeCount() const { return m_changeCount; }
    void updateChangeCount(ChangeType change);

    // The document's undo manager; null after setHasUndoManager(false).
    UndoManager* undoManager() const { return m_undoManager.get(); }
    void setHasUndoManager(bool has);

    // --- Reading ---------------------------------------------------------------------------------------
    // Reads the file and, on success, adopts it as the document's file with a clean change count.
    MaybeError openFile(const QString& path);
    // Re-reads the document's file, dropping unsaved changes and the undo history; fields stay as they
    // were on failure. Calls didRevert() after a successful read.
    MaybeError revertToSaved();

    // --- The file as it was opened -------------------------------------------------------------------
    // Before the first write over the file as opened, it is kept (see KeptOriginals); these are the kept
    // copies of this document's file, newest first.
    QStringList keptOriginalPaths() const;
    // Takes the content of a kept copy: the undo history goes, and the document is edited (the next save
    // writes that content over the file).
    MaybeError revertToKeptOriginal(const QString& keptPath);

    // --- The file on disk ----------------------------------------------------------------------------
    // Whether another program changed or replaced the file since we last read or wrote it.
    bool hasChangedOnDisk() const;
    // Asked before a write over a file that changed on disk; the default keeps ours as a copy, so
    // nothing is lost when nobody can be asked.
    using DiskChangeResolver = std::function<DiskChangeChoice(Document*)>;
    static void setDiskChangeResolver(DiskChangeResolver resolver);
    // Where "keep ours as a copy" writes: "<name> (edited).pdf" next to the file, numbered when taken.
    QString pathForOurCopy() const;
    // Renames or moves the document's file (the window stays with it). Fails for an untitled document or
    // when something is already at newPath.
    MaybeError moveFile(const QString& newPath);

    // --- Writing ---------------------------------------------------------------------------------------
    // Safe-saves to the document's own file (Save, Autosave) or to path (SaveAs, which then adopts path;
    // SaveTo, which doesn't). A Save of an untitled document fails with FileWriteUnknown: the shell asks
    // for a path first and calls SaveAs.
    MaybeError save(SaveOperation op = SaveOperation::Save);
    MaybeError saveToPath(const QString& path, SaveOperation op);
    // Saves an edited document in place. An edited untitled document is written into the autosave folder
    // (see untitledAutosaveFolder()) so closing it never loses work; its path is then autosavedCopyPath().
    MaybeError autosave();
    MaybeError autosaveInPlace() { return autosave(); }
    QString autosavedCopyPath() const { return m_autosavedCopyPath; }
    // Where edited untitled documents go when closed; tests may point it elsewhere.
    static QString untitledAutosaveFolder();
    static void setUntitledAutosaveFolder(const QString& folder);
    // File name extension used for autosaved untitled copies.
    virtual QString defaultFileExtension() const { return QStringLiteral("pdf"); }
    // How many kept earlier versions of its file the last successful save removed (see
    // leavesNoEarlierVersions()).
    int earlierVersionsRemoved() const { return m_earlierVersionsRemoved; }
    // True while a save is writing and checking its copy. Another save meanwhile is refused with an error.
    bool isSaving() const { return m_saving; }

    // What a save writes, made ready on the main thread by prepareSave(). write fills the temporary file and
    // verify (optional) checks it; with offMainThread both run on a worker while the windows keep painting
    // and answering (see pdf::waitWhileAnswering: nothing the user does can change the document meanwhile),
    // and then they must not touch the document. saved (optional) runs on the main thread once the copy is
    // in place.
    struct PreparedSave {
        std::function<MaybeError(const QString& temporaryPath)> write;
        std::function<MaybeError(const QString& temporaryPath)> verify;
        std::function<void()> saved;
        bool offMainThread = false;
    };

    // --- Windows and closing ---------------------------------------------------------------------------
    // Asks the subclass to create its window controllers (no-op by default).
    virtual void makeWindowControllers() {}
    void addWindowController(std::unique_ptr<WindowController> controller);
    std::vector<WindowController*> windowControllers() const;
    WindowController* firstWindowController() const;
    void showWindows();
    // Autosaves an edited document and closes its windows. When the autosave fails the document stays
    // open and the error comes back (nothing is lost); closeDiscardingChanges() closes regardless.
    MaybeError close();
    void closeDiscardingChanges();
    bool isClosed() const { return m_closed; }

signals:
    void editedChanged(bool edited);
    void fileChanged(const QString& path);
    void displayNameChanged(const QString& name);
    // After every save attempt; the error is empty on success.
    void saveFinished(vmk::platform::SaveOperation op, bool succeeded);
    void reverted();
    void closed();

protected:
    // Reads the document's content. The default reads the bytes and calls readFromData.
    virtual MaybeError readFromFile(const QString& path);
    virtual MaybeError readFromData(const QByteArray& data, const QString& path);
    // Writes the content to path (a fresh temporary file during a safe save). The default writes
    // dataForSave(); subclasses that write files themselves override this instead.
    virtual MaybeError writeToFile(const QString& path, SaveOperation op);
    // The bytes to save; the default fails, so a subclass overrides this or writeToFile.
    virtual QByteArray dataForSave(SaveOperation op, MaybeError* error);
    // Checks the written temporary file before it replaces the original; an error keeps the original.
    virtual MaybeError verifyWrittenFile(const QString& path, SaveOperation op);
    // Makes a save's work ready. The default writes and checks on the main thread, through writeToFile()
    // and verifyWrittenFile(). Changes made after it returns are not part of the save: the document stays
    // edited with them.
    virtual MaybeError prepareSave(SaveOperation op, PreparedSave* save);
    // Whether the content holds something that must not outlive its write anywhere (a redaction): a save
    // started while this answers true keeps no copy of the file it replaces, and once its copy is in place
    // every kept earlier version of the written file goes.
    virtual bool leavesNoEarlierVersions() const { return false; }
    // Hooks after a successful save and revert.
    virtual void didSave(SaveOperation op) { Q_UNUSED(op); }
    virtual void didRevert() {}

private:
    void setChangeCount(int count);
    // The file changed on disk: asks, then writes ours as a copy, reloads theirs or cancels.
    MaybeError resolveDiskChange();
    // Safe-saves to target; *changesWritten is the change count the written content had. With
    // changedMeanwhile, the document's file is checked once more just before it is replaced, and
    // *changedMeanwhile says whether that found it changed (nothing is then replaced).
    MaybeError writeSafely(const QString& target, SaveOperation op, int* changesWritten,
                           bool* changedMeanwhile = nullptr);
    MaybeError stillSavingError() const;
    void connectUndoManager();

    QString m_filePath;
    QString m_displayName;
    QString m_autosavedCopyPath;
    FileStamp m_stamp;
    bool m_originalKept = false;
    int m_earlierVersionsRemoved = 0;
    int m_untitledNumber = 1;
    int m_changeCount = 0;
    bool m_closed = false;
    bool m_saving = false;
    std::unique_ptr<UndoManager> m_undoManager;
    std::vector<std::unique_ptr<WindowController>> m_windowControllers;
};

} // namespace vmk::platform

Q_DECLARE_METATYPE(vmk::platform::SaveOperation)
