// Guards that read what a save wrote from the file itself — qpdf's view of the raw objects and of the
// encryption dictionary — rather than through our own reader, which would quietly mend or ignore a
// wrong value (a crop box beyond the page reads back clipped; any encryption that opens reads back fine).

#include "CoreFixtures.h"

#include "core/PDFOps.h"
#include "core/VMKDocument.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include "support/TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;

namespace {

// Each page's own /CropBox as written (empty when the page has none), read by qpdf.
QList<QJsonArray> writtenCropBoxes(const QString& path)
{
    const QJsonObject root = QJsonDocument::fromJson(test::runCommand("qpdf", {"--json=2", path}).out).object();
    const QJsonObject objects = root.value("qpdf").toArray().at(1).toObject();
    QList<QJsonArray> boxes;
    for (const QJsonValue& page : root.value("pages").toArray()) {
        const QJsonObject dict =
            objects.value("obj:" + page.toObject().value("object").toString()).toObject().value("value").toObject();
        QJsonValue box = dict.value("/CropBox");
        if (box.isString())
            box = objects.value("obj:" + box.toString()).toObject().value("value");
        boxes.append(box.toArray());
    }
    return boxes;
}

QRectF asRect(const QJsonArray& box)
{
    if (box.size() != 4)
        return {};
    return QRectF(QPointF(box[0].toDouble(), box[1].toDouble()), QPointF(box[2].toDouble(), box[3].toDouble()))
        .normalized();
}

} // namespace

TEST(WrittenBytesGuards, ACropBoxIsWrittenClippedAndAMissedPageKeepsItsOwn)
{
    QTemporaryDir dir;
    auto document = pdf::Document::fromData(coretest::makePdf(3)).value();
    PDFOps::crop(*document, {0}, QRectF(-50, 100, 400, 2000)); // spills over three edges
    PDFOps::crop(*document, {1}, QRectF(700, 900, 50, 50));    // wholly off the page
    PDFOps::crop(*document, {2}, QRectF(100, 100, 200, 300));  // inside
    const QString path = test::writeFile(dir, "cropped.pdf", document->dataRepresentation().value());

    const QList<QJsonArray> boxes = writtenCropBoxes(path);
    ASSERT_EQ(boxes.size(), 3);
    EXPECT_EQ(asRect(boxes[0]), QRectF(0, 100, 350, 692));
    EXPECT_TRUE(boxes[1].isEmpty()) << "a crop that misses the page was written anyway";
    EXPECT_EQ(asRect(boxes[2]), QRectF(100, 100, 200, 300));
    EXPECT_TRUE(coretest::qpdfAccepts(path));
}

TEST(WrittenBytesGuards, ProtectionWritesAes256AndAnOwnerPasswordRestricts)
{
    if (!test::commandExists("qpdf"))
        GTEST_SKIP() << "qpdf is not installed";
    struct Case {
        const char* name;
        Protection protection;
        bool restricted;
    };
    const Case cases[] = {
        {"user only", Protection{"user1", std::nullopt}, false},
        {"same owner", Protection{"user1", QString("user1")}, false},
        {"separate owner", Protection{"user1", QString("owner1")}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        VMKDocument document;
        ASSERT_FALSE(document.openFile(test::writeFile(dir, "p.pdf", coretest::makePdf(1))).has_value());
        document.setProtection(c.protection);
        ASSERT_FALSE(document.save().has_value());

        const QString shown = QString::fromUtf8(
            test::runCommand("qpdf", {"--show-encryption", "--password=user1", dir.filePath("p.pdf")}).out);
        EXPECT_TRUE(shown.contains("R = 6")) << qPrintable(shown);
        EXPECT_TRUE(shown.contains("AESv3")) << qPrintable(shown);
        EXPECT_EQ(shown.contains("modify anything: not allowed"), c.restricted) << qPrintable(shown);
        EXPECT_EQ(shown.contains("print high resolution: not allowed"), c.restricted) << qPrintable(shown);
        // Reading is never what an owner password guards.
        EXPECT_TRUE(shown.contains("extract for accessibility: allowed")) << qPrintable(shown);
        if (c.restricted) {
            const QString owner = QString::fromUtf8(
                test::runCommand("qpdf", {"--show-encryption", "--password=owner1", dir.filePath("p.pdf")}).out);
            EXPECT_TRUE(owner.contains("Supplied password is owner password")) << qPrintable(owner);
        }
    }
}
