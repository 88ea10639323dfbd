#pragma once

#include <QString>

namespace vmk::core {

// Why a file cannot be combined or inserted; carries the file name (last path component).
struct PDFOpsError {
    enum class Kind { unreadable, locked };

    Kind kind = Kind::unreadable;
    QString name;

    static PDFOpsError unreadable(const QString& name) { return {Kind::unreadable, name}; }
    static PDFOpsError locked(const QString& name) { return {Kind::locked, name}; }

    // The text shown to the user.
    QString message() const;

    friend bool operator==(const PDFOpsError&, const PDFOpsError&) = default;
};

} // namespace vmk::core
