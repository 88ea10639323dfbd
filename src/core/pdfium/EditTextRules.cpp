#include "core/pdfium/EditTextRules.h"

#include "platform/pdf/pages/ContentSplit.h"

#include <QChar>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <utility>

namespace vmk::core::editrules {

bool isWhitespace(char32_t c)
{
    return c == U'\t' || QChar::category(c) == QChar::Separator_Space;
}

bool isNewline(char32_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

namespace {

template <typename Pred>
QString trimmed(const QString& s, Pred drop)
{
    const std::u32string u = s.toStdU32String();
    size_t begin = 0, end = u.size();
    while (begin < end && drop(u[begin]))
        ++begin;
    while (end > begin && drop(u[end - 1]))
        --end;
    return QString::fromStdU32String(u.substr(begin, end - begin));
}

} // namespace

QString trimmedWhitespace(const QString& s) { return trimmed(s, isWhitespace); }

QString trimmedWhitespaceAndNewlines(const QString& s)
{
    return trimmed(s, [](char32_t c) { return isWhitespace(c) || isNewline(c); });
}

QString removingWhitespace(const QString& s)
{
    std::u32string out;
    for (char32_t c : s.toStdU32String())
        if (!isWhitespace(c) && !isNewline(c))
            out.push_back(c);
    return QString::fromStdU32String(out);
}

bool sameWords(const QString& readBack, const QString& expected)
{
    auto words = [](const QString& s) {
        QStringList out;
        QString word;
        for (char32_t c : s.toStdU32String()) {
            if (isWhitespace(c) || isNewline(c)) {
                if (!word.isEmpty())
                    out.append(std::exchange(word, QString()));
            } else {
                word += QString::fromStdU32String(std::u32string(1, c));
            }
        }
        if (!word.isEmpty())
            out.append(word);
        return out;
    };
    return words(readBack) == words(expected);
}

std::set<char32_t> unicodeScalarSet(const QString& s)
{
    const std::u32string u = s.toStdU32String();
    return {u.begin(), u.end()};
}

QString stripSubsetPrefix(const QString& name)
{
    const std::u32string u = name.toStdU32String();
    // A tag may be marked for the editing engine instead (see pdf::kSubsetTagMark).
    if (u.size() < 8 || (u[6] != U'+' && u[6] != char32_t(pdf::kSubsetTagMark)))
        return name;
    for (int i = 0; i < 6; ++i)
        if (u[i] < U'A' || u[i] > U'Z')
            return name;
    return QString::fromStdU32String(u.substr(7));
}

bool containsRightToLeft(const QString& s)
{
    for (char32_t c : s.toStdU32String())
        if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFEFF))
            return true;
    return false;
}

bool isUpright(const FS_MATRIX& m)
{
    const float a = std::fabs(m.a), b = std::fabs(m.b), c = std::fabs(m.c), d = std::fabs(m.d);
    const bool rowOk = a <= 0.01f ? b <= 0.0001f : b <= 0.01f * a;
    const bool columnOk = d <= 0.01f ? c <= 0.0001f : c <= 0.01f * d;
    return rowOk && columnOk && m.a >= 0.0f && m.d >= 0.0f;
}

bool fitsWindows1252(const QString& s)
{
    // The codes 0x80 to 0x9F that Windows-1252 gives to printable characters instead of controls.
    static const char32_t extra[] = {0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
                                     0x0160, 0x2039, 0x0152, 0x017D, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                     0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};
    for (char32_t c : s.toStdU32String()) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
            continue;
        if (std::find(std::begin(extra), std::end(extra), c) == std::end(extra))
            return false;
    }
    return true;
}

bool looksScanned(bool anyEditableBlock, float pageWidth, float pageHeight, float largestImageArea)
{
    if (anyEditableBlock)
        return false;
    const float pageArea = pageWidth * pageHeight;
    return pageArea > 0.0f && largestImageArea > 0.6f * pageArea;
}

bool wantsBold(const QString& fontName, int fontWeight)
{
    static const QRegularExpression heavy(QStringLiteral("bold|black|heavy|semibold|demi"),
                                          QRegularExpression::CaseInsensitiveOption);
    return fontWeight >= 600 || heavy.match(fontName).hasMatch();
}

bool wantsItalic(const QString& fontName, int fontFlags)
{
    static const QRegularExpression slanted(QStringLiteral("italic|oblique"),
                                            QRegularExpression::CaseInsensitiveOption);
    return (fontFlags & 64) != 0 || slanted.match(fontName).hasMatch();
}

} // namespace vmk::core::editrules
