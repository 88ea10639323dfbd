#include "core/VMKDocument.h"

#include "core/DocumentHost.h"
#include "core/PDFOps.h"
#include "core/SystemAnnotations.h"

#include "platform/services/Logger.h"
#include "platform/services/Scheduler.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThread>

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
}

VMKDocument::~VMKDocument() = default;

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

DocumentError VMKDocument::printUnavailableError()
{
    return {DocumentError::FeatureUnsupported, QStringLiteral("This document can\u2019t be printed right now."), {}};
}

// --- Reading -----------------------------------------------------------------------------------------

MaybeError VMKDocument::readFromFile(const QString& path)
{
    // The base reads the whole file into memory; nothing is mapped.
    platform::SignpostInterval interval(QStringLiteral("Open Document"));
    return platform::Document::readFromFile(path);
}

MaybeError VMKDocument::readFromData(const QByteArray& data, const QString& path)
{
    auto checked = PDFOps::openChecked(data, QFileInfo(path).fileName());
    if (!checked && checked.error().kind == PDFOpenError::Kind::cancelled)
        return DocumentError::cancelled();
    if (!checked) {
        return DocumentError{DocumentError::FileReadCorruptFile, checked.error().message(),
                             checked.error().recoverySuggestion()};
    }
    m_pdf = checked.value();
    m_fileSize = data.size();
    // A pending password change belongs to the content that was just replaced.
    m_protection.reset();
    m_removesEncryption = false;
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

MaybeError VMKDocument::writeToFile(const QString& path, SaveOperation op)
{
    Q_UNUSED(op);
    m_pendingVerification.reset();
    commitPendingEdits();
    if (m_pdf->isLocked())
        return lockedSaveError();

    // Every write states what happens to encryption: a plain save of an encrypted document keeps it, so
    // a password never disappears unless the user removed it.
    pdf::WriteOptions options = pdf::WriteOptions::keepExisting();
    std::optional<QString> password = m_unlockPassword;
    if (m_protection) {
        options = pdf::WriteOptions::protect(m_protection->userPassword, m_protection->effectiveOwnerPassword());
        password = m_protection->userPassword;
    } else if (m_removesEncryption && m_pdf->isEncrypted()) {
        options = pdf::WriteOptions::withoutEncryption();
    }

    // What the copy must show is taken before writing: the engine may repair a damaged file while it
    // writes, and a repair can drop what was changed in memory.
    std::vector<PDFOps::PageFacts> expected = PDFOps::pageFacts(*m_pdf);
    // A decrypted copy is a new document: it goes without the original's creation date. The open
    // document keeps it, so every later save writes the same copy.
    const bool decrypting = options.encryption == pdf::WriteOptions::Encryption::None;
    const QString created = decrypting ? m_pdf->attribute(pdf::DocumentAttribute::CreationDate) : QString();
    if (!created.isEmpty())
        m_pdf->setAttribute(pdf::DocumentAttribute::CreationDate, QString());
    const pdf::Result<QByteArray> bytes = m_pdf->dataRepresentation(options);
    if (!created.isEmpty())
        m_pdf->setAttribute(pdf::DocumentAttribute::CreationDate, created);
    if (!bytes)
        return contentWriteFailedError(bytes.error());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(*bytes) != bytes->size()
        || !file.flush())
        return writeFailedError();
    file.close();
    m_pendingVerification = PendingVerification{std::move(expected), password};
    return std::nullopt;
}

MaybeError VMKDocument::verifyWrittenFile(const QString& path, SaveOperation op)
{
    Q_UNUSED(op);
    if (!m_pendingVerification)
        return std::nullopt;
    const PendingVerification expected = *m_pendingVerification;
    m_pendingVerification.reset();
    if (!verifySavedFile(path, expected.pages, expected.password))
        return verificationFailedError();
    const QFileInfo written(path);
    if (written.exists())
        m_fileSize = written.size();
    return std::nullopt;
}

bool VMKDocument::verifySavedFile(const QString& path, const std::vector<PDFOps::PageFacts>& expected,
                                  const std::optional<QString>& password)
{
    return PDFOps::verifySavedFile(path, expected, password);
}

void VMKDocument::didSave(SaveOperation op)
{
    // The host hears of it on the next turn of the main queue, after the caller has seen the result.
    const bool userInitiated = platform::isUserSave(op);
    QPointer<VMKDocument> self(this);
    platform::Scheduler::shared().schedule(0, [self, userInitiated] {
        if (!self)
            return;
        if (DocumentHost* h = self->host())
            h->didSave(userInitiated);
    });
}

} // namespace vmk::core
