#include "panels/StyleRowChoice.h"

#include "core/SystemAnnotations.h"
#include "platform/pdf/document/Annotation.h"

#include <QCoreApplication>

#include <cmath>

namespace vmk::panels {

ModeHeaderInfo modeHeader(EditorMode mode)
{
    switch (mode) {
    case EditorMode::read:
        return {QStringLiteral("Read"), QStringLiteral("book"), QStringLiteral("Just reading. Ctrl+scroll or pinch to zoom, Ctrl+F to find.")};
    case EditorMode::annotate:
        return {QStringLiteral("Annotate"), QStringLiteral("highlighter"), QStringLiteral("Pick a tool, then go to town.")};
    case EditorMode::edit:
        return {QStringLiteral("Edit"), QStringLiteral("character.cursor.ibeam"),
                QStringLiteral("Click any text to change it. Pictures move, resize and swap.")};
    case EditorMode::sign:
        return {QStringLiteral("Sign"), QStringLiteral("signature"),
                QStringLiteral("Pick a signature. It lands on this page, ready to move.")};
    case EditorMode::pages:
        return {QStringLiteral("Pages"), QStringLiteral("square.grid.2x2"), QStringLiteral("Drag to reorder. Drop PDFs in to merge.")};
    case EditorMode::redact:
        return {QStringLiteral("Redact"), QStringLiteral("eye.slash"), QStringLiteral("Drag across anything you want gone.")};
    }
    return {};
}

ToolStyleRows toolStyleRows(Tool tool)
{
    ToolStyleRows rows;
    rows.color = tool != Tool::select && tool != Tool::crop;
    rows.lineWidth = tool == Tool::pen || isShape(tool);
    rows.fontSize = tool == Tool::text;
    switch (tool) {
    case Tool::select:
        rows.tip = QStringLiteral("Click to select. Drag to move. Corners resize. Backspace deletes.");
        break;
    case Tool::highlight:
    case Tool::underline:
    case Tool::strikeOut:
        rows.tip = QStringLiteral("Drag across text. That’s it.");
        break;
    case Tool::pen:
        rows.tip = QStringLiteral("Draw freely. Smoothing is on the house.");
        break;
    case Tool::rectangle:
    case Tool::ellipse:
        rows.tip = QStringLiteral("Drag to draw. Hold Shift for a perfect square or circle.");
        break;
    case Tool::line:
    case Tool::arrow:
        rows.tip = QStringLiteral("Drag to draw. Hold Shift to snap to 45°.");
        break;
    case Tool::note:
        rows.tip = QStringLiteral("Click anywhere to leave a note.");
        break;
    case Tool::text:
        rows.tip = QStringLiteral("Click anywhere and type. Ctrl+Return or Esc when done.");
        break;
    case Tool::crop:
        rows.tip = QStringLiteral("Drag a rectangle, then crop this page or all of them.");
        break;
    }
    return rows;
}

SelectionRows selectionRows(const pdf::Annotation& annotation)
{
    const QString type = annotation.type();
    const bool isSignature = core::SignatureAnnotation::isInstance(annotation)
        || annotation.userName() == core::kSignatureTag;
    const bool isMarkup = type == QLatin1String("Highlight") || type == QLatin1String("Underline")
        || type == QLatin1String("StrikeOut") || type == QLatin1String("Squiggly");
    SelectionRows rows;
    // A redaction mark has nothing to style: its look is fixed, and only its delete button shows.
    if (core::isRedactionMark(annotation))
        return rows;
    rows.color = !isSignature;
    rows.lineWidth = type == QLatin1String("Ink") || type == QLatin1String("Line") || type == QLatin1String("Square")
        || type == QLatin1String("Circle");
    rows.fontSize = type == QLatin1String("FreeText");
    rows.text = isMarkup || type == QLatin1String("FreeText") || type == QLatin1String("Text");
    if (rows.text)
        rows.textTitle = isMarkup ? QCoreApplication::translate("SelectionSection", "Add a comment")
                                  : QCoreApplication::translate("SelectionSection", "Text");
    return rows;
}

QColor selectionColor(const pdf::Annotation& annotation)
{
    if (annotation.type() == QLatin1String("FreeText")) {
        const QColor font = annotation.fontColor();
        return font.isValid() ? font : QColor(Qt::black);
    }
    QColor color = annotation.color();
    if (color.isValid())
        color.setAlphaF(1.0);
    return color;
}

double selectionLineWidth(const pdf::Annotation& annotation)
{
    return annotation.lineWidth().value_or(1.0);
}

double selectionFontSize(const pdf::Annotation& annotation)
{
    if (annotation.fontName().isEmpty() || annotation.fontSize() <= 0)
        return 16.0;
    return annotation.fontSize();
}

double roundedSliderValue(double value)
{
    return std::round(value); // std::round rounds halves away from zero
}

QString pointsText(double value)
{
    return QCoreApplication::translate("Inspector", "%1 pt").arg(qint64(std::trunc(value)));
}

} // namespace vmk::panels
