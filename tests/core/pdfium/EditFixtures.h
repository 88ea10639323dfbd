#pragma once

#include "core/pdfium/EditModel.h"
#include "core/pdfium/PDFEditSession.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <memory>

namespace vmk::editest {

// A line of text to draw: its text, the baseline origin in page space (y up) and the size.
struct TextLine {
    QString text;
    QPointF origin;
    qreal size = 12;
};

// A US Letter page with the lines in an embedded (subset) font of the family, drawn by Qt's PDF writer.
QByteArray makeQtTextPdf(const QList<TextLine>& lines, const QString& family = QStringLiteral("DejaVu Sans"));

// A page drawn with the standard Helvetica, not embedded, in WinAnsi encoding: one text object per line.
QByteArray makeHelveticaPdf(const QList<TextLine>& lines);

// A page whose content stream is given, with Helvetica (not embedded, WinAnsi) as /F1.
QByteArray makeHelveticaContentPdf(const QByteArray& content);

// A page with one picture (pixels x pixels, solid colour) placed in rect (page space, y up) and, optionally,
// a line of text.
QByteArray makeImagePdf(const QRectF& rect, const QSize& pixels = {40, 20}, const QString& text = QString(),
                        const QSizeF& page = {612, 792});

// A typeset page in an embedded installed font (Nimbus Roman as Type 1 or bare CFF, Liberation Serif as
// TrueType), one line of text a line at the size, `leading` apart from (72, 700) down. Type 1 and CFF text is
// set as TeX sets it: the letters at codes of the font's own (from 33 up, by Differences), no space glyph,
// words set apart by TJ kerning alone. TrueType text is WinAnsi with real spaces. Empty (the test skips)
// when the font is not installed.
enum class FontKind { type1, cff, trueType };
// How the lines are laid in the content: one text object each, all in one text object moved line to line
// (as TeX writes a column), or either inside one saved-state group around the whole page (as PostScript
// converters write it); `justified` is one object with its own word spacing on every line.
enum class Laying { objectPerLine, oneObject, groupedPerLine, groupedOneObject, justified };
QByteArray makeTypesetPdf(FontKind kind, const QStringList& lines, qreal size = 11, qreal leading = 13,
                          Laying laying = Laying::objectPerLine);

// The installed program makeTypesetPdf embeds for the kind; empty when it is not installed.
QByteArray installedFontProgram(FontKind kind);

// Opens a session on the real engine; null when the library is not in the build (the test then skips).
std::unique_ptr<core::PDFEditSession> openSession(const QByteArray& pdf, QString* why = nullptr);

// The text pdftotext finds in the PDF bytes (whole document), whitespace collapsed.
QString extractText(const QByteArray& pdf);
// Whether qpdf --check accepts the bytes.
bool qpdfAccepts(const QByteArray& pdf);

// A run for grouping tests: text at a baseline origin, width per character 0.5 x size unless given.
core::EditRun run(const QString& text, qreal x, qreal baseline, qreal size = 12, qreal width = -1,
                  const QString& font = QStringLiteral("Helvetica"));

} // namespace vmk::editest

#define VMK_OPEN_SESSION_OR_SKIP(var, pdf)                                                                     \
    QString var##Why;                                                                                          \
    auto var = ::vmk::editest::openSession((pdf), &var##Why);                                                  \
    if (!var)                                                                                                  \
        GTEST_SKIP() << var##Why.toStdString();
