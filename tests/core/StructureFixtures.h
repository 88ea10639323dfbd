#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

#include "support/PdfBuilder.h"

namespace vmk::coretest {

using test::assemblePdf;

// Four pages ("Page one" ... "Page four") sharing one large noise image, with:
// - a form: "name" (value Alice) on page 1, "city" (value Bob) with one widget on page 2 and one on
//   page 4, all with empty appearances and /NeedAppearances true, as office suites write them;
// - named destinations "third" → page 3 and "fourth" → page 4;
// - links: page 1 → "third" (by name), page 2 → page 4 (explicit), page 3 → page 1 (explicit);
// - an outline: "One" → page 1, "Three" → page 3 (by name), "Four" → page 4;
// - information: title "Structured", author "Tester".
QByteArray makeStructuredPdf();

// What a second engine (qpdf --json, pdfinfo -dests) reads from a file.
struct StructureReport {
    bool checked = false;       // qpdf --check succeeded
    bool json = false;          // qpdf --json succeeded
    QString formLine;           // pdfinfo's "Form:" value
    int pages = 0;
    QMap<QString, QString> fieldValues;          // full field name → value
    QMap<QString, int> fieldPages;               // full field name → page (1-based) of its first widget
    QMap<QString, int> namedDestinations;        // name → page (1-based)
    QList<QPair<int, int>> links;                // (page of the link, page it jumps to), 1-based; 0 = nowhere
    QList<QPair<QString, int>> outline;          // title → page (1-based), depth first
    QString title;
};
StructureReport readStructure(const QString& path);

} // namespace vmk::coretest
