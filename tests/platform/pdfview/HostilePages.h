#pragma once

#include <QByteArray>
#include <QList>

namespace vmk::test {

// One page of a hand-written PDF: its content stream, media box and any extra dictionary entries.
struct RawPage {
    QByteArray content;
    QByteArray mediaBox = "0 0 300 400";
    QByteArray extra; // e.g. "/Rotate 90" or "/Annots [...]"
};

// A PDF of the pages with a correct cross-reference table; Helvetica is available as /F1.
QByteArray rawPdf(const QList<RawPage>& pages);

// A content stream of `count` tiny filled squares in a grid: cheap to store, slow to interpret.
QByteArray tinyPaths(int count);
// "BT /F1 18 Tf 30 350 Td (text) Tj ET"
QByteArray textLine(const QByteArray& text, int x = 30, int y = 350);

} // namespace vmk::test
