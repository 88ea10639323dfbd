#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/annotations/FormField.h"
#include "platform/pdf/annotations/FormFixture.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdf/PdfFixtures.h"
#include "support/TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vmk;
using vmk::test::CommandResult;
using vmk::test::formPdf;
using vmk::test::pdf::inkPixels;
using vmk::test::pdf::renderWithPoppler;
using vmk::test::runCommand;
using vmk::test::widgetAt;
namespace formRects = vmk::test::formRects;

namespace {

struct FormFile {
    QTemporaryDir dir;
    pdf::DocumentPtr document;

    FormFile()
    {
        auto opened = pdf::Document::fromData(formPdf());
        document = opened ? *opened : nullptr;
    }
    pdf::AnnotationPtr widget(const QRectF& rect, int page = 0) const { return widgetAt(document, page, rect); }

    // Saves, checks the copy with qpdf, and answers its form fields: full name -> value as qpdf writes it.
    QString save()
    {
        const QString path = dir.filePath(QStringLiteral("saved.pdf"));
        EXPECT_TRUE(document->write(path).ok());
        const CommandResult check = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
        EXPECT_EQ(check.exitCode, 0) << check.out.toStdString() << check.err.toStdString();
        return path;
    }
    static QJsonObject fields(const QString& path)
    {
        const CommandResult json = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--json"), QStringLiteral("--json-key=acroform"), path});
        QJsonObject byName;
        const QJsonArray list = QJsonDocument::fromJson(json.out).object()[QStringLiteral("acroform")].toObject()[QStringLiteral("fields")].toArray();
        for (const QJsonValue& field : list) {
            const QJsonObject f = field.toObject();
            // Radio kids are listed once per widget: keep the widget's appearance state with the value.
            const QString key = f[QStringLiteral("fullname")].toString();
            QJsonObject entry = byName[key].toObject();
            entry[QStringLiteral("value")] = f[QStringLiteral("value")];
            QJsonArray states = entry[QStringLiteral("states")].toArray();
            states.append(f[QStringLiteral("annotation")].toObject()[QStringLiteral("appearancestate")]);
            entry[QStringLiteral("states")] = states;
            byName[key] = entry;
        }
        return byName;
    }
    static QString pageText(const QString& path, int page)
    {
        const QString n = QString::number(page);
        return QString::fromUtf8(runCommand(QStringLiteral("pdftotext"),
                                            {QStringLiteral("-f"), n, QStringLiteral("-l"), n, path, QStringLiteral("-")}).out);
    }
};

QString valueOf(const QJsonObject& fields, const char* name)
{
    return fields[QLatin1String(name)].toObject()[QStringLiteral("value")].toString();
}

} // namespace

TEST(FormFields, TypedTextGoesIntoTheFieldAndIntoEveryWidgetOfItOnEveryPage)
{
    FormFile form;
    ASSERT_TRUE(form.document);
    const pdf::AnnotationPtr name = form.widget(formRects::name);
    const pdf::AnnotationPtr city = form.widget(formRects::city);
    ASSERT_TRUE(name && city);
    const pdf::FieldFacts facts = pdf::form::facts(*name);
    EXPECT_EQ(facts.kind, pdf::FieldKind::Text);
    EXPECT_EQ(facts.value, QStringLiteral("Ada Lovelace"));
    EXPECT_DOUBLE_EQ(facts.fontSize, 12.0);

    const pdf::FieldChange renamed = pdf::form::setText(*name, QStringLiteral("Grace  Brewster Hopper"));
    EXPECT_TRUE(renamed.changed) << renamed.error.toStdString();
    ASSERT_EQ(renamed.pages.size(), 1u);
    EXPECT_EQ(renamed.pages[0], form.document->page(0));
    // The field's second widget sits on the turned second page: both pages are drawn again.
    const pdf::FieldChange moved = pdf::form::setText(*city, QStringLiteral("New York City"));
    EXPECT_TRUE(moved.changed);
    EXPECT_EQ(moved.pages.size(), 2u);
    EXPECT_EQ(pdf::form::facts(*form.widget(formRects::city, 1)).value, QStringLiteral("New York City"));
    // The same text again changes nothing.
    EXPECT_FALSE(pdf::form::setText(*city, QStringLiteral("New York City")).changed);

    const QString path = form.save();
    const QJsonObject fields = FormFile::fields(path);
    EXPECT_EQ(valueOf(fields, "name"), QStringLiteral("u:Grace  Brewster Hopper"));
    EXPECT_EQ(valueOf(fields, "city"), QStringLiteral("u:New York City"));
    // Other readers draw the new text from the appearances, spaces kept, on both pages; the old is gone.
    const QString first = FormFile::pageText(path, 1);
    EXPECT_TRUE(first.contains(QStringLiteral("Grace  Brewster Hopper")) || first.contains(QStringLiteral("Grace Brewster Hopper")))
        << first.toStdString();
    EXPECT_FALSE(first.contains(QStringLiteral("Lovelace")));
    EXPECT_TRUE(FormFile::pageText(path, 2).contains(QStringLiteral("New York City")));
    // What the file had besides stays: the turn of page 2, the outline, the title.
    const CommandResult info = runCommand(QStringLiteral("pdfinfo"), {QStringLiteral("-l"), QStringLiteral("2"), path});
    EXPECT_TRUE(info.out.contains("Form test"));
    EXPECT_TRUE(info.out.contains("Page    2 rot:   90")) << info.out.toStdString();
    auto reopened = pdf::Document::fromFile(path);
    ASSERT_TRUE(reopened);
    const auto outline = (*reopened)->outline();
    ASSERT_TRUE(outline);
    EXPECT_EQ(outline->children.size(), 1u);
}

TEST(FormFields, ButtonsAndChoicesChangeAsAClickWould)
{
    FormFile form;
    ASSERT_TRUE(form.document);
    const pdf::AnnotationPtr agree = form.widget(formRects::agree);
    const pdf::AnnotationPtr large = form.widget(formRects::sizeL);
    const pdf::AnnotationPtr country = form.widget(formRects::country);
    ASSERT_TRUE(agree && large && country);
    EXPECT_EQ(pdf::form::facts(*agree).kind, pdf::FieldKind::CheckBox);
    EXPECT_FALSE(pdf::form::facts(*agree).isOn);
    EXPECT_EQ(pdf::form::facts(*large).kind, pdf::FieldKind::RadioButton);
    const pdf::FieldFacts choice = pdf::form::facts(*country);
    EXPECT_EQ(choice.kind, pdf::FieldKind::ComboBox);
    ASSERT_EQ(choice.choices.size(), 2);
    EXPECT_EQ(choice.choices[1].label, QStringLiteral("Germany"));
    EXPECT_EQ(choice.choices[1].value, QStringLiteral("de"));

    EXPECT_TRUE(pdf::form::toggle(*agree).changed);
    EXPECT_TRUE(pdf::form::facts(*agree).isOn);
    EXPECT_TRUE(pdf::form::toggle(*large).changed);
    EXPECT_TRUE(pdf::form::facts(*large).isOn);
    EXPECT_FALSE(pdf::form::facts(*form.widget(formRects::sizeS)).isOn) << "the other radio button turns off";
    EXPECT_TRUE(pdf::form::choose(*country, QStringLiteral("de")).changed);

    const QString path = form.save();
    const QJsonObject fields = FormFile::fields(path);
    EXPECT_EQ(valueOf(fields, "agree"), QStringLiteral("/Yes"));
    EXPECT_EQ(valueOf(fields, "size"), QStringLiteral("/L"));
    EXPECT_EQ(valueOf(fields, "country"), QStringLiteral("u:de"));
    const QJsonArray sizes = fields[QStringLiteral("size")].toObject()[QStringLiteral("states")].toArray();
    ASSERT_EQ(sizes.size(), 2);
    EXPECT_EQ(sizes[0].toString(), QStringLiteral("/Off"));
    EXPECT_EQ(sizes[1].toString(), QStringLiteral("/L"));
    // Drawn by another engine: the check box and the large radio button are filled, the small one is not.
    const QImage page = renderWithPoppler(path);
    ASSERT_FALSE(page.isNull());
    const double k = page.width() / 612.0;
    auto shown = [&](const QRectF& r) {
        return QRect(int(r.left() * k) + 2, int((792 - r.bottom()) * k) + 2, int(r.width() * k) - 4, int(r.height() * k) - 4);
    };
    const int filled = shown(formRects::agree).width() * shown(formRects::agree).height() / 2;
    EXPECT_GT(inkPixels(page, shown(formRects::agree)), filled);
    EXPECT_GT(inkPixels(page, shown(formRects::sizeL)), filled);
    EXPECT_LT(inkPixels(page, shown(formRects::sizeS)), filled);
}

TEST(FormFields, ReadOnlyFieldsRefuseAndAResetButtonPutsTheDefaultsBack)
{
    FormFile form;
    ASSERT_TRUE(form.document);
    const pdf::AnnotationPtr id = form.widget(formRects::id);
    const pdf::AnnotationPtr reset = form.widget(formRects::reset);
    ASSERT_TRUE(id && reset);
    EXPECT_TRUE(pdf::form::facts(*id).readOnly);
    const pdf::FieldChange refused = pdf::form::setText(*id, QStringLiteral("forged"));
    EXPECT_FALSE(refused.changed);
    EXPECT_FALSE(refused.error.isEmpty());
    EXPECT_EQ(pdf::form::facts(*id).value, QStringLiteral("X-1"));

    ASSERT_TRUE(pdf::form::setText(*form.widget(formRects::name), QStringLiteral("Someone Else")).changed);
    ASSERT_TRUE(pdf::form::setText(*form.widget(formRects::city), QStringLiteral("Lyon")).changed);
    ASSERT_TRUE(pdf::form::toggle(*form.widget(formRects::agree)).changed);
    EXPECT_TRUE(pdf::form::facts(*reset).resetsForm);
    const pdf::FieldChange cleared = pdf::form::press(*reset);
    EXPECT_TRUE(cleared.changed) << cleared.error.toStdString();
    EXPECT_EQ(cleared.pages.size(), 2u);
    EXPECT_EQ(pdf::form::facts(*form.widget(formRects::name)).value, QStringLiteral("Ada Lovelace"));
    EXPECT_EQ(pdf::form::facts(*form.widget(formRects::city, 1)).value, QStringLiteral("Paris"));
    EXPECT_FALSE(pdf::form::facts(*form.widget(formRects::agree)).isOn);

    const QString path = form.save();
    EXPECT_TRUE(FormFile::pageText(path, 2).contains(QStringLiteral("Paris")));
    EXPECT_FALSE(FormFile::pageText(path, 1).contains(QStringLiteral("Lyon")));
    // A press on anything but a reset button does nothing.
    EXPECT_FALSE(pdf::form::press(*form.widget(formRects::name)).changed);
    EXPECT_FALSE(pdf::form::toggle(*form.widget(formRects::name)).changed);
}

TEST(FormFields, PageDrawingsShowTheStateOfButtonsWhoseFieldIsTheirParent)
{
    // Radio buttons take their name and kind from the field above them; drawn from a copy of the page
    // without that field, the one turned on was drawn off.
    FormFile form;
    ASSERT_TRUE(form.document);
    const pdf::PagePtr page = form.document->page(0);
    auto ink = [&](const QRectF& r) {
        const QImage image = page->render(1.0);
        return inkPixels(image, QRect(int(r.left()) + 2, int(792 - r.bottom()) + 2, 12, 12));
    };
    EXPECT_GT(ink(formRects::sizeS), 100);
    EXPECT_EQ(ink(formRects::sizeL), 0);
    ASSERT_TRUE(pdf::form::toggle(*form.widget(formRects::sizeL)).changed);
    EXPECT_EQ(ink(formRects::sizeS), 0);
    EXPECT_GT(ink(formRects::sizeL), 100);
    // The copy a worker draws from is drawn the same.
    const QImage copy = page->snapshot()->render(1.0);
    EXPECT_GT(inkPixels(copy, QRect(int(formRects::sizeL.left()) + 2, int(792 - formRects::sizeL.bottom()) + 2, 12, 12)), 100);
}

TEST(FormFields, ChoicesAreDrawnByTheirLabelsWithTheChosenRowsMarked)
{
    // The field keeps the export value; the page shows the label, as every other reader does, and a list
    // box marks its chosen row. Filled in here, and drawn again on opening a form that asks for it.
    auto chosenRow = [](const QImage& page, int row) {
        const double k = page.width() / 612.0;
        const QRectF r = formRects::langs;
        // The middle of the row's band, right of its text.
        const double y = r.bottom() - 2 - 13.392 * (row + 0.5) - 1;
        const QColor c = page.pixelColor(int((r.right() - 20) * k), int((792 - y) * k));
        return c.blue() > 180 && c.red() < 190;
    };
    {
        FormFile form;
        ASSERT_TRUE(form.document);
        ASSERT_TRUE(pdf::form::choose(*form.widget(formRects::country), QStringLiteral("de")).changed);
        ASSERT_TRUE(pdf::form::choose(*form.widget(formRects::langs), QStringLiteral("de")).changed);
        EXPECT_EQ(pdf::form::facts(*form.widget(formRects::country)).value, QStringLiteral("de"));
        // Another change on the page draws the lists again without marking a row twice or a wrong one.
        ASSERT_TRUE(pdf::form::setText(*form.widget(formRects::name), QStringLiteral("Grace")).changed);

        const QString path = form.save();
        const QJsonObject fields = FormFile::fields(path);
        EXPECT_EQ(valueOf(fields, "country"), QStringLiteral("u:de"));
        EXPECT_EQ(valueOf(fields, "langs"), QStringLiteral("u:de"));
        const QString text = FormFile::pageText(path, 1);
        EXPECT_TRUE(text.contains(QStringLiteral("Germany"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("English")) && text.contains(QStringLiteral("German")));
        const QImage page = renderWithPoppler(path);
        ASSERT_FALSE(page.isNull());
        EXPECT_FALSE(chosenRow(page, 0));
        EXPECT_FALSE(chosenRow(page, 1));
        EXPECT_TRUE(chosenRow(page, 2));

        // Read back, the field holds the export value still.
        auto reopened = pdf::Document::fromFile(path);
        ASSERT_TRUE(reopened);
        EXPECT_EQ(pdf::form::facts(*widgetAt(*reopened, 0, formRects::country)).value, QStringLiteral("de"));
    }
    {
        // The saved copy still asks readers to draw the fields, and the second engine draws them its own
        // way: what this engine drew is what the window shows.
        QByteArray asks = formPdf();
        asks.replace("/AcroForm << ", "/AcroForm << /NeedAppearances true ");
        auto opened = pdf::Document::fromData(asks);
        ASSERT_TRUE(opened);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("drawn.pdf"));
        ASSERT_TRUE((*opened)->write(path).ok());
        const QString text = FormFile::pageText(path, 1);
        EXPECT_TRUE(text.contains(QStringLiteral("France"))) << text.toStdString();
        const QImage page = (*opened)->page(0)->render(1.0);
        ASSERT_FALSE(page.isNull());
        EXPECT_TRUE(chosenRow(page, 0));
        EXPECT_FALSE(chosenRow(page, 2));
    }
}
