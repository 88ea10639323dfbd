// Two writers over one signature folder: two stores in this process, and two processes at once.
#include "signatures/SignatureStore.h"
#include "signatures/SignatureTestSupport.h"
#include "support/Slowdown.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vmk::signatures;

namespace {

const char* kWriterFolder = "VMK_SIGNATURE_WRITER_FOLDER";

QList<QUuid> indexIds(const QString& folder)
{
    QFile file(QDir(folder).filePath("index.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QUuid> ids;
    for (const QJsonValue& v : QJsonDocument::fromJson(file.readAll()).array())
        ids.append(QUuid::fromString(v.toString()));
    return ids;
}

mode_t modeOf(const QString& path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(SignatureStoreSharing, TwoStoresOverOneFolderLoseNothing)
{
    QTemporaryDir root;
    const QString folder = root.filePath("Signatures");
    SignatureStore first(folder);
    SignatureStore second(folder);
    first.load();
    second.load();
    // Each adds while holding a list that does not know the other's signature.
    const auto a = first.add(test::sampleArtwork());
    const auto b = second.add(test::sampleArtwork());
    ASSERT_TRUE(a && b);
    EXPECT_EQ(indexIds(folder), QList<QUuid>({b->id, a->id}));
    EXPECT_EQ(second.signatures(), QList<SavedSignature>({*b, *a}));

    // A removal in one store is respected by the other's next write, and nothing else goes.
    first.remove(b->id);
    const auto c = second.add(test::sampleArtwork());
    ASSERT_TRUE(c);
    EXPECT_EQ(indexIds(folder), QList<QUuid>({c->id, a->id}));
    EXPECT_EQ(second.signatures(), QList<SavedSignature>({*c, *a}));
    EXPECT_FALSE(QFile::exists(second.artworkPath(b->id)));

    // The folder and every file in it are the user's alone.
    EXPECT_EQ(modeOf(folder), mode_t(0700));
    EXPECT_EQ(modeOf(QDir(folder).filePath("index.json")), mode_t(0600));
    EXPECT_EQ(modeOf(first.artworkPath(a->id)), mode_t(0600));
}

TEST(SignatureStoreSharing, AWatchingStoreFollowsAnotherWriter)
{
    QTemporaryDir root;
    const QString folder = root.filePath("Signatures");
    SignatureStore watching(folder);
    watching.load();
    watching.watchFolder();
    SignatureStore other(folder);
    other.load();
    QSignalSpy changes(&watching, &SignatureStore::signaturesChanged);
    const auto a = other.add(test::sampleArtwork());
    ASSERT_TRUE(a);
    ASSERT_TRUE(changes.wait(3000));
    EXPECT_EQ(watching.signatures(), QList<SavedSignature>({*a}));
}

// Run by the test below in child processes: adds signatures to the folder it is given.
TEST(SignatureStoreSharing, WriterProcess)
{
    const QString folder = qEnvironmentVariable(kWriterFolder);
    if (folder.isEmpty())
        GTEST_SKIP() << "runs only as a child of TwoProcessesWritingAtOnceLoseNothing";
    SignatureStore store(folder);
    store.load();
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(store.add(test::sampleArtwork()));
}

TEST(SignatureStoreSharing, TwoProcessesWritingAtOnceLoseNothing)
{
    QTemporaryDir root;
    const QString folder = root.filePath("Signatures");
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int i = 0; i < 2; ++i) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kWriterFolder, folder);
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QCoreApplication::applicationFilePath(),
                       {"--gtest_filter=SignatureStoreSharing.WriterProcess"});
        writers.push_back(std::move(process));
    }
    for (auto& process : writers) {
        ASSERT_TRUE(process->waitForFinished(vmk::test::scaledMs(20000)));
        EXPECT_EQ(process->exitCode(), 0);
    }
    const QList<QUuid> ids = indexIds(folder);
    EXPECT_EQ(ids.size(), 12);
    EXPECT_EQ(QDir(folder).entryList({"*.pdf"}, QDir::Files).size(), 12);
    SignatureStore reader(folder);
    reader.load();
    EXPECT_EQ(reader.signatures().size(), 12);
}
