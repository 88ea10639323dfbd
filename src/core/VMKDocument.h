#pragma once

#include "core/PDFOps.h"
#include "core/Protection.h"

#include "platform/doc/Document.h"
#include "platform/pdf/document/Document.h"
#include "platform/services/Secrets.h"

#include <QString>

#include <algorithm>
#include <optional>
#include <vector>

class QPrinter;
class QWidget;

namespace vmk::core {

class DocumentHost;

// One open PDF file or new untitled PDF. Reads the file's bytes into memory (never mapped, so a file
// truncated by another program cannot bring the process down), runs the open checks, writes with
// protection or without encryption, and verifies every written copy before it replaces the original.
// Works without any window: the window's part goes through DocumentHost, found as the first window
// controller when that implements it.
class VMKDocument : public platform::Document {
    Q_OBJECT
public:
    explicit VMKDocument(QObject* parent = nullptr);
    ~VMKDocument() override;

    // The content; never null (a new document holds an empty PDF).
    pdf::DocumentPtr pdf() const { return m_pdf; }
    void setPdf(pdf::DocumentPtr pdf);

    // Display name of a document that has no file yet.
    std::optional<QString> suggestedName() const { return m_suggestedName; }
    void setSuggestedName(const std::optional<QString>& name);

    // Passwords applied on the next save (and every later one) until changed or a read clears them.
    // The document keeps passwords in copies of its own, overwritten when they are replaced and when the
    // document closes.
    std::optional<Protection> protection() const { return m_protection; }
    void setProtection(const std::optional<Protection>& protection);
    // The next save writes a copy without encryption (unless a protection is set, which wins).
    bool removesEncryption() const { return m_removesEncryption; }
    void setRemovesEncryption(bool removes) { m_removesEncryption = removes; }
    // How the content is written now, by a save or an export alike: with the pending protection, without
    // encryption while its removal is pending, else with the file's own encryption (or none). A copy made
    // for export carries the same protection as the next save would.
    pdf::WriteOptions writeOptions() const;
    // The password that opens what writeOptions() writes; none when none is needed or known.
    std::optional<QString> writtenPassword() const;
    // The password that unlocked pdf(); used to verify saves that keep the existing encryption.
    // (A copy: the document's own is overwritten when it closes.)
    std::optional<QString> unlockPassword() const { return platform::ownedCopy(m_unlockPassword); }
    void setUnlockPassword(const std::optional<QString>& password);
    // Applied redactions that are part of the content (an undo takes one back, a redo counts it again).
    // While there are any, a save leaves no earlier version of the file it writes: the kept originals of
    // that file go, so what was redacted survives nowhere.
    int redactionsInEffect() const { return m_redactionsInEffect; }
    void countRedactions(int delta) { m_redactionsInEffect = std::max(0, m_redactionsInEffect + delta); }
    // Byte count of the file after the last read or verified save.
    std::optional<qint64> fileSize() const { return m_fileSize; }

    QString displayName() const override;

    // The window's editor seam, or null when the document has no window.
    DocumentHost* host() const;

    // Prints every page scaled to fit the printable area and turned to match the paper's orientation.
    // A locked document refuses with FeatureUnsupported.
    platform::MaybeError print(QPrinter& printer) const;
    // Asks for a printer with Qt's print dialog, then prints; a dismissed dialog is the user's cancel.
    platform::MaybeError printWithDialog(QWidget* parent) const;

    // The texts handed to the document machinery.
    static platform::DocumentError lockedSaveError();
    static platform::DocumentError writeFailedError();
    // The document's own content could not be written (the engine's reason given): another folder
    // would not help.
    static platform::DocumentError contentWriteFailedError(const QString& cause);
    static platform::DocumentError verificationFailedError();
    // The save was called off (the application ending) before its copy was written; the file stays as it was.
    static platform::DocumentError stoppedSaveError(const QString& name);
    static platform::DocumentError printUnavailableError();

protected:
    platform::MaybeError readFromFile(const QString& path) override;
    platform::MaybeError readFromData(const QByteArray& data, const QString& path) override;
    // Making the bytes, writing them and checking the written copy run on a worker; the main thread only
    // lends it short slices (see pdf::Document::dataRepresentationFromWorker).
    platform::MaybeError prepareSave(platform::SaveOperation op, PreparedSave* save) override;
    void didSave(platform::SaveOperation op) override;
    bool leavesNoEarlierVersions() const override { return m_redactionsInEffect > 0; }
    void didRevert() override;

    // Whether the written copy is good; the seam through which tests simulate a bad copy. Runs on a worker
    // while the window keeps answering: it must not touch the document. `memory` held the written bytes;
    // the file is read back into it.
    virtual bool verifySavedFile(const QString& path, const std::vector<PDFOps::PageFacts>& expected,
                                 const std::optional<QString>& password, QByteArray memory);

private:
    void commitPendingEdits();
    // Takes the opened document, or turns the reason it did not open into the error to show.
    platform::MaybeError adoptChecked(const Expected<pdf::DocumentPtr, PDFOpenError>& checked, qint64 size);

    pdf::DocumentPtr m_pdf;
    std::optional<QString> m_suggestedName;
    std::optional<Protection> m_protection;
    bool m_removesEncryption = false;
    std::optional<QString> m_unlockPassword;
    std::optional<qint64> m_fileSize;
    int m_redactionsInEffect = 0;
};

} // namespace vmk::core
