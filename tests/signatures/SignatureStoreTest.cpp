#include "signatures/SignatureStore.h"
#include "signatures/SignatureTestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vmk::signatures;

namespace {

class SignatureStoreTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    QString folder() const { return root.filePath(QStringLiteral("Signatures")); }

    QByteArray indexBytes() const
    {
        QFile file(QDir(folder()).filePath(QStringLiteral("index.json")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList filesInFolder() const
    {
        return QDir(folder()).entryList(QDir::Files, QDir::Name);
    }
    QStringList pdfFiles() const
    {
        return QDir(folder()).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
    }
    void writeFile(const QString& name, const QByteArray& bytes, const QDateTime& modified = {}) const
    {
        QDir().mkpath(folder());
        QFile file(QDir(folder()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.flush(); // a later flush would stamp the file with the current time again
        if (modified.isValid())
            file.setFileTime(modified, QFileDevice::FileModificationTime);
    }
    static QByteArray indexOf(const QList<SavedSignature>& list)
    {
        QByteArray out = "[";
        for (const SavedSignature& s : list)
            out += (out.size() > 1 ? ",\"" : "\"") + signatureIdText(s.id).toLatin1() + '"';
        return out + ']';
    }
};

TEST_F(SignatureStoreTest, FirstSaveCreatesFolderArtworkAndCompactUpperCaseIndex)
{
    SignatureStore store(folder());
    store.load();
    EXPECT_TRUE(store.signatures().isEmpty());
    EXPECT_FALSE(QDir(folder()).exists()); // loading an absent store writes nothing

    const QByteArray artwork = test::sampleArtwork();
    ASSERT_FALSE(artwork.isEmpty());
    const auto saved = store.add(artwork);
    ASSERT_TRUE(saved);
    const QString idText = signatureIdText(saved->id);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$")).match(idText).hasMatch());

    EXPECT_EQ(indexBytes(), "[\"" + idText.toLatin1() + "\"]");
    EXPECT_EQ(filesInFolder(), QStringList({idText + ".pdf", "index.json"}));
    QFile file(store.artworkPath(saved->id));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), artwork);

    ASSERT_EQ(store.signatures().size(), 1);
    // The picture is ink on transparency, so lists can show it on any background.
    ASSERT_FALSE(saved->image.isNull());
    EXPECT_EQ(saved->image.pixelColor(0, 0).alpha(), 0);
    int opaqueDark = 0;
    for (int y = 0; y < saved->image.height(); ++y)
        for (int x = 0; x < saved->image.width(); ++x) {
            const QColor c = saved->image.pixelColor(x, y);
            opaqueDark += c.alpha() > 200 && c.lightness() < 60;
        }
    EXPECT_GT(opaqueDark, 100);
    EXPECT_NEAR(saved->aspectRatio, test::firstPageSize(artwork).width() / test::firstPageSize(artwork).height(), 1e-9);
}

TEST_F(SignatureStoreTest, NewestFirstThroughAddsAndRemovesAndReload)
{
    SignatureStore store(folder());
    store.load();
    QSignalSpy changes(&store, &SignatureStore::signaturesChanged);
    const auto a = store.add(test::sampleArtwork());
    const auto b = store.add(test::sampleArtwork());
    ASSERT_TRUE(a && b);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(store.signatures(), QList<SavedSignature>({*b, *a}));
    EXPECT_EQ(indexBytes(), indexOf({*b, *a}));

    // Another store over the same folder (the next launch) reads the same list, artwork byte for byte.
    SignatureStore relaunched(folder());
    relaunched.load();
    ASSERT_EQ(relaunched.signatures(), QList<SavedSignature>({*b, *a}));
    EXPECT_EQ(relaunched.signatures()[1].pdfData, a->pdfData);

    store.remove(b->id);
    EXPECT_EQ(indexBytes(), indexOf({*a}));
    store.remove(a->id);
    EXPECT_EQ(indexBytes(), "[]");
    EXPECT_TRUE(store.signatures().isEmpty());
    EXPECT_TRUE(pdfFiles().isEmpty());
}

TEST_F(SignatureStoreTest, RemovingAnUnknownIdKeepsTheListAndRewritesTheIndex)
{
    SignatureStore store(folder());
    store.load();
    const auto a = store.add(test::sampleArtwork());
    ASSERT_TRUE(a);
    QFile::remove(store.indexPath());
    QSignalSpy changes(&store, &SignatureStore::signaturesChanged);
    store.remove(QUuid::createUuid());
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(store.signatures().size(), 1);
    EXPECT_EQ(indexBytes(), indexOf({*a}));
}

TEST_F(SignatureStoreTest, ArtworkThatCannotBePicturedIsRefusedWithoutWriting)
{
    SignatureStore store(folder());
    store.load();
    EXPECT_FALSE(store.add(QByteArray("not a pdf at all")));
    EXPECT_FALSE(store.add(QByteArray()));
    EXPECT_TRUE(store.signatures().isEmpty());
    EXPECT_TRUE(pdfFiles().isEmpty());
}

TEST_F(SignatureStoreTest, SignaturesAreEqualOnlyByIdentity)
{
    const QByteArray artwork = test::sampleArtwork();
    const auto one = SavedSignature::make(QUuid::createUuid(), artwork);
    const auto two = SavedSignature::make(QUuid::createUuid(), artwork);
    ASSERT_TRUE(one && two);
    EXPECT_NE(*one, *two);
    const auto sameId = SavedSignature::make(one->id, test::sampleArtwork());
    EXPECT_EQ(*one, *sameId);
}

TEST_F(SignatureStoreTest, IndexWithABadElementListsNothingAndTouchesNoFile)
{
    writeFile(QStringLiteral("index.json"), "[\"nope\"]");
    const QDateTime before = QFileInfo(QDir(folder()).filePath("index.json")).lastModified();
    SignatureStore store(folder());
    store.load();
    EXPECT_TRUE(store.signatures().isEmpty());
    EXPECT_EQ(filesInFolder(), QStringList({"index.json"}));
    EXPECT_EQ(indexBytes(), "[\"nope\"]");
    EXPECT_EQ(QFileInfo(QDir(folder()).filePath("index.json")).lastModified(), before);
}

TEST_F(SignatureStoreTest, UnreadableIndexIsRebuiltFromArtworkFilesNewestFirstAndKeptAside)
{
    const QByteArray artwork = test::sampleArtwork();
    const QUuid older = QUuid::createUuid();
    const QUuid newer = QUuid::createUuid();
    const QDateTime now = QDateTime::currentDateTime();
    writeFile(signatureIdText(older) + ".pdf", artwork, now.addDays(-2));
    writeFile(signatureIdText(newer) + ".pdf", artwork, now.addDays(-1));
    writeFile(QStringLiteral("not-an-id.pdf"), artwork); // not ours: never listed, never touched
    writeFile(QStringLiteral("index.json"), "{\"truncated\": [");

    SignatureStore store(folder());
    store.load();
    ASSERT_EQ(store.signatures().size(), 2);
    EXPECT_EQ(store.signatures()[0].id, newer);
    EXPECT_EQ(store.signatures()[1].id, older);
    EXPECT_EQ(indexBytes(), "{\"truncated\": ["); // loading alone changes nothing on disk

    // The next save lists every signature, the new one first, and the unreadable index survives aside.
    const auto added = store.add(artwork);
    ASSERT_TRUE(added);
    EXPECT_EQ(indexBytes(), indexOf(store.signatures()));
    EXPECT_EQ(store.signatures().size(), 3);
    QFile aside(store.indexPath() + ".unreadable");
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), "{\"truncated\": [");
    EXPECT_EQ(pdfFiles().size(), 4);

    SignatureStore relaunched(folder());
    relaunched.load();
    EXPECT_EQ(relaunched.signatures(), store.signatures());
}

TEST_F(SignatureStoreTest, MissingIndexRecoversTheArtworkFilesPresent)
{
    const QUuid id = QUuid::createUuid();
    writeFile(signatureIdText(id) + ".pdf", test::sampleArtwork());
    SignatureStore store(folder());
    store.load();
    ASSERT_EQ(store.signatures().size(), 1);
    EXPECT_EQ(store.signatures()[0].id, id);
    EXPECT_FALSE(QFile::exists(store.indexPath()));
}

TEST_F(SignatureStoreTest, ValidIndexSkipsMissingFilesKeepsBrokenOnesListedAndRecoversStrays)
{
    const QByteArray artwork = test::sampleArtwork();
    const QUuid kept = QUuid::createUuid();
    const QUuid missing = QUuid::createUuid();
    const QUuid broken = QUuid::createUuid();
    const QUuid stray = QUuid::createUuid();
    writeFile(signatureIdText(kept) + ".pdf", artwork);
    writeFile(signatureIdText(broken) + ".pdf", "garbage");
    writeFile(signatureIdText(stray) + ".pdf", artwork);
    // Lower-case ids are read too.
    writeFile(QStringLiteral("index.json"),
              QJsonDocument(QJsonArray({signatureIdText(missing), signatureIdText(kept).toLower(),
                                        signatureIdText(broken)}))
                  .toJson(QJsonDocument::Compact));

    SignatureStore store(folder());
    store.load();
    // A stray artwork file is a signature whose index entry another writer lost: it is listed, after
    // the ones the index names.
    ASSERT_EQ(store.signatures().size(), 2);
    EXPECT_EQ(store.signatures()[0].id, kept);
    EXPECT_EQ(store.signatures()[1].id, stray);

    const auto added = store.add(artwork);
    ASSERT_TRUE(added);
    // The missing one leaves the index; the broken one stays there (its file is on disk), unshown.
    const QByteArray expected = "[\"" + signatureIdText(added->id).toLatin1() + "\",\"" + signatureIdText(kept).toLatin1()
                                + "\",\"" + signatureIdText(broken).toLatin1() + "\",\"" + signatureIdText(stray).toLatin1() + "\"]";
    EXPECT_EQ(indexBytes(), expected);
    EXPECT_EQ(store.signatures().size(), 3);
    EXPECT_TRUE(QFile::exists(store.artworkPath(stray)));
    EXPECT_TRUE(QFile::exists(store.artworkPath(broken)));
    EXPECT_FALSE(QFile::exists(store.indexPath() + ".unreadable"));
}

} // namespace
