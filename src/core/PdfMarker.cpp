#include "core/PdfMarker.h"

namespace vmk::core {

bool hasPdfMarker(const QByteArray& data)
{
    static constexpr qsizetype window = 1024;
    return data.left(window).contains(QByteArrayLiteral("%PDF-"));
}

} // namespace vmk::core
