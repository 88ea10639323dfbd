#include "signatures/SignatureStore.h"

#include "platform/services/TempFiles.h"

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QLockFile>
#include <QTimer>
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
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
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
        created->watchFolder();
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

namespace {

// Held while one writer reads, merges and writes the folder; a lock left by a crashed writer goes stale.
class FolderLock {
public:
    explicit FolderLock(const QString& folder) : m_lock(QDir(folder).filePath(QStringLiteral(".lock")))
    {
        m_lock.setStaleLockTime(10000);
        if (!m_lock.tryLock(10000))
            qCWarning(lcSignatureStore) << "the signature folder stays locked; writing without the lock";
    }

private:
    QLockFile m_lock;
};

} // namespace

std::optional<QList<QUuid>> SignatureStore::readIndex(bool* untrusted) const
{
    QFile index(indexPath());
    if (!index.exists())
        return std::nullopt;
    std::optional<QList<QUuid>> ids;
    if (index.open(QIODevice::ReadOnly))
        ids = decodeIndex(index.readAll());
    if (!ids && untrusted)
        *untrusted = true;
    return ids;
}

QList<QUuid> SignatureStore::artworkIdsNewestFirst() const
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
    QList<QUuid> ids;
    for (const auto& entry : found)
        ids.append(entry.second);
    return ids;
}

void SignatureStore::load()
{
    bool untrusted = false;
    const std::optional<QList<QUuid>> ids = readIndex(&untrusted);
    if (untrusted) {
        qCWarning(lcSignatureStore) << "the signature index" << indexPath()
                                    << "cannot be read; rebuilding the list from the artwork files";
        m_untrustedIndexOnDisk = true;
    }
    QList<QUuid> listed;
    for (const QUuid& id : ids.value_or(QList<QUuid>())) {
        if (!listed.contains(id) && QFile::exists(artworkPath(id)))
            listed.append(id);
        else if (!QFile::exists(artworkPath(id)))
            qCInfo(lcSignatureStore) << "skipping signature" << signatureIdText(id) << "- its file is missing";
    }
    // Artwork the index does not name was saved by a writer whose index entry got lost: list it rather
    // than orphan it.
    int recovered = 0;
    for (const QUuid& id : artworkIdsNewestFirst()) {
        if (!listed.contains(id)) {
            listed.append(id);
            ++recovered;
        }
    }
    if (recovered > 0)
        qCInfo(lcSignatureStore) << "listing" << recovered << "saved signatures the index did not name in" << m_folder;
    adoptIds(listed);
}

QList<QUuid> SignatureStore::mergedIds(const std::optional<QUuid>& front, const std::optional<QUuid>& removed)
{
    bool untrusted = false;
    const std::optional<QList<QUuid>> onDisk = readIndex(&untrusted);
    if (untrusted)
        m_untrustedIndexOnDisk = true;
    QList<QUuid> candidates;
    if (front)
        candidates.append(*front);
    candidates += onDisk.value_or(QList<QUuid>());
    // Ours that the index lost (a write of ours or another writer's that failed), then any artwork at all.
    for (const SavedSignature& signature : std::as_const(m_signatures))
        candidates.append(signature.id);
    candidates += m_unreadable;
    candidates += artworkIdsNewestFirst();

    QList<QUuid> ids;
    for (const QUuid& id : std::as_const(candidates)) {
        if (ids.contains(id) || (removed && id == *removed))
            continue;
        // A signature whose file another writer deleted is gone; a new one stays for this run even when
        // its file could not be written.
        if ((front && id == *front) || QFile::exists(artworkPath(id)))
            ids.append(id);
    }
    return ids;
}

void SignatureStore::adoptIds(const QList<QUuid>& ids)
{
    QList<SavedSignature> list;
    QList<QUuid> unreadable;
    for (const QUuid& id : ids) {
        const auto known = std::find_if(m_signatures.cbegin(), m_signatures.cend(),
                                        [&](const SavedSignature& s) { return s.id == id; });
        if (known != m_signatures.cend()) {
            list.append(*known);
        } else if (std::optional<SavedSignature> signature = loadSignature(id)) {
            list.append(*signature);
        } else {
            unreadable.append(id);
        }
    }
    m_unreadable = unreadable;
    if (list != m_signatures)
        setSignatures(std::move(list));
}

std::optional<SavedSignature> SignatureStore::add(const QByteArray& pdfData)
{
    std::optional<SavedSignature> signature = SavedSignature::make(QUuid::createUuid(), pdfData);
    if (!signature)
        return std::nullopt;
    ensureFolder();
    FolderLock lock(m_folder);
    if (!writeAtomically(artworkPath(signature->id), pdfData))
        qCWarning(lcSignatureStore) << "could not write" << artworkPath(signature->id);
    m_signatures.prepend(*signature);
    const QList<QUuid> ids = mergedIds(signature->id, std::nullopt);
    writeIndex(ids);
    adoptIds(ids);
    emit signaturesChanged();
    return signature;
}

void SignatureStore::remove(const QUuid& id)
{
    ensureFolder();
    FolderLock lock(m_folder);
    QFile::remove(artworkPath(id));
    const QList<QUuid> ids = mergedIds(std::nullopt, id);
    writeIndex(ids);
    adoptIds(ids);
}

void SignatureStore::saveIndex()
{
    ensureFolder();
    FolderLock lock(m_folder);
    const QList<QUuid> ids = mergedIds(std::nullopt, std::nullopt);
    writeIndex(ids);
    adoptIds(ids);
}

void SignatureStore::writeIndex(const QList<QUuid>& idList)
{
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
    for (const QUuid& id : idList)
        ids.append(signatureIdText(id));
    if (!writeAtomically(indexPath(), QJsonDocument(ids).toJson(QJsonDocument::Compact)))
        qCWarning(lcSignatureStore) << "could not write" << indexPath();
}

void SignatureStore::watchFolder()
{
    if (m_watcher)
        return;
    ensureFolder();
    auto* watcher = new QFileSystemWatcher({m_folder}, this);
    auto* settle = new QTimer(watcher);
    settle->setSingleShot(true);
    settle->setInterval(150);
    connect(watcher, &QFileSystemWatcher::directoryChanged, settle, qOverload<>(&QTimer::start));
    connect(settle, &QTimer::timeout, this, [this] { load(); });
    m_watcher = watcher;
}

void SignatureStore::ensureFolder() const
{
    // Signatures are the user's own: nobody else on the machine reads them.
    platform::makePrivateFolder(m_folder);
}

void SignatureStore::setSignatures(QList<SavedSignature> signatures)
{
    m_signatures = std::move(signatures);
    emit signaturesChanged();
}

} // namespace vmk::signatures
