#include "chrome/PageJump.h"

namespace vmk::chrome {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

} // namespace

std::optional<qint64> parseTypedPageNumber(const QString& text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    const QStringView body = QStringView(text).mid(begin, end - begin);
    qsizetype i = 0;
    if (i < body.size() && (body.at(i) == QLatin1Char('+') || body.at(i) == QLatin1Char('-')))
        ++i;
    if (i == body.size())
        return std::nullopt;
    for (qsizetype k = i; k < body.size(); ++k)
        if (body.at(k) < QLatin1Char('0') || body.at(k) > QLatin1Char('9'))
            return std::nullopt;
    bool ok = false;
    const qint64 value = body.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt; // beyond 64 bits
    return value;
}

PageJump pageJumpFor(const QString& text, int pageCount)
{
    PageJump jump;
    const std::optional<qint64> n = parseTypedPageNumber(text);
    if (!n)
        return jump;
    if (*n >= 1 && *n <= pageCount) {
        jump.kind = PageJump::Kind::goTo;
        jump.pageIndex = int(*n - 1);
        return jump;
    }
    jump.kind = PageJump::Kind::outOfReach;
    jump.message = QStringLiteral("This one has %1 pages. Page %2 is out of reach.").arg(pageCount).arg(*n);
    return jump;
}

} // namespace vmk::chrome
