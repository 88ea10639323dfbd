#include "StructuredPdf.h"

#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QPainter>
#include <QRegularExpression>

#include <functional>

namespace vmk::test {

namespace {

QByteArray textLines(const QList<QPair<QPointF, QByteArray>>& lines, double size)
{
    QByteArray out;
    for (const auto& [origin, text] : lines)
        out += "BT /F1 " + QByteArray::number(size) + " Tf " + QByteArray::number(origin.x()) + ' '
            + QByteArray::number(origin.y()) + " Td (" + text + ") Tj ET\n";
    return out;
}

QByteArray rect(const QRectF& r)
{
    return '[' + QByteArray::number(r.left()) + ' ' + QByteArray::number(r.top()) + ' ' + QByteArray::number(r.right())
        + ' ' + QByteArray::number(r.bottom()) + ']';
}

const QByteArray kXmp = "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
                        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                        "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
                        "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                        "xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\" pdf:Keywords=\"Hortensia budget\">\n"
                        "<dc:creator><rdf:Seq><rdf:li>Zebulon Quixby</rdf:li></rdf:Seq></dc:creator>\n"
                        "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">Letter about Bluefalcon</rdf:li></rdf:Alt>"
                        "</dc:title>\n</rdf:Description></rdf:RDF></x:xmpmeta>\n<?xpacket end=\"w\"?>";

} // namespace

StructuredPdf makeStructuredPdf()
{
    StructuredPdf f;
    f.secrets = {QStringLiteral("Zebulon"), QStringLiteral("Quixby"), QStringLiteral("Bluefalcon"),
                 QStringLiteral("Hortensia")};
    const QList<QByteArray> page1 = {
        "Dear reader, this letter concerns Zebulon Quixby and his plans.",
        "The meeting will take place on Monday morning at the office.",
        "Please bring the quarterly report and the budget figures.",
        "We expect a short discussion about travel and training.",
        "Thank you for your patience and kind support.",
        "See the appendix for details, and the form at the end.",
    };
    QList<QPair<QPointF, QByteArray>> lines;
    for (int i = 0; i < page1.size(); ++i)
        lines.append({QPointF(72, 700 - 28 * i), page1[i]});
    for (const QByteArray& line : page1)
        for (const QString& word : QString::fromLatin1(line).split(QRegularExpression(QStringLiteral("[^A-Za-z]+")),
                                                                   Qt::SkipEmptyParts))
            if (!f.secrets.contains(word))
                f.plainWordsPage1.append(word);
    f.nameField = QRectF(150, 600, 200, 24);
    f.notesField = QRectF(150, 540, 300, 24);
    f.checkBox = QRectF(150, 480, 18, 18);

    PdfBuilder b;
    b.set(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 20 0 R /PageMode /UseOutlines /Names << /Dests 30 0 R >> "
             "/Dests 31 0 R /OpenAction [5 0 R /Fit] /AcroForm 40 0 R /Metadata 50 0 R /StructTreeRoot 70 0 R "
             "/MarkInfo << /Marked true >> >>");
    // Boxes and resources are inherited from the page tree, as many producers write them.
    b.set(2, "<< /Type /Pages /Kids [3 0 R 5 0 R 7 0 R 9 0 R] /Count 4 /MediaBox [0 0 612 792] "
             "/Resources << /Font << /F1 11 0 R >> >> >>");
    b.set(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Annots [12 0 R 13 0 R 16 0 R 17 0 R] >>");
    b.setStream(4, "", textLines(lines, 14));
    b.set(5, "<< /Type /Page /Parent 2 0 R /Contents 6 0 R /Rotate 90 /CropBox [36 36 576 756] >>");
    b.setStream(6, "", textLines({{QPointF(72, 700), "Project codename Bluefalcon stays internal."},
                                  {QPointF(72, 670), "The second page is turned for the review."}}, 14));
    b.set(7, "<< /Type /Page /Parent 2 0 R /Contents 8 0 R /Annots [14 0 R 15 0 R] >>");
    b.setStream(8, "", textLines({{QPointF(72, 720), "Appendix with general notes."},
                                  {QPointF(72, 690), "Back to the letter."}}, 14));
    b.set(9, "<< /Type /Page /Parent 2 0 R /Contents 10 0 R /Annots [41 0 R 42 0 R 43 0 R] >>");
    b.setStream(10, "", textLines({{QPointF(72, 700), "Application form"}, {QPointF(72, 606), "Name:"},
                                   {QPointF(72, 546), "Notes:"}, {QPointF(72, 484), "Agree:"}}, 14));
    b.set(11, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    b.set(12, "<< /Type /Annot /Subtype /Link /Rect [72 555 400 575] /Border [0 0 0] /Dest [7 0 R /XYZ 72 720 0] >>");
    b.set(13, "<< /Type /Annot /Subtype /Link /Rect [400 555 540 575] /Border [0 0 0] "
              "/A << /S /GoTo /D (form) >> >>");
    b.set(14, "<< /Type /Annot /Subtype /Link /Rect [72 685 300 705] /Border [0 0 0] /Dest [3 0 R /Fit] >>");
    b.set(15, "<< /Type /Annot /Subtype /Text /Rect [400 700 420 720] /Contents (Ask Quixby about Bluefalcon) "
              "/T (Reviewer) /P 7 0 R >>");
    // A note on the marked words whose popup lies elsewhere: the popup stays and still names its parent.
    b.set(16, "<< /Type /Annot /Subtype /Text /Rect [300 698 316 714] /Contents (Private note on Quixby) "
              "/T (Zebulon) /Popup 17 0 R /P 3 0 R >>");
    b.set(17, "<< /Type /Annot /Subtype /Popup /Rect [400 380 560 480] /Parent 16 0 R /P 3 0 R >>");
    b.set(70, "<< /Type /StructTreeRoot /K 71 0 R >>");
    b.set(71, "<< /Type /StructElem /S /Document /P 70 0 R /K [72 0 R] >>");
    b.set(72, "<< /Type /StructElem /S /Figure /P 71 0 R /Pg 3 0 R /Alt (Portrait of Zebulon Quixby) "
              "/ActualText (Bluefalcon) >>");
    b.set(20, "<< /Type /Outlines /First 21 0 R /Last 24 0 R /Count 5 >>");
    b.set(21, "<< /Title (Letter to Zebulon Quixby) /Parent 20 0 R /Next 22 0 R /First 25 0 R /Last 25 0 R "
              "/Count 1 /Dest [3 0 R /XYZ 0 792 0] >>");
    b.set(25, "<< /Title (Bluefalcon) /Parent 21 0 R /Dest [5 0 R /Fit] >>");
    b.set(22, "<< /Title (Sideways page) /Parent 20 0 R /Prev 21 0 R /Next 23 0 R /Dest [5 0 R /Fit] >>");
    b.set(23, "<< /Title (Appendix) /Parent 20 0 R /Prev 22 0 R /Next 24 0 R /Dest (appendix) >>");
    b.set(24, "<< /Title (Form) /Parent 20 0 R /Prev 23 0 R /A << /S /GoTo /D [9 0 R /Fit] >> >>");
    b.set(30, "<< /Names [(appendix) [7 0 R /XYZ 72 720 0] (form) [9 0 R /Fit]] >>");
    b.set(31, "<< /start [3 0 R /Fit] >>");
    b.set(40, "<< /Fields [41 0 R 42 0 R 43 0 R] /DA (/Helv 0 Tf 0 g) /DR << /Font << /Helv 11 0 R >> >> >>");
    auto field = [&](int num, const QByteArray& name, const QByteArray& value, const QRectF& r, int ap) {
        b.set(num, "<< /Type /Annot /Subtype /Widget /FT /Tx /T (" + name + ") /V (" + value + ") /Rect " + rect(r)
                       + " /P 9 0 R /F 4 /DA (/Helv 12 Tf 0 g) /AP << /N " + QByteArray::number(ap) + " 0 R >> >>");
        b.setStream(ap, "/Type /XObject /Subtype /Form /BBox [0 0 " + QByteArray::number(r.width()) + ' '
                            + QByteArray::number(r.height()) + "] /Resources << /Font << /Helv 11 0 R >> >>",
                    "/Tx BMC q BT /Helv 12 Tf 0 g 2 7 Td (" + value + ") Tj ET Q EMC");
    };
    field(41, "name", "Hortensia", f.nameField, 44);
    field(42, "notes", "Meet Zebulon on Monday", f.notesField, 45);
    b.set(43, "<< /Type /Annot /Subtype /Widget /FT /Btn /T (agree) /V /Yes /AS /Yes /Rect " + rect(f.checkBox)
                  + " /P 9 0 R /F 4 /MK << /CA (4) >> /AP << /N << /Yes 46 0 R /Off 47 0 R >> >> >>");
    b.setStream(46, "/Type /XObject /Subtype /Form /BBox [0 0 18 18]", "0 g 3 3 12 12 re f");
    b.setStream(47, "/Type /XObject /Subtype /Form /BBox [0 0 18 18]", "");
    b.setStream(50, "/Type /Metadata /Subtype /XML", kXmp);
    b.set(60, "<< /Title (Letter about Bluefalcon) /Author (Zebulon Quixby) /Subject (Correspondence) "
              "/Keywords (Hortensia budget) /Creator (Hand written) >>");
    f.bytes = b.write(1, "/Info 60 0 R");
    return f;
}

QByteArray makeScannedPdfWithOutline(const QStringList& pageTexts)
{
    PdfBuilder b;
    const int n = int(pageTexts.size());
    const QSizeF size(400, 300);
    QByteArray kids;
    for (int i = 0; i < n; ++i) {
        const int page = 10 + 10 * i;
        kids += QByteArray::number(page) + " 0 R ";
        QImage picture((size * 3).toSize(), QImage::Format_RGB32);
        picture.fill(Qt::white);
        {
            QPainter ink(&picture);
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setPixelSize(int(size.height() * 3 / 6));
            ink.setFont(font);
            ink.setPen(Qt::black);
            ink.drawText(picture.rect(), Qt::AlignCenter, pageTexts[i]);
            // Scanner noise, so the picture weighs what scans weigh.
            for (int y = 0; y < picture.height(); y += 7)
                for (int x = (y * 13) % 11; x < picture.width(); x += 11)
                    picture.setPixel(x, y, qRgb(200 + (x * y) % 50, 200, 210));
        }
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "JPEG", 85);
        const QByteArray annots = i == 0 && n > 1 ? " /Annots [" + QByteArray::number(page + 3) + " 0 R]" : QByteArray();
        b.set(page, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 300] /Contents " + QByteArray::number(page + 1)
                        + " 0 R /Resources << /XObject << /Im0 " + QByteArray::number(page + 2) + " 0 R >> >>" + annots
                        + " >>");
        b.setStream(page + 1, "", "q 400 0 0 300 0 0 cm /Im0 Do Q");
        b.setStream(page + 2,
                    "/Type /XObject /Subtype /Image /Width " + QByteArray::number(picture.width()) + " /Height "
                        + QByteArray::number(picture.height()) + " /ColorSpace /DeviceRGB /BitsPerComponent 8 "
                        "/Filter /DCTDecode",
                    jpeg);
        if (!annots.isEmpty())
            b.set(page + 3, "<< /Type /Annot /Subtype /Link /Rect [0 0 100 50] /Dest [" + QByteArray::number(10 + 10 * (n - 1))
                                + " 0 R /Fit] >>");
        const int item = 5 + 1000 + i;
        QByteArray entry = "<< /Title (Scan " + QByteArray::number(i + 1) + ") /Parent 4 0 R /Dest ["
            + QByteArray::number(page) + " 0 R /Fit]";
        if (i > 0)
            entry += " /Prev " + QByteArray::number(item - 1) + " 0 R";
        if (i + 1 < n)
            entry += " /Next " + QByteArray::number(item + 1) + " 0 R";
        b.set(item, entry + " >>");
    }
    b.set(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 4 0 R /OpenAction [" + QByteArray::number(10 + 10 * (n - 1))
                 + " 0 R /Fit] >>");
    b.set(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(n) + " >>");
    b.set(4, "<< /Type /Outlines /First 1005 0 R /Last " + QByteArray::number(1005 + n - 1) + " 0 R /Count "
                 + QByteArray::number(n) + " >>");
    return b.write();
}

// ---- second-engine views of a saved file -----------------------------------------------------------

namespace {

QJsonValue object(const QJsonObject& json, const QString& ref)
{
    const QJsonArray qpdf = json.value(QStringLiteral("qpdf")).toArray();
    if (qpdf.size() < 2)
        return {};
    const QJsonObject entry = qpdf[1].toObject().value(QStringLiteral("obj:") + ref).toObject();
    return entry.contains(QStringLiteral("value")) ? entry.value(QStringLiteral("value"))
                                                   : entry.value(QStringLiteral("stream")).toObject().value(QStringLiteral("dict"));
}

// Follows a reference ("5 0 R") to its value; other values as they are.
QJsonValue resolve(const QJsonObject& json, const QJsonValue& v)
{
    static const QRegularExpression ref(QStringLiteral("^\\d+ \\d+ R$"));
    QJsonValue value = v;
    for (int i = 0; i < 8 && value.isString() && ref.match(value.toString()).hasMatch(); ++i)
        value = object(json, value.toString());
    return value;
}

QString decodeString(const QJsonValue& v)
{
    QString s = v.toString();
    if (s.startsWith(QLatin1String("u:")))
        return s.mid(2);
    return s;
}

} // namespace

QStringList SavedFile::pages() const
{
    QStringList refs;
    for (const QJsonValue& page : json.value(QStringLiteral("pages")).toArray())
        refs.append(page.toObject().value(QStringLiteral("object")).toString());
    return refs;
}

QStringList SavedFile::targets() const
{
    const QStringList order = pages();
    QMap<QString, int> named;
    QStringList out;
    const QJsonObject catalog = resolve(json, json.value(QStringLiteral("qpdf")).toArray().at(1).toObject()
                                                  .value(QStringLiteral("trailer")).toObject()
                                                  .value(QStringLiteral("value")).toObject().value(QStringLiteral("/Root")))
                                    .toObject();
    auto pageOf = [&](const QJsonValue& dest) -> int {
        const QJsonValue d = resolve(json, dest);
        if (d.isArray())
            return int(order.indexOf(d.toArray().at(0).toString()));
        if (d.isObject())
            return int(order.indexOf(resolve(json, d.toObject().value(QStringLiteral("/D"))).toArray().at(0).toString()));
        return -2;
    };
    const QJsonArray names = resolve(json, resolve(json, catalog.value(QStringLiteral("/Names"))).toObject()
                                               .value(QStringLiteral("/Dests")))
                                 .toObject().value(QStringLiteral("/Names")).toArray();
    for (int i = 0; i + 1 < names.size(); i += 2) {
        named.insert(decodeString(names[i]), pageOf(names[i + 1]));
        out.append(QStringLiteral("name %1 -> %2").arg(decodeString(names[i])).arg(pageOf(names[i + 1])));
    }
    const QJsonObject dests = resolve(json, catalog.value(QStringLiteral("/Dests"))).toObject();
    for (auto it = dests.begin(); it != dests.end(); ++it)
        out.append(QStringLiteral("dests %1 -> %2").arg(it.key()).arg(pageOf(it.value())));
    auto target = [&](const QJsonValue& dest) {
        const QJsonValue d = resolve(json, dest);
        return d.isString() ? named.value(decodeString(d), -3) : pageOf(d);
    };
    out.append(QStringLiteral("open -> %1").arg(pageOf(catalog.value(QStringLiteral("/OpenAction")))));
    std::function<void(const QJsonArray&, const QString&)> walk = [&](const QJsonArray& items, const QString& path) {
        for (const QJsonValue& item : items) {
            const QJsonObject o = item.toObject();
            out.append(QStringLiteral("outline %1 -> %2").arg(path).arg(o.value(QStringLiteral("destpageposfrom1")).toInt() - 1));
            walk(o.value(QStringLiteral("kids")).toArray(), path + QStringLiteral("/"));
        }
    };
    walk(json.value(QStringLiteral("outlines")).toArray(), QStringLiteral("/"));
    for (int p = 0; p < order.size(); ++p) {
        const QJsonArray annots = resolve(json, resolve(json, order[p]).toObject().value(QStringLiteral("/Annots"))).toArray();
        for (const QJsonValue& a : annots) {
            const QJsonObject annot = resolve(json, a).toObject();
            if (annot.value(QStringLiteral("/Subtype")).toString() != QLatin1String("/Link"))
                continue;
            const QJsonValue dest = annot.contains(QStringLiteral("/Dest"))
                ? annot.value(QStringLiteral("/Dest"))
                : resolve(json, annot.value(QStringLiteral("/A"))).toObject().value(QStringLiteral("/D"));
            out.append(QStringLiteral("link on %1 -> %2").arg(p).arg(target(dest)));
        }
    }
    return out;
}

int SavedFile::pageObjectCount() const
{
    static const QRegularExpression pageType(QStringLiteral("/Type\\s*/Page(?![A-Za-z])"));
    return int(QString::fromLatin1(qdf).count(pageType));
}

QStringList SavedFile::fields() const
{
    QStringList out;
    const QJsonArray fields = json.value(QStringLiteral("acroform")).toObject().value(QStringLiteral("fields")).toArray();
    for (const QJsonValue& f : fields) {
        const QJsonObject o = f.toObject();
        const QJsonValue v = o.value(QStringLiteral("value"));
        out.append(QStringLiteral("%1=%2 on %3")
                       .arg(o.value(QStringLiteral("fullname")).toString(), v.isNull() ? QString() : decodeString(v))
                       .arg(o.value(QStringLiteral("pageposfrom1")).toInt() - 1));
    }
    return out;
}

bool SavedFile::contains(const QString& word) const
{
    const QByteArray lower = word.toLower().toUtf8();
    return qdf.toLower().contains(lower) || jsonText.toLower().contains(lower);
}

SavedFile inspectSavedFile(const QString& path)
{
    SavedFile f;
    f.path = path;
    const CommandResult check = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
    f.checkOutput = QString::fromUtf8(check.out + check.err);
    f.checkClean = check.exitCode == 0 && !f.checkOutput.contains(QLatin1String("WARNING"));
    f.qdf = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"),
                                                path, QStringLiteral("-")}).out;
    f.jsonText = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--json=2"), path}).out;
    f.json = QJsonDocument::fromJson(f.jsonText).object();
    return f;
}

QString popplerPageText(const QString& path, int page)
{
    return QString::fromUtf8(runCommand(QStringLiteral("pdftotext"),
                                        {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                         QString::number(page), path, QStringLiteral("-")}).out);
}

} // namespace vmk::test
