// A write asked for from a worker makes what it needs a slice at a time on the main thread, and the window
// has its turn between the slices: an edit of the page tree made in between is what the next slice finds.

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/engine/Wait.h"

#include "platform/pdf/PdfFixtures.h"
#include "support/QpdfPages.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

using namespace vmk::pdf;
using vmk::test::pdf::openPdf;
using vmk::test::pdf::textPdf;

namespace {

// The notes of the document's pages, in its order now.
std::vector<QStringList> notesOf(const Document& document)
{
    std::vector<QStringList> notes;
    for (const PagePtr& page : document.pages()) {
        QStringList onPage;
        for (const AnnotationPtr& annotation : page->annotations())
            onPage << annotation->contents();
        notes.push_back(onPage);
    }
    return notes;
}

// Seven text pages with a new square on each, its note naming the page.
DocumentPtr annotatedDocument()
{
    const DocumentPtr document =
        openPdf(textPdf({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                         QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7")}));
    for (int i = 0; document && i < document->pageCount(); ++i) {
        const AnnotationPtr box = Annotation::create(QStringLiteral("Square"), QRectF(72, 72, 144, 72));
        box->setContents(QStringLiteral("page %1").arg(i + 1));
        document->page(i)->addAnnotation(box);
    }
    return document;
}

// Writes the document from a worker; `edit` runs on the window's turn after the slice that visits page 2.
Result<QByteArray> writeEditedBetweenSlices(const DocumentPtr& document, const std::function<void(Document&)>& edit)
{
    bool edited = false;
    Result<QByteArray> bytes = Result<QByteArray>::failure(QStringLiteral("not written"));
    waitWhileAnswering([&] {
        bytes = document->dataRepresentationFromWorker({}, [&](int index, const PagePtr&) {
            if (index == 1 && !edited) {
                edited = true;
                // The slice is spent: the edit runs on the window's turn before the next slice.
                QThread::msleep(30);
                QTimer::singleShot(0, QCoreApplication::instance(), [&] { edit(*document); });
            }
            return true;
        });
    }, OnCancel::Finish, 0);
    EXPECT_TRUE(edited);
    return bytes;
}

// Every page of the written bytes carries the notes the document's page has, each with an appearance.
void expectWrittenAsTheDocumentIs(const Result<QByteArray>& bytes, const Document& document)
{
    ASSERT_TRUE(bytes.ok()) << qPrintable(bytes.error());
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("written.pdf")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(*bytes) == bytes->size());
    file.close();
    const std::vector<vmk::test::QpdfPage> written = vmk::test::qpdfPages(file.fileName());
    const std::vector<QStringList> expected = notesOf(document);
    ASSERT_EQ(written.size(), expected.size());
    for (size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(written[i].notes, expected[i]) << "page " << i + 1;
        EXPECT_EQ(written[i].withAppearance, expected[i].size()) << "page " << i + 1;
    }
}

} // namespace

// Pages already looked up in one slice are found again in the next: a page moved, inserted or removed in
// between must not be found where it was, or its new annotations would be drawn on another page, or not
// at all, and written without an appearance.
TEST(WriteInSlices, AnEditOfThePageTreeBetweenSlicesIsWrittenAsTheDocumentNowIs)
{
    const std::vector<std::pair<const char*, std::function<void(Document&)>>> cases = {
        {"pages exchanged", [](Document& d) { ASSERT_TRUE(d.exchangePages(2, 5).ok()); }},
        {"a page removed", [](Document& d) { ASSERT_NE(d.removePage(2), nullptr); }},
        {"a page inserted", [](Document& d) {
             const DocumentPtr other = openPdf(textPdf({QStringLiteral("inserted")}));
             ASSERT_TRUE(other && d.insertPage(other->page(0), 2).ok());
         }},
    };
    for (const auto& [name, edit] : cases) {
        SCOPED_TRACE(name);
        const DocumentPtr document = annotatedDocument();
        ASSERT_TRUE(document);
        expectWrittenAsTheDocumentIs(writeEditedBetweenSlices(document, edit), *document);
    }
}

// A page removed while the pass goes over the pages cannot be drawn on; put back, its annotations are
// drawn for the next write as those of any other page.
TEST(WriteInSlices, APageRemovedBetweenSlicesAndPutBackIsWrittenWithItsAppearances)
{
    const DocumentPtr document = annotatedDocument();
    ASSERT_TRUE(document);
    PagePtr removed;
    expectWrittenAsTheDocumentIs(writeEditedBetweenSlices(document, [&](Document& d) { removed = d.removePage(2); }),
                                 *document);
    ASSERT_TRUE(removed && document->insertPage(removed, 2).ok());
    expectWrittenAsTheDocumentIs(writeEditedBetweenSlices(document, [](Document&) {}), *document);
}
