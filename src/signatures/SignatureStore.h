#pragma once

#include "signatures/SavedSignature.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace vmk::signatures {

// The user's saved signatures, kept on this computer in one private folder: "index.json" (a compact JSON
// array of the ids, newest first) and one "<ID>.pdf" of artwork per signature. One store serves the whole
// process; views observe `signaturesChanged`. File errors are never shown to the user; they are logged.
//
// Other writers (another window's process, an older copy of the program) may share the folder, so the disk
// is the truth: every add or remove takes a lock on the folder, re-reads the index and the artwork files,
// merges its own change in and writes the merged index. An artwork file on disk is never left out of the
// index, and one that cannot be pictured stays listed there (only not shown).
class SignatureStore : public QObject {
    Q_OBJECT
public:
    // A store over the given folder; nothing is read until load().
    explicit SignatureStore(const QString& folder, QObject* parent = nullptr);

    // The process's store in the application's data folder, loaded on first use.
    static SignatureStore& shared();
    static QString defaultFolder();

    // Newest first.
    const QList<SavedSignature>& signatures() const { return m_signatures; }

    // Makes a signature of new identity from the artwork, writes its file and the index, and lists it
    // first. Nothing (and no file written) when the artwork cannot be pictured.
    std::optional<SavedSignature> add(const QByteArray& pdfData);
    // Unlists the signature, deletes its file and rewrites the index.
    void remove(const QUuid& id);

    // Fills the list from disk: the ids of the index whose artwork is present, then artwork files the
    // index does not name (newest file first). An index that is missing, unreadable or does not decode is
    // not trusted: the list comes from the artwork files alone and nothing on disk changes until the next
    // add or remove, which first keeps the old index aside as "index.json.unreadable".
    void load();
    // Merges with the disk under the lock and writes "index.json".
    void saveIndex();
    // Follows changes other writers make to the folder (the shared store does).
    void watchFolder();

    QString folder() const { return m_folder; }
    QString indexPath() const;
    QString artworkPath(const QUuid& id) const;

signals:
    void signaturesChanged();

private:
    // The ids the folder holds now, in index order, with `front` first and `removed` left out.
    QList<QUuid> mergedIds(const std::optional<QUuid>& front, const std::optional<QUuid>& removed);
    QList<QUuid> artworkIdsNewestFirst() const;
    std::optional<QList<QUuid>> readIndex(bool* untrusted) const;
    void adoptIds(const QList<QUuid>& ids);
    void writeIndex(const QList<QUuid>& ids);
    std::optional<SavedSignature> loadSignature(const QUuid& id) const;
    void ensureFolder() const;
    void setSignatures(QList<SavedSignature> signatures);

    QString m_folder;
    QList<SavedSignature> m_signatures;
    // Ids listed in the index whose artwork is on disk but cannot be pictured: kept in the index.
    QList<QUuid> m_unreadable;
    QObject* m_watcher = nullptr;
    // The index on disk could not be read at load: keep its bytes before the first rewrite.
    bool m_untrustedIndexOnDisk = false;
};

} // namespace vmk::signatures
