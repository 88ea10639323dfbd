#pragma once

#include "signatures/SavedSignature.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace vmk::signatures {

// The user's saved signatures, kept on this computer in one folder: "index.json" (a compact JSON array of
// the ids, newest first) and one "<ID>.pdf" of artwork per signature. One store serves the whole process;
// views observe `signaturesChanged`. File errors are never shown to the user; they are logged.
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

    // Fills the list from disk. An index that is missing, unreadable or does not decode is not trusted:
    // the list is rebuilt from the artwork files present (newest file first) and nothing on disk changes
    // until the next add or remove, which first keeps the old index aside as "index.json.unreadable".
    void load();
    // Writes "index.json" from the list.
    void saveIndex();

    QString folder() const { return m_folder; }
    QString indexPath() const;
    QString artworkPath(const QUuid& id) const;

signals:
    void signaturesChanged();

private:
    QList<SavedSignature> rebuildFromArtworkFiles() const;
    std::optional<SavedSignature> loadSignature(const QUuid& id) const;
    void ensureFolder() const;
    void setSignatures(QList<SavedSignature> signatures);

    QString m_folder;
    QList<SavedSignature> m_signatures;
    // The index on disk could not be read at load: keep its bytes before the first rewrite.
    bool m_untrustedIndexOnDisk = false;
};

} // namespace vmk::signatures
