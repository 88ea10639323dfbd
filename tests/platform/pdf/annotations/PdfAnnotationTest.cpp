#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/annotations/AppearanceBuilder.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/PdfFixtures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

using namespace vmk::pdf;
namespace fixtures = vmk::test::pdf;

namespace {

DocumentPtr open(const QByteArray& data) { return vmk::test::pdf::openPdf(data); }

bool near(const QPointF& a, const QPointF& b, double tolerance = 0.05)
{
    return qAbs(a.x() - b.x()) <= tolerance && qAbs(a.y() - b.y()) <= tolerance;
}

bool nearColor(const QColor& a, const QColor& b)
{
    return qAbs(a.redF() - b.redF()) < 0.01 && qAbs(a.greenF() - b.greenF()) < 0.01 && qAbs(a.blueF() - b.blueF()) < 0.01
        && qAbs(a.alphaF() - b.alphaF()) < 0.01;
}

struct Placed {
    QString userName;
    QRectF bounds; // page space
};

// One annotation of every kind the application writes, each tagged with a user name, on a Letter page
// at distinct places.
QList<Placed> addEveryKind(const PagePtr& page, const QByteArray& stampPdf)
{
    QList<Placed> placed;
    auto add = [&](const AnnotationPtr& a, const QString& tag) {
        a->setUserName(tag);
        page->addAnnotation(a);
        placed.append({tag, a->bounds()});
    };
    AnnotationPtr square = Annotation::create("Square", QRectF(50, 650, 100, 60));
    square->setColor(QColor(255, 0, 0));
    square->setInteriorColor(QColor(0, 0, 255));
    square->setLineWidth(3);
    add(square, "t.square");

    AnnotationPtr circle = Annotation::create("Circle", QRectF(200, 650, 80, 60));
    circle->setColor(QColor(0, 128, 0));
    circle->setLineWidth(4);
    add(circle, "t.circle");

    AnnotationPtr line = Annotation::create("Line", QRectF(350, 640, 150, 80));
    line->setColor(QColor(0, 0, 0));
    line->setLineWidth(3);
    line->setStartPoint(QPointF(5, 5));
    line->setEndPoint(QPointF(145, 75));
    line->setEndLineEnding(LineEnding::ClosedArrow);
    line->setInteriorColor(QColor(0, 0, 0));
    add(line, "t.line");

    AnnotationPtr ink = Annotation::create("Ink", QRectF(50, 500, 120, 100));
    ink->setColor(QColor(0, 0, 200));
    ink->setLineWidth(4);
    QPainterPath stroke;
    stroke.moveTo(10, 10);
    stroke.cubicTo(40, 90, 80, 90, 110, 10);
    ink->addPath(stroke);
    add(ink, "t.ink");

    AnnotationPtr text = Annotation::create("FreeText", QRectF(200, 500, 200, 60));
    text->setContents("Typed words");
    text->setFontName("Helvetica");
    text->setFontSize(20);
    text->setFontColor(QColor(200, 0, 0));
    text->setColor(QColor(Qt::transparent));
    add(text, "t.freetext");

    AnnotationPtr note = Annotation::create("Text", QRectF(450, 520, 24, 24));
    note->setColor(QColor(255, 214, 10));
    note->setContents("A note");
    add(note, "t.note");

    const QList<QString> markups = {"Highlight", "Underline", "StrikeOut", "Squiggly"};
    for (int i = 0; i < markups.size(); ++i) {
        const QRectF r(50 + 130 * i, 400, 110, 20);
        AnnotationPtr m = Annotation::create(markups[i], r);
        m->setColor(i == 0 ? QColor(255, 214, 10, 128) : QColor(200, 0, 0));
        m->setQuadrilateralPoints({QPointF(0, 20), QPointF(110, 20), QPointF(0, 0), QPointF(110, 0)});
        add(m, "t." + markups[i].toLower());
    }

    AnnotationPtr stamp = Annotation::create("Stamp", QRectF(50, 200, 200, 100));
    add(stamp, "t.stamp");
    EXPECT_TRUE(stamp->setStampAppearance(stampPdf));
    return placed;
}

AnnotationPtr findByUser(const PagePtr& page, const QString& tag)
{
    for (const AnnotationPtr& a : page->annotations()) {
        if (a->userName() == tag)
            return a;
    }
    return nullptr;
}

// Page space (Letter, y up) to a 72 dpi raster (y down).
QRect toPixels(const QRectF& r) { return QRectF(r.left(), 792 - r.bottom(), r.width(), r.height()).toAlignedRect(); }

QByteArray blackBoxPdf()
{
    DocumentPtr doc = Document::createEmpty();
    PagePtr page = Page::createBlank(QRectF(0, 0, 100, 50));
    doc->insertPage(page, 0);
    AnnotationPtr box = Annotation::create("Square", QRectF(0, 0, 100, 50));
    box->setColor(QColor(0, 0, 0));
    box->setInteriorColor(QColor(0, 0, 0));
    page->addAnnotation(box);
    return *page->flattenedPdf();
}

} // namespace

TEST(PdfAnnotation, EveryKindSurvivesProtectedSaveAndOtherEnginesDrawIt)
{
    DocumentPtr doc = open(fixtures::textPdf({""}));
    PagePtr page = doc->page(0);
    const QList<Placed> placed = addEveryKind(page, blackBoxPdf());
    ASSERT_EQ(page->annotations().size(), placed.size());

    QTemporaryDir dir;
    const QString userPath = dir.filePath("user.pdf");
    const QString bothPath = dir.filePath("both.pdf");
    ASSERT_TRUE(doc->write(userPath, WriteOptions::protect("u")).ok());
    ASSERT_TRUE(doc->write(bothPath, WriteOptions::protect("u", "o")).ok());

    for (const QString& path : {userPath, bothPath}) {
        const vmk::test::CommandResult check = vmk::test::runCommand("qpdf", {"--password=u", "--check", path});
        EXPECT_EQ(check.exitCode, 0) << check.out.constData() << check.err.constData();
    }

    for (const auto& [path, password] : {std::pair{userPath, QString("u")}, {bothPath, QString("o")}, {bothPath, QString("u")}}) {
        Result<DocumentPtr> reopened = Document::fromFile(path);
        ASSERT_TRUE(reopened.ok());
        EXPECT_TRUE((*reopened)->isLocked());
        ASSERT_TRUE((*reopened)->unlock(password).has_value());
        PagePtr p = (*reopened)->page(0);
        ASSERT_EQ(p->annotations().size(), placed.size());
        for (const Placed& expected : placed) {
            AnnotationPtr a = findByUser(p, expected.userName);
            ASSERT_TRUE(a) << qPrintable(expected.userName);
            EXPECT_TRUE(a->bounds().contains(expected.bounds.adjusted(0.5, 0.5, -0.5, -0.5))) << qPrintable(expected.userName);
        }
        AnnotationPtr square = findByUser(p, "t.square");
        EXPECT_EQ(square->type(), QStringLiteral("Square"));
        EXPECT_TRUE(nearColor(square->color(), QColor(255, 0, 0)));
        EXPECT_TRUE(nearColor(*square->interiorColor(), QColor(0, 0, 255)));
        EXPECT_DOUBLE_EQ(*square->lineWidth(), 3.0);
        AnnotationPtr line = findByUser(p, "t.line");
        EXPECT_EQ(line->endLineEnding(), LineEnding::ClosedArrow);
        EXPECT_EQ(line->startLineEnding(), LineEnding::None);
        const QPointF origin = line->bounds().topLeft();
        EXPECT_TRUE(near(line->startPoint() + origin, QPointF(355, 645)));
        EXPECT_TRUE(near(line->endPoint() + origin, QPointF(495, 715)));
        AnnotationPtr freeText = findByUser(p, "t.freetext");
        EXPECT_EQ(freeText->contents(), QStringLiteral("Typed words"));
        EXPECT_EQ(freeText->fontName(), QStringLiteral("Helvetica"));
        EXPECT_DOUBLE_EQ(freeText->fontSize(), 20.0);
        EXPECT_TRUE(nearColor(freeText->fontColor(), QColor(200, 0, 0)));
        EXPECT_EQ(freeText->color().alpha(), 0);
        EXPECT_EQ(freeText->alignment(), TextAlignment::Left);
        AnnotationPtr highlight = findByUser(p, "t.highlight");
        EXPECT_NEAR(highlight->color().alphaF(), 0.5, 0.01);
        const QList<QPointF> quads = highlight->quadrilateralPoints();
        ASSERT_EQ(quads.size(), 4);
        EXPECT_TRUE(near(quads[0] + highlight->bounds().topLeft(), QPointF(50, 420)));
        EXPECT_TRUE(near(quads[3] + highlight->bounds().topLeft(), QPointF(160, 400)));
        EXPECT_EQ(findByUser(p, "t.note")->contents(), QStringLiteral("A note"));
        EXPECT_EQ(findByUser(p, "t.squiggly")->type(), QStringLiteral("Squiggly"));
        EXPECT_EQ(findByUser(p, "t.ink")->paths().size(), 1);
    }

    // A second engine draws every kind where it was placed.
    ASSERT_TRUE(doc->write(dir.filePath("plain.pdf"), WriteOptions::withoutEncryption()).ok());
    const QImage poppler = fixtures::renderWithPoppler(dir.filePath("plain.pdf"));
    ASSERT_FALSE(poppler.isNull());
    const QImage ours = page->render(1.0);
    ASSERT_EQ(ours.size(), QSize(612, 792));
    for (const Placed& p : placed) {
        EXPECT_GT(fixtures::inkPixels(poppler, toPixels(p.bounds)), 20) << "pdftoppm: " << qPrintable(p.userName);
        EXPECT_GT(fixtures::inkPixels(ours, toPixels(p.bounds)), 20) << "ours: " << qPrintable(p.userName);
    }
    // Without annotations the page is blank.
    EXPECT_EQ(fixtures::inkPixels(page->render(1.0, {false, {}}), QRect(0, 0, 612, 792)), 0);
}

TEST(PdfAnnotation, MovesBetweenPagesAndDocumentsKeepingIdentity)
{
    DocumentPtr doc = open(fixtures::textPdf({"one", "two"}));
    PagePtr first = doc->page(0), second = doc->page(1);
    AnnotationPtr square = Annotation::create("Square", QRectF(100, 100, 50, 50));
    EXPECT_EQ(square->page(), nullptr);
    square->setUserName("Vellumark.RedactionMark");
    first->addAnnotation(square);
    EXPECT_EQ(square->page(), first);
    second->addAnnotation(square);
    EXPECT_EQ(square->page(), second);
    EXPECT_TRUE(first->annotations().empty());
    ASSERT_EQ(second->annotations().size(), 1u);
    EXPECT_EQ(second->annotations()[0], square);

    second->removeAnnotation(square);
    EXPECT_EQ(square->page(), nullptr);
    EXPECT_TRUE(second->annotations().empty());

    DocumentPtr other = open(fixtures::textPdf({"elsewhere"}));
    other->page(0)->addAnnotation(square);
    EXPECT_EQ(square->page(), other->page(0));
    EXPECT_EQ(square->userName(), QStringLiteral("Vellumark.RedactionMark"));
    EXPECT_EQ(open(*other->dataRepresentation())->page(0)->annotations().size(), 1u);
    EXPECT_TRUE(open(*doc->dataRepresentation())->page(1)->annotations().empty());

    // A page that moves to another document takes its annotations, same objects, along.
    PagePtr carrier = other->removePage(0);
    ASSERT_TRUE(doc->insertPage(carrier, 0).ok());
    ASSERT_EQ(carrier->annotations().size(), 1u);
    EXPECT_EQ(carrier->annotations()[0], square);
    EXPECT_EQ(square->page(), carrier);
    EXPECT_EQ(open(*doc->dataRepresentation())->page(0)->annotations().size(), 1u);

    // A copy has copies.
    PagePtr copy = carrier->copy();
    ASSERT_EQ(copy->annotations().size(), 1u);
    EXPECT_NE(copy->annotations()[0], square);
    EXPECT_EQ(copy->annotations()[0]->userName(), QStringLiteral("Vellumark.RedactionMark"));
    EXPECT_EQ(copy->annotations()[0]->page(), copy);
}

TEST(PdfAnnotation, RelativeGeometryFollowsTheBounds)
{
    AnnotationPtr ink = Annotation::create("Ink", QRectF(100, 100, 50, 50));
    QPainterPath path;
    path.moveTo(5, 5);
    path.lineTo(45, 45);
    ink->setPaths({path});
    ink->setBounds(QRectF(300, 200, 50, 50));
    ASSERT_EQ(ink->paths().size(), 1);
    EXPECT_EQ(ink->paths()[0], path);

    AnnotationPtr line = Annotation::create("Line", QRectF(0, 0, 100, 100));
    line->setStartPoint(QPointF(10, 20));
    line->setEndPoint(QPointF(90, 80));
    line->setBounds(QRectF(50, 50, 100, 100));
    EXPECT_TRUE(near(line->startPoint(), QPointF(10, 20)));
    EXPECT_TRUE(near(line->endPoint(), QPointF(90, 80)));

    // The file holds absolute values; the paths come back relative after a save.
    DocumentPtr doc = open(fixtures::textPdf({""}));
    doc->page(0)->addAnnotation(ink);
    doc->page(0)->addAnnotation(line);
    PagePtr reread = open(*doc->dataRepresentation())->page(0);
    ASSERT_EQ(reread->annotations().size(), 2u);
    AnnotationPtr readInk = reread->annotations()[0];
    const QPointF shift = ink->bounds().topLeft() - readInk->bounds().topLeft();
    const QPolygonF polygon = readInk->paths().value(0).toFillPolygon();
    ASSERT_GE(polygon.size(), 2);
    EXPECT_TRUE(near(polygon.first() - shift, QPointF(5, 5)));
    AnnotationPtr readLine = reread->annotations()[1];
    EXPECT_TRUE(near(readLine->startPoint() + readLine->bounds().topLeft(), QPointF(60, 70)));
}

TEST(PdfAnnotation, CommonFieldsAndDisplayFlag)
{
    AnnotationPtr a = Annotation::create("Circle", QRectF(10, 10, 30, 30));
    EXPECT_EQ(Annotation::create("NoSuchKind", QRectF()), nullptr);
    EXPECT_EQ(a->type(), QStringLiteral("Circle"));
    EXPECT_FALSE(a->lineWidth().has_value());
    EXPECT_FALSE(a->interiorColor().has_value());
    a->setColor(QColor(10, 20, 30, 128));
    EXPECT_NEAR(a->color().alphaF(), 128 / 255.0, 0.01);
    a->setInteriorColor(QColor(Qt::black));
    a->setInteriorColor(std::nullopt);
    EXPECT_FALSE(a->interiorColor().has_value());
    a->setLineWidth(2.5);
    EXPECT_DOUBLE_EQ(*a->lineWidth(), 2.5);
    a->setContents("Ünïcode “quoted”");
    EXPECT_EQ(a->contents(), QStringLiteral("Ünïcode “quoted”"));
    EXPECT_TRUE(a->shouldDisplay());
    a->setShouldDisplay(false);
    EXPECT_FALSE(a->shouldDisplay());

    DocumentPtr doc = open(fixtures::textPdf({""}));
    doc->page(0)->addAnnotation(a);
    EXPECT_EQ(fixtures::inkPixels(doc->page(0)->render(1.0), QRect(0, 0, 612, 792)), 0);
    PagePtr reread = open(*doc->dataRepresentation())->page(0);
    EXPECT_FALSE(reread->annotations()[0]->shouldDisplay());
    reread->annotations()[0]->setShouldDisplay(true);
    EXPECT_GT(fixtures::inkPixels(reread->render(1.0), QRect(0, 0, 612, 792)), 0);
}

TEST(PdfAnnotation, RegisteredProviderDrawsOnScreenAndInTheFile)
{
    const int id = AppearanceRegistry::registerProvider(
        [](const Annotation& a) { return a.userName() == QLatin1String("test.greenbox"); },
        [](const Annotation& a, AppearanceBuilder& b) {
            b.setFillColor(QColor(0, 255, 0));
            b.fillRect(a.bounds());
            return true;
        });
    DocumentPtr doc = open(fixtures::textPdf({""}));
    AnnotationPtr a = Annotation::create("Square", QRectF(100, 100, 100, 100));
    a->setColor(QColor(255, 0, 0));
    a->setUserName("test.greenbox");
    doc->page(0)->addAnnotation(a);
    const QImage ours = doc->page(0)->render(1.0);
    EXPECT_EQ(ours.pixelColor(150, 792 - 150), QColor(0, 255, 0));

    QTemporaryDir dir;
    ASSERT_TRUE(doc->write(dir.filePath("g.pdf")).ok());
    AppearanceRegistry::unregisterProvider(id);
    const QImage poppler = fixtures::renderWithPoppler(dir.filePath("g.pdf"));
    ASSERT_FALSE(poppler.isNull());
    EXPECT_EQ(poppler.pixelColor(150, 792 - 150), QColor(0, 255, 0));
    // A file read back keeps its stored appearance even without the provider.
    DocumentPtr reread = open(vmk::test::readFile(dir.filePath("g.pdf")));
    EXPECT_EQ(reread->page(0)->render(1.0).pixelColor(150, 792 - 150), QColor(0, 255, 0));
}

TEST(PdfAnnotation, StampArtworkSurvivesMovesAfterReopening)
{
    DocumentPtr doc = open(fixtures::textPdf({""}));
    AnnotationPtr plain = Annotation::create("Stamp", QRectF(50, 600, 150, 50)); // no artwork: standard look
    doc->page(0)->addAnnotation(plain);
    AnnotationPtr art = Annotation::create("Stamp", QRectF(300, 600, 100, 50));
    ASSERT_TRUE(art->setStampAppearance(blackBoxPdf()));
    EXPECT_FALSE(Annotation::create("Stamp", QRectF(0, 0, 1, 1))->setStampAppearance("not a pdf"));
    doc->page(0)->addAnnotation(art);
    EXPECT_GT(fixtures::inkPixels(doc->page(0)->render(1.0), toPixels(plain->bounds())), 20);

    PagePtr reread = open(*doc->dataRepresentation())->page(0);
    AnnotationPtr moved = reread->annotations().at(1);
    moved->setBounds(QRectF(300, 100, 100, 50));
    const QImage image = reread->render(1.0);
    EXPECT_EQ(image.pixelColor(toPixels(moved->bounds()).center()), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(toPixels(QRectF(300, 600, 100, 50)).center()), QColor(Qt::white));
}

// Appearances of new annotations are made in one pass per page: made one at a time, the engine went over
// every annotation of the page each time, and 1,500 notes on one page took most of a minute to save.
TEST(PdfAnnotation, ACrowdedPagesNewAnnotationsAllGetTheirAppearancesWhenSaved)
{
    const DocumentPtr doc = open(fixtures::linkOutlineFormPdf());
    ASSERT_TRUE(doc);
    const PagePtr page = doc->page(0);
    const std::size_t before = page->annotationCount();
    constexpr int kNew = 1500;
    for (int i = 0; i < kNew; ++i) {
        const QRectF box(20 + (i % 50) * 11, 20 + (i / 50) * 11, 8, 8);
        AnnotationPtr a = Annotation::create(i % 2 ? "Square" : "Circle", box);
        a->setContents(QStringLiteral("note %1").arg(i));
        page->addAnnotation(a);
    }
    const Result<QByteArray> saved = doc->dataRepresentation();
    ASSERT_TRUE(saved.ok()) << qPrintable(saved.error());
    const DocumentPtr reopened = open(*saved);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->page(0)->annotationCount(), before + kNew);
    EXPECT_TRUE(reopened->page(0)->text().contains(QStringLiteral("Go to page two")));
    if (!vmk::test::commandExists(QStringLiteral("qpdf")))
        return;
    QTemporaryDir dir;
    const QString path = vmk::test::writeFile(dir, QStringLiteral("crowded.pdf"), *saved);
    const vmk::test::CommandResult check = vmk::test::runCommand("qpdf", {"--check", path});
    EXPECT_EQ(check.exitCode, 0) << check.out.right(600).constData() << check.err.constData();
    // Every new square and circle carries a normal appearance stream in the file.
    const vmk::test::CommandResult json = vmk::test::runCommand("qpdf", {"--json", path});
    ASSERT_EQ(json.exitCode, 0);
    const QByteArray compact = QByteArray(json.out).replace(" ", "").replace("\n", "");
    EXPECT_EQ(compact.count("\"/Subtype\":\"/Square\""), kNew / 2);
    EXPECT_EQ(compact.count("\"/Subtype\":\"/Circle\""), kNew / 2);
    int withAppearance = 0;
    for (qsizetype at = compact.indexOf("\"/AP\":{\"/N\":"); at >= 0; at = compact.indexOf("\"/AP\":{\"/N\":", at + 1))
        ++withAppearance;
    EXPECT_GE(withAppearance, kNew);
}

// Another program's note without an appearance is drawn on screen with one of ours, but written as it was read:
// other readers draw such a note their own way (an icon at its corner), and ours, squeezed into its 2.8-point
// rectangle, showed there as a dot. Once the user moves it, it is theirs and is written as drawn.
TEST(PdfAnnotation, AnotherProgramsNoteWithoutAppearanceIsWrittenAsReadUntilChanged)
{
    const QByteArray note = "<< /Type /Annot /Subtype /Text /Rect [300 500 302.8 502.8] /Contents (Theirs) >>";
    const DocumentPtr doc = open(vmk::test::assemblePdf(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Annots [4 0 R] >>", note}));
    ASSERT_TRUE(doc);
    const PagePtr page = doc->page(0);
    ASSERT_FALSE(page->render(1.0).isNull());
    page->addAnnotation(Annotation::create("Square", QRectF(100, 100, 80, 40)));
    if (!vmk::test::commandExists(QStringLiteral("qpdf")))
        GTEST_SKIP() << "qpdf is not installed";
    // The note as qpdf reads it from a save: [whether it has /AP, its /Rect].
    auto written = [&doc] {
        const Result<QByteArray> saved = doc->dataRepresentation();
        EXPECT_TRUE(saved.ok());
        QTemporaryDir dir;
        const QString path = vmk::test::writeFile(dir, QStringLiteral("saved.pdf"), saved.ok() ? *saved : QByteArray());
        const QJsonObject objects = QJsonDocument::fromJson(vmk::test::runCommand("qpdf", {"--json=2", path}).out)
                                        .object().value("qpdf").toArray().at(1).toObject();
        int squares = 0;
        std::pair<bool, QJsonArray> found;
        for (const QJsonValue& object : objects) {
            const QJsonObject value = object.toObject().value("value").toObject();
            squares += value.value("/Subtype").toString() == QLatin1String("/Square") && value.contains("/AP");
            if (value.value("/Subtype").toString() == QLatin1String("/Text"))
                found = {value.contains("/AP"), value.value("/Rect").toArray()};
        }
        EXPECT_EQ(squares, 1); // the user's square is written with its appearance
        return found;
    };
    const QJsonArray asRead{300, 500, 302.8, 502.8};
    for (int save = 0; save < 2; ++save) // and the note still drawn between the saves
        EXPECT_EQ(written(), std::make_pair(false, asRead));

    for (const AnnotationPtr& a : page->annotations()) {
        if (a->type() == QLatin1String("Text"))
            a->setBounds(QRectF(400, 600, 20, 20));
    }
    EXPECT_EQ(written(), std::make_pair(true, QJsonArray{400, 600, 420, 620}));
}

// A look the engine draws for a page is drawn into the file, whichever page it is on: a new square, and a
// square already in the file whose colour changed (its old look must not stay), beside a page left alone.
TEST(PdfAnnotation, NewAndChangedLooksAreWrittenOnEveryPage)
{
    if (!vmk::test::commandExists(QStringLiteral("qpdf")))
        GTEST_SKIP() << "qpdf is not installed";
    const QByteArray page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>";
    const DocumentPtr first = open(vmk::test::assemblePdf(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>", page, page, page}));
    ASSERT_TRUE(first);
    AnnotationPtr blue = Annotation::create("Square", QRectF(100, 100, 80, 40));
    blue->setColor(Qt::blue);
    first->page(0)->addAnnotation(blue);
    const Result<QByteArray> once = first->dataRepresentation();
    ASSERT_TRUE(once.ok());

    const DocumentPtr doc = open(*once);
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->page(0)->annotations().size(), 1u);
    doc->page(0)->annotations().front()->setColor(Qt::red);
    AnnotationPtr green = Annotation::create("Square", QRectF(200, 200, 80, 40));
    green->setColor(Qt::green);
    doc->page(1)->addAnnotation(green);
    const Result<QByteArray> twice = doc->dataRepresentation();
    ASSERT_TRUE(twice.ok());
    QTemporaryDir dir;
    const QString path = vmk::test::writeFile(dir, QStringLiteral("twice.pdf"), *twice);
    const QString plain = dir.filePath(QStringLiteral("plain.pdf"));
    ASSERT_EQ(vmk::test::runCommand("qpdf", {"--qdf", "--object-streams=disable", path, plain}).exitCode, 0);
    QFile file(plain);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const struct {
        const char* stroke;
        int count;
    } looks[] = {{"1 0 0 RG", 1}, {"0 1 0 RG", 1}, {"0 0 1 RG", 0}};
    for (const auto& look : looks)
        EXPECT_EQ(bytes.count(look.stroke), look.count) << look.stroke;
}
