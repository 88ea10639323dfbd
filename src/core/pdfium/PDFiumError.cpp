#include "core/pdfium/PDFiumError.h"

namespace vmk::core {

QString PDFiumError::message() const
{
    switch (kind) {
    case Kind::unavailable:
        return QStringLiteral("The editing engine couldn\u2019t start (") + text + QStringLiteral(").");
    case Kind::loadFailed:
        return QStringLiteral("This PDF couldn\u2019t be opened for editing (error %1).").arg(code);
    case Kind::pageFailed:
        return QStringLiteral("Page %1 couldn\u2019t be opened for editing.").arg(qint64(pageIndex) + 1);
    case Kind::notEditable:
        return text;
    case Kind::saveFailed:
        return QStringLiteral("The edit couldn\u2019t be saved.");
    case Kind::fontFailed:
        return QStringLiteral("No usable font was found for this text.");
    case Kind::wouldDamage:
        return QStringLiteral("This edit would also have changed other parts of the page, so it wasn\u2019t made. "
                              "The page is as it was.");
    case Kind::cancelled:
        return QStringLiteral("Stopped.");
    }
    return {};
}

namespace EditRefusal {

QString font()
{
    return QStringLiteral(
        "This text uses a font that can\u2019t be edited. You can redact it and add a text box instead.");
}

QString geometry()
{
    return QStringLiteral("Rotated or vertical text can\u2019t be edited in place yet. You can redact it and add "
                          "a text box instead.");
}

QString recognizedText()
{
    return QStringLiteral("This is recognized (OCR) text behind a scan. Use a text box to add new text.");
}

QString script()
{
    return QStringLiteral("Right-to-left text can\u2019t be edited in place yet. You can redact it and add a text "
                          "box instead.");
}

QString generic() { return QStringLiteral("This text can\u2019t be edited."); }

} // namespace EditRefusal

} // namespace vmk::core
