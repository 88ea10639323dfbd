#pragma once

#include "platform/pdf/document/Document.h"

#include <QByteArray>
#include <QRectF>
#include <QString>

namespace vmk::test {

// A two-page form (page 2 turned a quarter), with an outline and document information:
//   page 1: text field "name" (Ada Lovelace; default the same), the first widget of "city" (Paris), check
//           box "agree" (off), radio buttons "size" S (on) and L, combo box "country" (fr France / de
//           Germany, fr chosen), read-only text field "id", a reset-form button, and list box
//           "langs" (en English / fr French / de German, en chosen) drawn by its own appearance;
//   page 2: the second widget of "city".
// Every widget has its own appearance; check boxes and radio buttons draw a black square when on.
QByteArray formPdf();

// Where the fixture's widgets are, in page space.
namespace formRects {
inline const QRectF name(150, 700, 250, 24);
inline const QRectF city(150, 650, 250, 24);
inline const QRectF agree(150, 600, 16, 16);
inline const QRectF sizeS(150, 550, 16, 16);
inline const QRectF sizeL(200, 550, 16, 16);
inline const QRectF country(150, 500, 250, 24);
inline const QRectF id(150, 450, 250, 24);
inline const QRectF reset(450, 700, 100, 24);
inline const QRectF langs(150, 360, 200, 60);
} // namespace formRects

// The widget of a page whose rectangle is (nearly) the given one.
pdf::AnnotationPtr widgetAt(const pdf::DocumentPtr& document, int pageIndex, const QRectF& rect);

} // namespace vmk::test
