#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

namespace vmk::test {

// One line of standard Helvetica text (not embedded, WinAnsi) at a baseline origin in page space (y up).
struct EditLineSpec {
    QString text;
    QPointF origin;
    double size = 12;
};

// One page of a document for in-place editing: lines of text, one text object each, and pictures (2 × 2
// pixels of a solid colour) placed in page-space rectangles, drawn in list order after the text.
struct EditPageSpec {
    QList<EditLineSpec> lines;
    QList<QRectF> images;
    QList<QColor> imageColors; // per image; red when missing
    int rotation = 0;          // the page's /Rotate
};

// A PDF of US Letter pages written by hand, so every text line and picture is its own page object.
QByteArray makeEditPdf(const QList<EditPageSpec>& pages);

} // namespace vmk::test
