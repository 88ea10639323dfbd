// Links, outline and form fields across a password removal; building outlines; XObject walks.

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/PdfFixtures.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/TestFiles.h"

using namespace vmk::pdf;
namespace fixtures = vmk::test::pdf;

namespace {

DocumentPtr open(const QByteArray& data) { return vmk::test::pdf::openPdf(data); }

void expectLinkOutlineAndField(const DocumentPtr& doc)
{
    ASSERT_EQ(doc->pageCount(), 2);
    PagePtr first = doc->page(0);
    AnnotationPtr link, widget;
    for (const AnnotationPtr& a : first->annotations()) {
        if (a->type() == QLatin1String("Link"))
            link = a;
        if (a->isWidget())
            widget = a;
    }
    ASSERT_TRUE(link);
    const std::optional<Destination> target = link->linkDestination();
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->page, doc->page(1));
    ASSERT_TRUE(widget);

    const std::optional<OutlineItem> outline = doc->outline();
    ASSERT_TRUE(outline.has_value());
    ASSERT_EQ(outline->children.size(), 2);
    EXPECT_EQ(outline->children[0].label, QStringLiteral("Start"));
    EXPECT_EQ(outline->children[0].destination->page, first);
    const OutlineItem& second = outline->children[1];
    EXPECT_EQ(second.label, QStringLiteral("Second"));
    EXPECT_TRUE(second.isOpen);
    ASSERT_EQ(second.children.size(), 1);
    EXPECT_EQ(second.children[0].destination->page, doc->page(1));
    EXPECT_EQ(second.children[0].destination->point, QPointF(72, 400));
}

} // namespace

TEST(PdfStructure, RemovingThePasswordKeepsLinksOutlineAndFormFields)
{
    DocumentPtr source = open(fixtures::linkOutlineFormPdf());
    expectLinkOutlineAndField(source);
    DocumentPtr locked = open(*source->dataRepresentation(WriteOptions::protect("pw")));
    ASSERT_TRUE(locked->isLocked());
    ASSERT_TRUE(locked->unlock("pw").has_value());
    expectLinkOutlineAndField(locked);

    QTemporaryDir dir;
    const QString path = dir.filePath("open.pdf");
    ASSERT_TRUE(locked->write(path, WriteOptions::withoutEncryption()).ok());
    const vmk::test::CommandResult check = vmk::test::runCommand("qpdf", {"--check", path});
    EXPECT_EQ(check.exitCode, 0) << check.out.constData();
    Result<DocumentPtr> reopened = Document::fromFile(path);
    ASSERT_TRUE(reopened.ok());
    EXPECT_FALSE((*reopened)->isEncrypted());
    EXPECT_FALSE((*reopened)->isLocked());
    expectLinkOutlineAndField(*reopened);
    // Another engine sees the field as well.
    const vmk::test::CommandResult fields = vmk::test::runCommand("qpdf", {"--json", "--json-key=acroform", path});
    EXPECT_TRUE(fields.out.contains("\"name\"")) << fields.out.constData();
}

TEST(PdfStructure, OutlineIsBuiltAndWritten)
{
    DocumentPtr doc = open(fixtures::textPdf({"a", "b", "c"}));
    EXPECT_FALSE(doc->outline().has_value());
    OutlineItem root;
    OutlineItem chapter{QStringLiteral("Chapter “One”"), Destination{doc->page(1), QPointF(10, 700)}, true, {}};
    chapter.children.append(OutlineItem{QStringLiteral("Section"), Destination{doc->page(2), QPointF(0, 300)}, false, {}});
    root.children.append(chapter);
    root.children.append(OutlineItem{QStringLiteral("Loose end"), std::nullopt, false, {}});
    // A destination on a page of no document is dropped, the entry kept.
    root.children.append(OutlineItem{QStringLiteral("Gone"), Destination{Page::createBlank(QRectF(0, 0, 10, 10)), {}}, false, {}});
    doc->setOutline(root);

    QTemporaryDir dir;
    const QString path = dir.filePath("outline.pdf");
    ASSERT_TRUE(doc->write(path).ok());
    EXPECT_EQ(vmk::test::runCommand("qpdf", {"--check", path}).exitCode, 0);
    DocumentPtr reread = *Document::fromFile(path);
    const std::optional<OutlineItem> outline = reread->outline();
    ASSERT_TRUE(outline.has_value());
    ASSERT_EQ(outline->children.size(), 3);
    const OutlineItem& first = outline->children[0];
    EXPECT_EQ(first.label, QStringLiteral("Chapter “One”"));
    EXPECT_TRUE(first.isOpen);
    EXPECT_EQ(reread->indexOf(first.destination->page), 1);
    EXPECT_EQ(first.destination->point, QPointF(10, 700));
    ASSERT_EQ(first.children.size(), 1);
    EXPECT_EQ(reread->indexOf(first.children[0].destination->page), 2);
    EXPECT_FALSE(outline->children[1].destination.has_value());
    EXPECT_FALSE(outline->children[2].destination.has_value());

    reread->setOutline(std::nullopt);
    EXPECT_FALSE(open(*reread->dataRepresentation())->outline().has_value());
}

TEST(PdfStructure, XObjectWalkFindsThePagesImages)
{
    // Qt's PDF writer places images as image XObjects on the page.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        QPainter painter(&writer);
        QImage image(40, 40, QImage::Format_RGB32);
        image.fill(Qt::red);
        painter.drawImage(QRectF(100, 100, 200, 200), image);
    }
    DocumentPtr doc = open(buffer.data());
    bool foundImage = false;
    std::function<void(const QList<XObjectNode>&)> walk = [&](const QList<XObjectNode>& nodes) {
        for (const XObjectNode& n : nodes) {
            foundImage = foundImage || n.subtype == QLatin1String("Image");
            walk(n.children);
        }
    };
    walk(doc->page(0)->xObjects());
    EXPECT_TRUE(foundImage);
    EXPECT_TRUE(open(fixtures::textPdf({"no pictures"}))->page(0)->xObjects().isEmpty());
}
