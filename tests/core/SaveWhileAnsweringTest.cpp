// Saving a large document: the copy is written and checked on a worker while the window keeps answering.

#include "core/PDFOps.h"
#include "core/VMKDocument.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include "support/QpdfPages.h"
#include "support/MainThreadStall.h"
#include "support/PdfBuilder.h"
#include "support/Slowdown.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;

using vmk::test::QpdfPage;
using vmk::test::qpdfPages;

namespace {

constexpr int kPages = 160;
constexpr int kPerPage = 30;

// kPages pages turned by 0, 90, 180 or 270 degrees, each with kPerPage notes and squares that carry text
// and share one appearance, as files written by other programs have them.
const QByteArray& manyAnnotations()
{
    static const QByteArray bytes = [] {
        QList<QByteArray> objects;
        objects << "<< /Type /Catalog /Pages 2 0 R >>";
        QByteArray kids;
        const int per = 1 + kPerPage;
        for (int i = 0; i < kPages; ++i)
            kids += test::ref(4 + i * per) + ' ';
        objects << "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(kPages) + " >>";
        objects << test::pdfStream({}, "0 0 1 rg 10 10 50 50 re f");
        const QByteArray appearance = "/AP << /N " + test::ref(4 + kPages * per) + " >>";
        for (int i = 0; i < kPages; ++i) {
            const int pageNum = 4 + i * per;
            QByteArray annots;
            for (int a = 0; a < kPerPage; ++a)
                annots += test::ref(pageNum + 1 + a) + ' ';
            objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 600 800] /Rotate " + QByteArray::number((i % 4) * 90)
                           + " /Contents 3 0 R /Annots [" + annots + "] >>";
            for (int a = 0; a < kPerPage; ++a) {
                const int x = 20 + (a % 10) * 55, y = 20 + (a / 10) * 30;
                const QByteArray rect = QByteArray::number(x) + " " + QByteArray::number(y) + " "
                                        + QByteArray::number(x + 40) + " " + QByteArray::number(y + 20);
                const QByteArray tag = QByteArray::number(i) + "-" + QByteArray::number(a);
                objects << (a % 2 ? "<< /Type /Annot /Subtype /Square /Rect [" + rect + "] /C [1 0 0] " + appearance
                                        + " /Contents (square " + tag + ") >>"
                                  : "<< /Type /Annot /Subtype /Text /Rect [" + rect + "] " + appearance + " /Contents (note "
                                        + tag + ") >>");
            }
        }
        objects << test::pdfStream("/Type /XObject /Subtype /Form /BBox [0 0 40 20]", "1 0 0 rg 0 0 40 20 re f");
        return test::assemblePdf(objects);
    }();
    return bytes;
}

// Saves on the next turn of the event loop, as a menu command would, and answers the longest time the
// main thread went without a turn meanwhile. `meanwhile` runs once the bytes are made, while the copy is
// written and checked, as a queued step that puts itself off while the engine writes would.
qint64 saveAnswering(VMKDocument& document, platform::MaybeError* error, const std::function<void()>& meanwhile = {})
{
    bool saving = true;
    QTimer::singleShot(0, [&] {
        *error = document.save();
        saving = false;
    });
    bool written = false;
    QTimer step;
    QObject::connect(&step, &QTimer::timeout, [&] {
        if (pdf::Document::isWritingUnderWay()) {
            written = true;
        } else if (written && meanwhile) {
            step.stop();
            meanwhile();
        }
    });
    step.start(1);
    return test::longestMainThreadStall([&] { return saving; }, test::scaledMs(60000));
}

class FailingVerification : public VMKDocument {
protected:
    bool verifySavedFile(const QString&, const std::vector<PDFOps::PageFacts>&, const std::optional<QString>&,
                         QByteArray) override
    {
        return false;
    }
};

} // namespace

TEST(SaveWhileAnswering, ALargeSaveKeepsTheWindowAnsweringAndEditsMeanwhileStayUnsaved)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, "large.pdf", manyAnnotations());
    VMKDocument document;
    ASSERT_FALSE(document.openFile(path).has_value());
    // Saved once already, as a document worked on is.
    document.updateChangeCount(platform::ChangeType::Done);
    ASSERT_FALSE(document.save().has_value());
    // The user added one note before saving again.
    auto added = pdf::Annotation::create("Text", QRectF(300, 700, 20, 20));
    added->setContents(QStringLiteral("added before saving"));
    document.pdf()->page(1)->addAnnotation(added);
    document.updateChangeCount(platform::ChangeType::Done);

    // Something changes the document once the bytes are made, while the copy is written and checked (a
    // queued step landing): it is not in the copy, and the document stays edited.
    bool editedWhileSaving = false;
    platform::MaybeError error;
    QElapsedTimer clock;
    clock.start();
    const qint64 stall = saveAnswering(document, &error, [&] {
        editedWhileSaving = document.isSaving();
        auto late = pdf::Annotation::create("Square", QRectF(300, 600, 40, 40));
        document.pdf()->page(2)->addAnnotation(late);
        document.updateChangeCount(platform::ChangeType::Done);
        // A second save meanwhile is refused, visibly.
        const platform::MaybeError refused = document.save();
        EXPECT_TRUE(refused.has_value() && refused->code == platform::DocumentError::FileWriteUnknown);
    });
    const qint64 savingMs = clock.elapsed();
    ASSERT_FALSE(error.has_value()) << error->message.toStdString();
    EXPECT_TRUE(editedWhileSaving) << "the save ended before the edit; saving took " << savingMs << " ms";
    // Writing and checking the copy on the main thread held it for 110 to 200 ms.
    EXPECT_LT(stall, test::scaledMs(100)) << "saving took " << savingMs << " ms";
    EXPECT_TRUE(document.isEdited());
    EXPECT_EQ(document.changeCount(), 1);

    // A second engine reads every page as it was when the save began.
    EXPECT_EQ(test::runCommand("qpdf", {"--check", path}).exitCode, 0);
    std::vector<QpdfPage> pages = qpdfPages(path);
    ASSERT_EQ(int(pages.size()), kPages);
    for (int i = 0; i < kPages; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pages[size_t(i)].rotation, (i % 4) * 90);
        EXPECT_EQ(pages[size_t(i)].kinds.size(), kPerPage + (i == 1 ? 1 : 0));
        EXPECT_EQ(pages[size_t(i)].kinds.count("Text"), kPerPage / 2 + (i == 1 ? 1 : 0));
        EXPECT_TRUE(pages[size_t(i)].notes.contains(QStringLiteral("square %1-%2").arg(i).arg(kPerPage - 1)));
    }
    EXPECT_TRUE(pages[1].notes.contains("added before saving"));

    // The next save writes the change made meanwhile.
    EXPECT_FALSE(document.save().has_value());
    EXPECT_FALSE(document.isEdited());
    pages = qpdfPages(path);
    ASSERT_EQ(int(pages.size()), kPages);
    EXPECT_EQ(pages[2].kinds.count("Square"), kPerPage / 2 + 1);
}

TEST(SaveWhileAnswering, ALargeSaveThatFailsItsCheckSaysSoAndLeavesTheOriginal)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, "large.pdf", manyAnnotations());
    FailingVerification document;
    ASSERT_FALSE(document.openFile(path).has_value());
    document.pdf()->page(0)->setRotation(90);
    document.updateChangeCount(platform::ChangeType::Done);

    platform::MaybeError error;
    saveAnswering(document, &error);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message, VMKDocument::verificationFailedError().message);
    EXPECT_TRUE(document.isEdited());
    EXPECT_FALSE(document.isSaving());
    EXPECT_EQ(test::readFile(path), manyAnnotations());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"large.pdf"});
}
