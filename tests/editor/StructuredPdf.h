#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

namespace vmk::test {

// A four-page letter written by hand with the structure real files carry: an outline (one title naming a
// secret, one nested entry made only of a secret), named destinations (name tree and the older /Dests
// dictionary), internal links (explicit and named), an open action, a filled form with appearances
// (a name field, a notes field, a ticked check box), a note, the document information and an XMP packet.
// Page 2 is turned a quarter and cropped. The secrets appear only where a redaction removes them.
struct StructuredPdf {
    QByteArray bytes;
    // Words that must be gone from the file once the marked places are redacted.
    QStringList secrets;
    // Words of page 1 outside the marks, for the text layer check.
    QStringList plainWordsPage1;
    // The form's widgets' rectangles on page 4 (page space): the name field lies under a mark.
    QRectF nameField;
    QRectF notesField;
    QRectF checkBox;
};
StructuredPdf makeStructuredPdf();

// A scan-like document (pages that are pictures of words) with an outline entry per page, a link from
// the first page to the last and an open action.
QByteArray makeScannedPdfWithOutline(const QStringList& pageTexts);

// What a second engine (qpdf) says about a saved file.
struct SavedFile {
    QString path;
    QByteArray qdf;  // qpdf --qdf --object-streams=disable
    QJsonObject json; // qpdf --json=2
    QByteArray jsonText; // the same as written, strings decoded
    bool checkClean = false;
    QString checkOutput;

    // The page objects ("5 0 R") in page order.
    QStringList pages() const;
    // Where every outline entry, link and named destination leads: "kind title-or-name -> page index".
    QStringList targets() const;
    // How many objects of type /Page the file holds, reachable or not.
    int pageObjectCount() const;
    // The fields of the form: "name=value" (value empty when none) with the page index of each widget.
    QStringList fields() const;
    // Whether the decompressed file holds the word anywhere (ignoring case), in its bytes or among the
    // strings qpdf decodes (text strings may be stored as UTF-16).
    bool contains(const QString& word) const;
};
SavedFile inspectSavedFile(const QString& path);

// pdftotext's text of one page (1-based), lines as they come.
QString popplerPageText(const QString& path, int page);

} // namespace vmk::test
