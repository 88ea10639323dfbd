#include "StructureFixtures.h"

#include "support/TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace vmk::coretest {

QByteArray makeStructuredPdf()
{
    // 1 catalog, 2 pages, 3-6 pages 1-4, 7-10 contents, 11 font, 12 image, 13 info, 14 outlines,
    // 15-17 outline items, 18 names, 19 field name, 20 field city, 21 city widget p2, 22 city widget p4,
    // 23-25 links p1, p2, p3, 26 empty appearance, 27 form font Helv
    QList<QByteArray> o;
    o << "<< /Type /Catalog /Pages 2 0 R /Outlines 14 0 R /Names << /Dests 18 0 R >>"
         " /AcroForm << /Fields [19 0 R 20 0 R] /NeedAppearances true /DA (/Helv 12 Tf 0 g)"
         " /DR << /Font << /Helv 27 0 R >> >> >> >>";
    o << "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R 6 0 R] /Count 4 >>";
    const QByteArray resources = " /Resources << /Font << /F1 11 0 R >> /XObject << /Im 12 0 R >> >>";
    o << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 7 0 R" + resources + " /Annots [19 0 R 23 0 R] >>";
    o << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 8 0 R" + resources + " /Annots [21 0 R 24 0 R] >>";
    o << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 9 0 R" + resources + " /Annots [25 0 R] >>";
    o << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 10 0 R" + resources + " /Annots [22 0 R] >>";
    const char* words[] = {"one", "two", "three", "four"};
    for (const char* word : words)
        o << test::pdfStream("", "BT /F1 24 Tf 72 720 Td (Page " + QByteArray(word) + ") Tj ET q 100 0 0 100 400 600 cm /Im Do Q");
    o << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";
    QByteArray noise(120 * 120 * 3, '\0');
    QRandomGenerator random(7);
    for (char& byte : noise)
        byte = char(random.bounded(256));
    o << test::pdfStream("/Type /XObject /Subtype /Image /Width 120 /Height 120 /ColorSpace /DeviceRGB /BitsPerComponent 8", noise);
    o << "<< /Title (Structured) /Author (Tester) /CreationDate (D:20200102030405Z) >>";
    o << "<< /Type /Outlines /First 15 0 R /Last 17 0 R /Count 3 >>";
    o << "<< /Title (One) /Parent 14 0 R /Next 16 0 R /Dest [3 0 R /XYZ 0 792 0] >>";
    o << "<< /Title (Three) /Parent 14 0 R /Prev 15 0 R /Next 17 0 R /Dest (third) >>";
    o << "<< /Title (Four) /Parent 14 0 R /Prev 16 0 R /A << /S /GoTo /D [6 0 R /Fit] >> >>";
    o << "<< /Names [(fourth) [6 0 R /Fit] (third) [5 0 R /XYZ 0 792 0]] >>";
    o << "<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (Alice) /Rect [72 600 300 630] /P 3 0 R /F 4"
         " /DA (/Helv 12 Tf 0 g) /AP << /N 26 0 R >> >>";
    o << "<< /FT /Tx /T (city) /V (Bob) /Kids [21 0 R 22 0 R] >>";
    o << "<< /Type /Annot /Subtype /Widget /Parent 20 0 R /Rect [72 600 300 630] /P 4 0 R /F 4 /AP << /N 26 0 R >> >>";
    o << "<< /Type /Annot /Subtype /Widget /Parent 20 0 R /Rect [72 500 300 530] /P 6 0 R /F 4 /AP << /N 26 0 R >> >>";
    o << "<< /Type /Annot /Subtype /Link /Rect [72 700 250 740] /Border [0 0 0] /Dest (third) >>";
    o << "<< /Type /Annot /Subtype /Link /Rect [72 700 250 740] /Border [0 0 0] /A << /S /GoTo /D [6 0 R /Fit] >> >>";
    o << "<< /Type /Annot /Subtype /Link /Rect [72 700 250 740] /Border [0 0 0] /Dest [3 0 R /XYZ 0 792 0] >>";
    o << test::pdfStream("/Type /XObject /Subtype /Form /BBox [0 0 228 30]", "");
    o << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";
    return assemblePdf(o, 1, "/Info 13 0 R");
}

namespace {

int objectNumber(const QString& ref)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+) 0 R$"));
    const QRegularExpressionMatch m = pattern.match(ref);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString decoded(const QJsonValue& value)
{
    QString text = value.toString();
    if (text.startsWith(QLatin1String("u:")))
        text = text.mid(2);
    return text;
}

void readOutline(const QJsonArray& items, QList<QPair<QString, int>>& out)
{
    for (const QJsonValue& item : items) {
        const QJsonObject entry = item.toObject();
        out.append({entry.value("title").toString(), entry.value("destpageposfrom1").toInt()});
        readOutline(entry.value("kids").toArray(), out);
    }
}

} // namespace

StructureReport readStructure(const QString& path)
{
    StructureReport report;
    report.checked = test::runCommand("qpdf", {"--check", path}).exitCode == 0;
    const test::CommandResult json = test::runCommand("qpdf", {"--json=2", path});
    report.json = json.exitCode == 0;
    const QJsonObject root = QJsonDocument::fromJson(json.out).object();

    const QString info = QString::fromUtf8(test::runCommand("pdfinfo", {path}).out + "\n"
                                           + test::runCommand("pdfinfo", {"-dests", path}).out);
    for (const QString& line : info.split('\n')) {
        if (line.startsWith(QLatin1String("Form:")))
            report.formLine = line.mid(5).trimmed();
        if (line.startsWith(QLatin1String("Title:")))
            report.title = line.mid(6).trimmed();
        static const QRegularExpression dest(QStringLiteral("^\\s*(\\d+)\\s+\\[.*\\]\\s+\"(.*)\"$"));
        if (const QRegularExpressionMatch m = dest.match(line); m.hasMatch())
            report.namedDestinations.insert(m.captured(2), m.captured(1).toInt());
    }

    QMap<int, int> pageOfObject;
    const QJsonArray pages = root.value("pages").toArray();
    report.pages = int(pages.size());
    for (int i = 0; i < pages.size(); ++i)
        pageOfObject.insert(objectNumber(pages[i].toObject().value("object").toString()), i + 1);

    for (const QJsonValue& f : root.value("acroform").toObject().value("fields").toArray()) {
        const QJsonObject field = f.toObject();
        const QString name = field.value("fullname").toString();
        if (!report.fieldValues.contains(name))
            report.fieldValues.insert(name, decoded(field.value("value")));
        if (!report.fieldPages.contains(name))
            report.fieldPages.insert(name, field.value("pageposfrom1").toInt());
    }

    readOutline(root.value("outlines").toArray(), report.outline);

    // Objects come as "obj:N 0 R" → {"value": ...}.
    const QJsonArray qpdf = root.value("qpdf").toArray();
    const QJsonObject objects = qpdf.size() > 1 ? qpdf[1].toObject() : QJsonObject();
    auto object = [&](const QJsonValue& ref) -> QJsonValue {
        if (ref.isString() && objectNumber(ref.toString()) > 0)
            return objects.value("obj:" + ref.toString()).toObject().value("value");
        return ref;
    };
    auto destinationPage = [&](QJsonValue dest) -> int {
        dest = object(dest);
        if (dest.isString()) {
            const QString name = decoded(dest).remove(QRegularExpression("^/"));
            return report.namedDestinations.value(name, 0);
        }
        if (dest.isObject())
            dest = object(dest.toObject().value("/D"));
        const QJsonArray array = dest.toArray();
        return array.isEmpty() ? 0 : pageOfObject.value(objectNumber(array[0].toString()), 0);
    };
    for (int i = 0; i < pages.size(); ++i) {
        const QString pageRef = pages[i].toObject().value("object").toString();
        const QJsonObject page = object(pageRef).toObject();
        for (const QJsonValue& a : object(page.value("/Annots")).toArray()) {
            const QJsonObject annot = object(a).toObject();
            if (annot.value("/Subtype").toString() != QLatin1String("/Link"))
                continue;
            QJsonValue dest = annot.value("/Dest");
            if (dest.isUndefined())
                dest = object(annot.value("/A")).toObject().value("/D");
            report.links.append({i + 1, destinationPage(dest)});
        }
    }
    return report;
}

} // namespace vmk::coretest
