#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/PdfFixtures.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/TestFiles.h"

using namespace vmk::pdf;
namespace fixtures = vmk::test::pdf;

namespace {

DocumentPtr open(const QByteArray& data) { return vmk::test::pdf::openPdf(data); }

QString firstLine(const PagePtr& page) { return page->text().section(QLatin1Char('\n'), 0, 0); }

} // namespace

TEST(PdfDocument, BadInputGivesErrorValues)
{
    EXPECT_FALSE(Document::fromData(QByteArray()).ok());

    QByteArray random(4096, '\0');
    QRandomGenerator generator(42);
    for (char& b : random)
        b = char(generator.bounded(256));
    EXPECT_FALSE(Document::fromData(random).ok());
    EXPECT_FALSE(Document::fromData("%PDF-1.7\n" + random).ok());

    const QByteArray valid = fixtures::textPdf({"One", "Two", "Three"});
    for (qsizetype cut : {qsizetype(20), valid.size() / 3}) {
        Result<DocumentPtr> truncated = Document::fromData(valid.left(cut));
        // Either refused, or repaired into something usable: never a crash, never an empty success.
        if (truncated.ok()) {
            EXPECT_GT((*truncated)->pageCount(), 0);
        }
    }
    EXPECT_FALSE(Document::fromData(valid.left(20)).ok());
    EXPECT_FALSE(Document::fromFile(QStringLiteral("/nonexistent/file.pdf")).ok());
}

TEST(PdfDocument, OpensFromFileAndReadsText)
{
    QTemporaryDir dir;
    const QString path = vmk::test::writeFile(dir, "text.pdf", fixtures::textPdf({"Hello there", "Second page"}));
    Result<DocumentPtr> doc = Document::fromFile(path);
    ASSERT_TRUE(doc.ok()) << qPrintable(doc.error());
    ASSERT_EQ((*doc)->pageCount(), 2);
    EXPECT_FALSE((*doc)->isEncrypted());
    EXPECT_FALSE((*doc)->isLocked());
    EXPECT_EQ(firstLine((*doc)->page(0)), QStringLiteral("Hello there"));
    EXPECT_EQ(firstLine((*doc)->page(1)), QStringLiteral("Second page"));
    EXPECT_EQ((*doc)->page(2), nullptr);
    EXPECT_EQ((*doc)->page(-1), nullptr);
}

TEST(PdfDocument, PasswordsLockAndUnlock)
{
    DocumentPtr doc = open(fixtures::textPdf({"Secret"}));
    ASSERT_TRUE(doc);
    Result<QByteArray> userOnly = doc->dataRepresentation(WriteOptions::protect("user"));
    ASSERT_TRUE(userOnly.ok()) << qPrintable(userOnly.error());
    Result<QByteArray> both = doc->dataRepresentation(WriteOptions::protect("user", "owner"));
    ASSERT_TRUE(both.ok());

    DocumentPtr locked = open(*userOnly);
    ASSERT_TRUE(locked);
    EXPECT_TRUE(locked->isEncrypted());
    EXPECT_TRUE(locked->isLocked());
    EXPECT_EQ(locked->pageCount(), 0);
    EXPECT_EQ(locked->unlock("wrong"), std::nullopt);
    EXPECT_TRUE(locked->isLocked());
    // Without a separate owner password the user password is the owner password too.
    EXPECT_EQ(locked->unlock("user"), PasswordKind::Owner);
    EXPECT_FALSE(locked->isLocked());
    EXPECT_EQ(locked->pageCount(), 1);
    EXPECT_EQ(firstLine(locked->page(0)), QStringLiteral("Secret"));

    DocumentPtr withUser = open(*both);
    EXPECT_EQ(withUser->unlock("owner-typo"), std::nullopt);
    EXPECT_EQ(withUser->unlock("user"), PasswordKind::User);
    DocumentPtr withOwner = open(*both);
    EXPECT_EQ(withOwner->unlock("owner"), PasswordKind::Owner);
    EXPECT_EQ(withOwner->pageCount(), 1);

    // A plain write of an unlocked encrypted document keeps its encryption; the explicit choice removes it.
    DocumentPtr kept = open(*withOwner->dataRepresentation());
    EXPECT_TRUE(kept->isLocked());
    DocumentPtr plain = open(*withOwner->dataRepresentation(WriteOptions::withoutEncryption()));
    EXPECT_FALSE(plain->isEncrypted());
    EXPECT_EQ(plain->pageCount(), 1);
    // And the previous write's choice does not stick to the next one.
    DocumentPtr again = open(*withOwner->dataRepresentation(WriteOptions::protect("new")));
    EXPECT_TRUE(again->isLocked());
    EXPECT_EQ(again->unlock("user"), std::nullopt);
    EXPECT_TRUE(again->unlock("new").has_value());

    // A locked document refuses to be written.
    EXPECT_FALSE(open(*userOnly)->dataRepresentation().ok());
}

TEST(PdfDocument, PageIdentitySurvivesRemoveInsertAndExchange)
{
    DocumentPtr doc = open(fixtures::textPdf({"A", "B", "C"}));
    ASSERT_EQ(doc->pageCount(), 3);
    PagePtr a = doc->page(0), b = doc->page(1), c = doc->page(2);
    EXPECT_EQ(doc->page(0), a); // same handle every time
    EXPECT_EQ(doc->indexOf(c), 2);

    PagePtr removed = doc->removePage(1);
    EXPECT_EQ(removed, b);
    EXPECT_EQ(doc->pageCount(), 2);
    EXPECT_EQ(doc->indexOf(b), -1);
    EXPECT_EQ(b->document(), nullptr);
    EXPECT_EQ(firstLine(b), QStringLiteral("B")); // still readable while out of the document

    ASSERT_TRUE(doc->insertPage(b, 0).ok());
    EXPECT_EQ(doc->page(0), b);
    EXPECT_EQ(doc->indexOf(a), 1);
    EXPECT_EQ(b->document(), doc);
    EXPECT_FALSE(doc->insertPage(b, 1).ok()); // already there

    ASSERT_TRUE(doc->exchangePages(0, 2).ok());
    EXPECT_EQ(doc->page(0), c);
    EXPECT_EQ(doc->page(2), b);

    // The file says the same.
    DocumentPtr reread = open(*doc->dataRepresentation());
    ASSERT_EQ(reread->pageCount(), 3);
    EXPECT_EQ(firstLine(reread->page(0)), QStringLiteral("C"));
    EXPECT_EQ(firstLine(reread->page(1)), QStringLiteral("A"));
    EXPECT_EQ(firstLine(reread->page(2)), QStringLiteral("B"));

    // A page removed for good is not written.
    doc->removePage(2);
    const QByteArray bytes = *doc->dataRepresentation(WriteOptions::withoutEncryption());
    DocumentPtr shorter = open(bytes);
    EXPECT_EQ(shorter->pageCount(), 2);
    EXPECT_FALSE(shorter->page(0)->text().contains("B") || shorter->page(1)->text().contains("B"));
}

TEST(PdfDocument, PagesMoveBetweenDocumentsKeepingTheirHandles)
{
    DocumentPtr source = open(fixtures::textPdf({"From elsewhere", "Stays"}));
    DocumentPtr target = open(fixtures::textPdf({"Home"}));
    PagePtr moving = source->page(0);
    ASSERT_TRUE(target->insertPage(moving, 1).ok());
    EXPECT_EQ(source->pageCount(), 1);
    EXPECT_EQ(source->indexOf(moving), -1);
    EXPECT_EQ(target->indexOf(moving), 1);
    EXPECT_EQ(moving->document(), target);
    EXPECT_EQ(firstLine(moving), QStringLiteral("From elsewhere"));

    // A copy is a new page with the same content; a blank page is standalone until inserted.
    PagePtr copy = moving->copy();
    ASSERT_TRUE(copy);
    EXPECT_NE(copy, moving);
    EXPECT_EQ(copy->document(), nullptr);
    EXPECT_EQ(firstLine(copy), QStringLiteral("From elsewhere"));
    PagePtr blank = Page::createBlank(QRectF(0, 0, 300, 200), 90);
    ASSERT_TRUE(blank);
    EXPECT_EQ(blank->mediaBox(), QRectF(0, 0, 300, 200));
    EXPECT_EQ(blank->rotation(), 90);
    ASSERT_TRUE(target->insertPage(copy, 0).ok());
    ASSERT_TRUE(target->insertPage(blank, 3).ok());

    DocumentPtr reread = open(*target->dataRepresentation());
    ASSERT_EQ(reread->pageCount(), 4);
    EXPECT_EQ(firstLine(reread->page(0)), QStringLiteral("From elsewhere"));
    EXPECT_EQ(firstLine(reread->page(1)), QStringLiteral("Home"));
    EXPECT_EQ(firstLine(reread->page(2)), QStringLiteral("From elsewhere"));
    EXPECT_EQ(reread->page(3)->mediaBox(), QRectF(0, 0, 300, 200));
    EXPECT_EQ(reread->page(3)->rotation(), 90);
    EXPECT_TRUE(reread->page(3)->text().isEmpty());

    // Building a document from scratch works as well.
    DocumentPtr empty = Document::createEmpty();
    EXPECT_EQ(empty->pageCount(), 0);
    ASSERT_TRUE(empty->insertPage(reread->page(1)->copy(), 0).ok());
    EXPECT_EQ(firstLine(open(*empty->dataRepresentation())->page(0)), QStringLiteral("Home"));
}

TEST(PdfDocument, AttributesRoundTrip)
{
    DocumentPtr doc = open(fixtures::textPdf({"x"}));
    doc->setAttribute(DocumentAttribute::Title, QStringLiteral("Résumé “draft”"));
    doc->setAttribute(DocumentAttribute::Author, QStringLiteral("Ada"));
    doc->setAttribute(DocumentAttribute::CreationDate, QStringLiteral("D:20240102030405Z"));
    DocumentPtr reread = open(*doc->dataRepresentation());
    EXPECT_EQ(reread->attribute(DocumentAttribute::Title), QStringLiteral("Résumé “draft”"));
    EXPECT_EQ(reread->attribute(DocumentAttribute::Author), QStringLiteral("Ada"));
    QMap<DocumentAttribute, QString> attributes = reread->attributes();
    attributes.remove(DocumentAttribute::CreationDate);
    reread->setAttributes(attributes);
    EXPECT_TRUE(reread->attribute(DocumentAttribute::CreationDate).isEmpty());
    EXPECT_EQ(reread->attribute(DocumentAttribute::Author), QStringLiteral("Ada"));
}
