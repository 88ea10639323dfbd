#pragma once

#include <QString>

namespace vmk::core {

// Why a file cannot be opened; each case carries the file name (last path component, extension
// included) and has the message and the recovery suggestion shown to the user.
struct PDFOpenError {
    enum class Kind { empty, notPDF, damaged, cancelled };

    Kind kind = Kind::damaged;
    QString name;

    static PDFOpenError empty(const QString& name) { return {Kind::empty, name}; }
    static PDFOpenError notPDF(const QString& name) { return {Kind::notPDF, name}; }
    static PDFOpenError damaged(const QString& name) { return {Kind::damaged, name}; }
    // The user stopped the opening: nothing to tell them.
    static PDFOpenError cancelled(const QString& name) { return {Kind::cancelled, name}; }

    QString message() const;
    QString recoverySuggestion() const;

    friend bool operator==(const PDFOpenError&, const PDFOpenError&) = default;
};

} // namespace vmk::core
