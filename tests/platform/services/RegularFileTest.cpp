// Only regular files are read: a pipe, a device, a socket or a folder given as a document is refused at
// once, by name, and never holds up the caller.
#include "platform/doc/TestDocument.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/services/RegularFile.h"
#include "platform/services/UserDefaults.h"
#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vmk::platform;

namespace {

// The odd things a user may name as a file.
struct Oddities {
    QTemporaryDir dir;
    QString pipe = dir.filePath("pipe.pdf");
    QString socket = dir.filePath("socket.pdf");
    QString folder = dir.filePath("folder.pdf");
    QLocalServer server;
    Oddities()
    {
        ::mkfifo(QFile::encodeName(pipe).constData(), 0600);
        server.listen(socket);
        QDir().mkdir(folder);
    }
};

} // namespace

TEST(RegularFile, OnlyRegularFilesAndLinksToThemAreReadAndTheRestIsRefusedAtOnce)
{
    Oddities odd;
    const QString pdf = vmk::test::writeFile(odd.dir, "real.pdf", "%PDF-1.4 body");
    const QString link = odd.dir.filePath("link.pdf");
    ASSERT_TRUE(QFile::link(pdf, link));
    const struct {
        QString path;
        FileKind kind;
        QByteArray data;
    } cases[] = {
        {pdf, FileKind::regular, "%PDF-1.4 body"},
        {link, FileKind::regular, "%PDF-1.4 body"},
        {odd.pipe, FileKind::pipe, {}},
        {QStringLiteral("/dev/zero"), FileKind::device, {}},
        {odd.socket, FileKind::socket, {}},
        {odd.folder, FileKind::folder, {}},
        {odd.dir.filePath("missing.pdf"), FileKind::missing, {}},
    };
    for (const auto& c : cases) {
        QElapsedTimer clock;
        clock.start();
        const RegularFileRead read = readRegularFile(c.path);
        EXPECT_LT(clock.elapsed(), 1000) << c.path.toStdString();
        EXPECT_EQ(read.kind, c.kind) << c.path.toStdString();
        EXPECT_EQ(fileKindOf(c.path), c.kind) << c.path.toStdString();
        EXPECT_EQ(read.data, c.data) << c.path.toStdString();
        EXPECT_EQ(read.ok(), c.kind == FileKind::regular) << c.path.toStdString();
    }
    // The document engine reads through the same door.
    const auto fromPipe = vmk::pdf::Document::fromFile(odd.pipe);
    ASSERT_FALSE(fromPipe.ok());
    EXPECT_EQ(fromPipe.error(), "“pipe.pdf” isn’t a regular file.");
}

TEST(RegularFile, OpeningAPipeADeviceOrAFolderAsADocumentFailsByNameAndTheNextFileStillOpens)
{
    Oddities odd;
    UserDefaults defaults(odd.dir.filePath("defaults.ini"));
    vmk::test::TestController controller(&defaults);
    const QString good = vmk::test::writeFile(odd.dir, "good.pdf", "content");
    QElapsedTimer clock;
    clock.start();
    controller.open({odd.pipe, QStringLiteral("/dev/zero"), odd.socket, odd.folder, good});
    EXPECT_LT(clock.elapsed(), 2000);
    ASSERT_EQ(controller.documents().size(), 1u);
    EXPECT_EQ(controller.documents()[0]->filePath(), good);
    QStringList messages;
    for (const DocumentError& error : controller.presented) {
        messages << error.message;
        EXPECT_FALSE(error.recoverySuggestion.isEmpty()) << error.message.toStdString();
    }
    EXPECT_EQ(messages, QStringList({"“pipe.pdf” isn’t a regular file.", "“zero” isn’t a regular file.",
                                     "“socket.pdf” isn’t a regular file.", "“folder.pdf” is a folder."}));
}

// The engine reads a file straight into its own memory, or into memory it is handed: all of a regular
// file, nothing of anything else, and an empty file is no document.
TEST(RegularFile, TheEngineReadsWholeRegularFilesIntoItsOwnMemoryOrMemoryItIsGiven)
{
    Oddities odd;
    const QString pdf = vmk::test::writeFile(odd.dir, "two.pdf", vmk::test::assemblePdf(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>", "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>"}));
    const QString empty = vmk::test::writeFile(odd.dir, "empty.pdf", QByteArray());
    const struct {
        QString path;
        int pages; // -1: refused
    } cases[] = {{pdf, 2}, {empty, -1}, {odd.pipe, -1}, {odd.folder, -1}, {odd.dir.filePath("missing.pdf"), -1}};
    for (const auto& c : cases) {
        const auto opened = vmk::pdf::Document::fromFile(c.path);
        EXPECT_EQ(opened.ok() ? opened.value()->pageCount() : -1, c.pages) << c.path.toStdString();
        // Memory given holds other bytes: what is opened is the file. Memory someone else still holds
        // is left as it was.
        const QByteArray other = vmk::test::assemblePdf(
            {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
             "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>"}) + QByteArray(4096, ' ');
        const QByteArray shared = other;
        for (int given = 0; given < 3; ++given) {
            QByteArray memory = given == 0 ? QByteArray(other.constData(), other.size()) : given == 1 ? shared : "x";
            const auto into = vmk::pdf::Document::fromFileInto(c.path, std::move(memory));
            EXPECT_EQ(into.ok() ? into.value()->pageCount() : -1, c.pages) << c.path.toStdString();
            if (into.ok())
                EXPECT_EQ(into.value()->page(1)->mediaBox().width(), 612);
        }
        EXPECT_EQ(shared, other);
    }
}
