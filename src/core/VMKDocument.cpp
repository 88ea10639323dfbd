#include "core/VMKDocument.h"

#include "core/DocumentHost.h"
#include "core/PDFOps.h"
#include "core/SystemAnnotations.h"

#include "platform/pdf/engine/Wait.h"

#include "platform/services/Logger.h"
#include "platform/services/Scheduler.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThread>

#include <utility>

namespace vmk::core {

using platform::DocumentError;
using platform::MaybeError;
using platform::SaveOperation;

namespace {

bool onMainThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

VMKDocument::VMKDocument(QObject* parent)
    : platform::Document(parent)
    , m_pdf(pdf::Document::createEmpty())
{
    setHasUndoManager(true);
    installSystemAppearances();
    // Nothing reads the passwords once the document is closed; they need not wait for the deletion.
    connect(this, &platform::Document::closed, this, [this] {
        setProtection(std::nullopt);
        setUnlockPassword(std::nullopt);
    });
}

VMKDocument::~VMKDocument()
{
    setProtection(std::nullopt);
    setUnlockPassword(std::nullopt);
}

void VMKDocument::setProtection(const std::optional<Protection>& protection)
{
    // The old passwords go before the new ones are taken (a copy handed out earlier keeps its own).
    m_protection.reset();
    if (protection)
        m_protection = Protection{platform::ownedCopy(protection->userPassword),
                                  platform::ownedCopy(protection->ownerPassword)};
}

void VMKDocument::setUnlockPassword(const std::optional<QString>& password)
{
    platform::wipe(m_unlockPassword);
    m_unlockPassword = platform::ownedCopy(password);
}

void VMKDocument::setPdf(pdf::DocumentPtr pdf)
{
    m_pdf = pdf ? std::move(pdf) : pdf::Document::createEmpty();
}

void VMKDocument::setSuggestedName(const std::optional<QString>& name)
{
    m_suggestedName = name;
    emit displayNameChanged(displayName());
}

QString VMKDocument::displayName() const
{
    if (isUntitled() && m_suggestedName)
        return *m_suggestedName;
    return platform::Document::displayName();
}

DocumentHost* VMKDocument::host() const
{
    return dynamic_cast<DocumentHost*>(firstWindowController());
}

DocumentError VMKDocument::lockedSaveError()
{
    return {DocumentError::FileWriteNoPermission, QStringLiteral("Unlock the document before saving it."), {}};
}

DocumentError VMKDocument::writeFailedError()
{
    return {DocumentError::FileWriteUnknown, QStringLiteral("The PDF couldn\u2019t be written."),
            QStringLiteral("Try saving a copy to a different folder.")};
}

DocumentError VMKDocument::contentWriteFailedError(const QString& cause)
{
    // The engine's words, on one line and not endless: they name the object or stream it could not write.
    QString reason = cause.simplified();
    if (reason.size() > 160)
        reason = reason.left(159) + QChar(0x2026);
    if (reason.isEmpty())
        reason = QStringLiteral("a part of it could not be read");
    return {DocumentError::FileWriteUnknown, QStringLiteral("The PDF couldn\u2019t be written."),
            QStringLiteral("Something in the document itself can\u2019t be written (%1), so saving to "
                           "another folder won\u2019t help.")
                .arg(reason)};
}

DocumentError VMKDocument::verificationFailedError()
{
    return {DocumentError::FileWriteUnknown,
            QStringLiteral("The saved copy didn\u2019t check out, so the original was left untouched."),
            QStringLiteral("Try Save As to a different location.")};
}

DocumentError VMKDocument::stoppedSaveError(const QString& name)
{
    return {DocumentError::FileWriteUnknown,
            QStringLiteral("The save of \u201c%1\u201d was stopped before its copy was written.").arg(name),
            QStringLiteral("The file was left as it was. Save again to keep the changes.")};
}

DocumentError VMKDocument::printUnavailableError()
{
    return {DocumentError::FeatureUnsupported, QStringLiteral("This document can\u2019t be printed right now."), {}};
}

// --- Reading -----------------------------------------------------------------------------------------

MaybeError VMKDocument::readFromFile(const QString& path)
{
    // The whole file is read into memory (nothing is mapped: another program may change the file while
    // it is open), once: the document takes that memory over.
    platform::SignpostInterval interval(QStringLiteral("Open Document"));
    // On a worker while the windows keep answering: a stalled disk holds up nobody, and the user may give
    // up on it (the read then ends on its own and frees what it read).
    auto file = std::make_shared<pdf::Result<std::shared_ptr<pdf::SourceFile>>>(
        pdf::Result<std::shared_ptr<pdf::SourceFile>>::failure(QString()));
    const pdf::WaitOutcome outcome =
        pdf::waitWhileAnswering([path, file] { *file = pdf::SourceFile::read(path); }, pdf::OnCancel::Abandon);
    if (outcome == pdf::WaitOutcome::Cancelled)
        return DocumentError::cancelled();
    if (!*file)
        return platform::Document::readFromFile(path); // which says why, as the platform words it
    return adoptChecked(PDFOps::openCheckedFile(**file, QFileInfo(path).fileName()), (**file)->size());
}

MaybeError VMKDocument::readFromData(const QByteArray& data, const QString& path)
{
    return adoptChecked(PDFOps::openChecked(data, QFileInfo(path).fileName()), data.size());
}

MaybeError VMKDocument::adoptChecked(const Expected<pdf::DocumentPtr, PDFOpenError>& checked, qint64 size)
{
    if (!checked && checked.error().kind == PDFOpenError::Kind::cancelled)
        return DocumentError::cancelled();
    if (!checked) {
        return DocumentError{DocumentError::FileReadCorruptFile, checked.error().message(),
                             checked.error().recoverySuggestion()};
    }
    m_pdf = checked.value();
    m_fileSize = size;
    // A pending password change belongs to the content that was just replaced.
    setProtection(std::nullopt);
    m_removesEncryption = false;
    m_redactionsInEffect = 0;
    return std::nullopt;
}

void VMKDocument::didRevert()
{
    if (!onMainThread())
        return;
    if (DocumentHost* h = host())
        h->didRevert();
}

// --- Writing -----------------------------------------------------------------------------------------

void VMKDocument::commitPendingEdits()
{
    if (!onMainThread())
        return;
    if (DocumentHost* h = host())
        h->commitPendingEdits();
}

MaybeError VMKDocument::prepareSave(SaveOperation op, PreparedSave* save)
{
    Q_UNUSED(op);
    commitPendingEdits();
    if (m_pdf->isLocked())
        return lockedSaveError();

    const pdf::WriteOptions options = writeOptions();
    const std::optional<QString> password = writtenPassword();

    // The bytes are made on the worker that writes and checks the copy: what they need from the window's
    // side (appearances still missing) is made there a few pages at a time, then the engine writes while
    // the main thread keeps off the document. What the copy must show is taken page by page in the same
    // slices, before writing: the engine may repair a damaged file while it writes, and a repair can drop
    // what was changed in memory.
    auto expected = std::make_shared<std::vector<PDFOps::PageFacts>>();
    auto size = std::make_shared<qint64>(0);
    // The memory the bytes were made in, which the check reads the written file back into: fresh memory
    // of a long document's size costs the system more than reading the file.
    auto written = std::make_shared<QByteArray>();
    save->offMainThread = true;
    // A change that lands between two slices (a queued step) may touch a page already looked at: the pass
    // then starts over, so that the facts match what is written.
    QPointer<VMKDocument> self(this);
    save->write = [self, pdf = m_pdf, options, expected, size, written, name = displayName()](const QString& path) -> MaybeError {
        bool stopped = false;
        int changes = 0;
        pdf::Result<QByteArray> bytes = pdf->dataRepresentationFromWorker(
            options,
            [&](int index, const pdf::PagePtr& page) {
                const int now = self ? self->changeCount() : 0;
                if (index == 0) {
                    expected->clear();
                    changes = now;
                } else if (now != changes) {
                    return false;
                }
                expected->push_back(page ? PDFOps::factsOf(*page) : PDFOps::PageFacts());
                return true;
            },
            &stopped);
        if (stopped)
            return stoppedSaveError(name);
        if (!bytes)
            return contentWriteFailedError(bytes.error());
        *size = bytes->size();
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(*bytes) != bytes->size()
            || !file.flush())
            return writeFailedError();
        *written = std::move(*bytes);
        return std::nullopt;
    };
    save->verify = [this, expected, password, written](const QString& path) -> MaybeError {
        if (!verifySavedFile(path, *expected, password, std::exchange(*written, QByteArray())))
            return verificationFailedError();
        return std::nullopt;
    };
    save->saved = [this, size] { m_fileSize = *size; };
    return std::nullopt;
}

pdf::WriteOptions VMKDocument::writeOptions() const
{
    // Every write states what happens to encryption: a plain save of an encrypted document keeps it, so
    // a password never disappears unless the user removed it.
    pdf::WriteOptions options = pdf::WriteOptions::keepExisting();
    if (m_protection)
        options = pdf::WriteOptions::protect(m_protection->userPassword, m_protection->effectiveOwnerPassword());
    else if (m_removesEncryption && m_pdf->isEncrypted())
        options = pdf::WriteOptions::withoutEncryption();
    // A decrypted copy is a new document: it goes without the original's creation date.
    options.withoutCreationDate = options.encryption == pdf::WriteOptions::Encryption::None;
    return options;
}

std::optional<QString> VMKDocument::writtenPassword() const
{
    return m_protection ? std::optional<QString>(m_protection->userPassword) : m_unlockPassword;
}

bool VMKDocument::verifySavedFile(const QString& path, const std::vector<PDFOps::PageFacts>& expected,
                                  const std::optional<QString>& password, QByteArray memory)
{
    return PDFOps::verifySavedFile(path, expected, password, std::move(memory));
}

void VMKDocument::didSave(SaveOperation op)
{
    // The host hears of it on the next turn of the main queue, after the caller has seen the result.
    const bool userInitiated = platform::isUserSave(op);
    const int removed = earlierVersionsRemoved();
    QPointer<VMKDocument> self(this);
    platform::Scheduler::shared().schedule(0, [self, userInitiated, removed] {
        if (!self)
            return;
        DocumentHost* h = self->host();
        if (h)
            h->didSave(userInitiated);
        if (h && removed > 0)
            h->didRemoveEarlierVersions(removed);
    });
}

} // namespace vmk::core
