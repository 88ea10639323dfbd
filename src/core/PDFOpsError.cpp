#include "core/PDFOpsError.h"

namespace vmk::core {

QString PDFOpsError::message() const
{
    const QString quoted = QStringLiteral("\u201C") + name + QStringLiteral("\u201D");
    if (kind == Kind::locked)
        return quoted + QStringLiteral(" is password-protected. Open it first to unlock it.");
    return quoted + QStringLiteral(" isn\u2019t a PDF we can read.");
}

} // namespace vmk::core
