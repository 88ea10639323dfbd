#include "core/PDFOpenError.h"

namespace vmk::core {

QString PDFOpenError::message() const
{
    const QString quoted = QStringLiteral("\u201C") + name + QStringLiteral("\u201D");
    switch (kind) {
    case Kind::empty:
        return quoted + QStringLiteral(" is empty.");
    case Kind::notPDF:
        return quoted + QStringLiteral(" isn\u2019t a PDF.");
    case Kind::cancelled:
        return quoted + QStringLiteral(" wasn\u2019t opened: opening it was stopped.");
    case Kind::damaged:
        break;
    }
    return quoted + QStringLiteral(" is too damaged to open.");
}

QString PDFOpenError::recoverySuggestion() const
{
    switch (kind) {
    case Kind::empty:
        return QStringLiteral("The file has zero bytes. Maybe the download didn\u2019t finish?");
    case Kind::notPDF:
        return QStringLiteral(
            "It has a .pdf name, but something else inside. Try opening it with the app that made it.");
    case Kind::cancelled:
        return {};
    case Kind::damaged:
        break;
    }
    return QStringLiteral("If you have another copy, try that one.");
}

} // namespace vmk::core
