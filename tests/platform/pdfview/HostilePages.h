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

// A one-page PDF (text "Packed links" at 30, 350) whose page carries `links` link annotations in a grid of
// 1.5 × 2 point cells from the bottom left, link i going to https://example.org/i through an action object
// of its own. Every object but the page's content stream is packed into one compressed object stream,
// catalog and page tree included, as some writers do: the engine reads such a stream whole the first time
// it needs any object in it.
QByteArray packedLinksPdf(int links);
// `pages` pages of text ("Packed pages" at 30, 350), each with `linksPerPage` links laid out as above, link
// i of page p going to https://example.org/p/i. The catalog, page tree and pages are packed into one
// object stream, and each page's links and their actions into one of the page's own.
QByteArray packedPagesPdf(int pages, int linksPerPage);
// `pages` small pages sharing one content stream (a blue square), the catalog, page tree and pages packed
// `perStream` objects to a compressed object stream, as writers that pack objects do.
QByteArray packedManyPagesPdf(int pages, int perStream = 100);

// A content stream of `count` tiny filled squares in a grid: cheap to store, slow to interpret.
QByteArray tinyPaths(int count);
// "BT /F1 18 Tf 30 350 Td (text) Tj ET"
QByteArray textLine(const QByteArray& text, int x = 30, int y = 350);

} // namespace vmk::test
