#include "signatures/SignatureStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

Q_LOGGING_CATEGORY(lcSignatureStore, "vmk.signatures")

namespace vmk::signatures {

namespace {

const QString indexFileName = QStringLiteral("index.json");
const QString artworkSuffix = QStringLiteral(".pdf");

bool writeAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// The ids of a well-formed index; nothing when the bytes are not a JSON array of id strings (a single bad
// element rejects the whole index).
std::optional<QList<QUuid>> decodeIndex(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<QUuid> ids;
    for (const QJsonValue& value : document.array()) {
        if (!value.isString())
            return std::nullopt;
        const std::optional<QUuid> id = signatureIdFromText(value.toString());
        if (!id)
            return std::nullopt;
        ids.append(*id);
    }
    return ids;
}

} // namespace

SignatureStore::SignatureStore(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_folder(folder)
{
}

QString SignatureStore::defaultFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (base.isEmpty()) // no data location on this system: a private folder in the home folder survives too
        base = QDir::home().filePath(QStringLiteral(".vellumark"));
    return QDir(base).filePath(QStringLiteral("Signatures"));
}

SignatureStore& SignatureStore::shared()
{
    // Never destroyed while the process runs: views may observe it until the very end.
    static SignatureStore* store = [] {
        auto* created = new SignatureStore(defaultFolder());
        created->load();
        return created;
    }();
    return *store;
}

QString SignatureStore::indexPath() const
{
    return QDir(m_folder).filePath(indexFileName);
}

QString SignatureStore::artworkPath(const QUuid& id) const
{
    return QDir(m_folder).filePath(signatureIdText(id) + artworkSuffix);
}

std::optional<SavedSignature> SignatureStore::loadSignature(const QUuid& id) const
{
    QFile file(artworkPath(id));
    if (!file.open(QIODevice::ReadOnly)) {
        qCInfo(lcSignatureStore) << "skipping signature" << signatureIdText(id) << "- its file cannot be read";
        return std::nullopt;
    }
    std::optional<SavedSignature> signature = SavedSignature::make(id, file.readAll());
    if (!signature)
        qCWarning(lcSignatureStore) << "skipping signature" << signatureIdText(id) << "- its artwork is unreadable";
    return signature;
}

void SignatureStore::load()
{
    QFile index(indexPath());
    std::optional<QList<QUuid>> ids;
    if (index.exists()) {
        if (index.open(QIODevice::ReadOnly))
            ids = decodeIndex(index.readAll());
        if (!ids) {
            qCWarning(lcSignatureStore) << "the signature index" << indexPath()
                                        << "cannot be read; rebuilding the list from the artwork files";
            m_untrustedIndexOnDisk = true;
        }
    }
    if (!ids) {
        // Without a usable index the artwork files are the only record: list them rather than orphan them.
        QList<SavedSignature> rebuilt = rebuildFromArtworkFiles();
        if (!rebuilt.isEmpty())
            qCInfo(lcSignatureStore) << "recovered" << rebuilt.size() << "saved signatures from" << m_folder;
        setSignatures(std::move(rebuilt));
        return;
    }
    QList<SavedSignature> loaded;
    for (const QUuid& id : *ids) {
        if (std::optional<SavedSignature> signature = loadSignature(id))
            loaded.append(*signature);
    }
    setSignatures(std::move(loaded));
}

QList<SavedSignature> SignatureStore::rebuildFromArtworkFiles() const
{
    const QDir dir(m_folder);
    QList<QPair<QFileInfo, QUuid>> found;
    const QFileInfoList files = dir.entryInfoList({QStringLiteral("*") + artworkSuffix}, QDir::Files);
    for (const QFileInfo& info : files) {
        if (std::optional<QUuid> id = signatureIdFromText(info.completeBaseName()))
            found.append({info, *id});
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        const QDateTime ta = a.first.lastModified();
        const QDateTime tb = b.first.lastModified();
        if (ta != tb)
            return ta > tb; // newest first
        return a.first.fileName() < b.first.fileName();
    });
    QList<SavedSignature> signatures;
    for (const auto& [info, id] : found) {
        if (std::optional<SavedSignature> signature = loadSignature(id))
            signatures.append(*signature);
    }
    return signatures;
}

std::optional<SavedSignature> SignatureStore::add(const QByteArray& pdfData)
{
    std::optional<SavedSignature> signature = SavedSignature::make(QUuid::createUuid(), pdfData);
    if (!signature)
        return std::nullopt;
    ensureFolder();
    if (!writeAtomically(artworkPath(signature->id), pdfData))
        qCWarning(lcSignatureStore) << "could not write" << artworkPath(signature->id);
    QList<SavedSignature> list = m_signatures;
    list.prepend(*signature);
    setSignatures(std::move(list));
    saveIndex();
    return signature;
}

void SignatureStore::remove(const QUuid& id)
{
    QList<SavedSignature> list = m_signatures;
    if (list.removeIf([&](const SavedSignature& s) { return s.id == id; }) > 0)
        setSignatures(std::move(list));
    QFile::remove(artworkPath(id));
    saveIndex();
}

void SignatureStore::saveIndex()
{
    ensureFolder();
    if (m_untrustedIndexOnDisk) {
        // The unreadable index may still matter to someone repairing it by hand; set it aside, never
        // overwrite it.
        const QString aside = indexPath() + QStringLiteral(".unreadable");
        QFile::remove(aside);
        if (!QFile::rename(indexPath(), aside) && QFile::exists(indexPath())) {
            qCWarning(lcSignatureStore) << "could not set the unreadable index aside; leaving it as it is";
            return;
        }
        qCWarning(lcSignatureStore) << "kept the unreadable signature index as" << aside;
        m_untrustedIndexOnDisk = false;
    }
    QJsonArray ids;
    for (const SavedSignature& signature : m_signatures)
        ids.append(signatureIdText(signature.id));
    if (!writeAtomically(indexPath(), QJsonDocument(ids).toJson(QJsonDocument::Compact)))
        qCWarning(lcSignatureStore) << "could not write" << indexPath();
}

void SignatureStore::ensureFolder() const
{
    QDir().mkpath(m_folder);
}

void SignatureStore::setSignatures(QList<SavedSignature> signatures)
{
    m_signatures = std::move(signatures);
    emit signaturesChanged();
}

} // namespace vmk::signatures
