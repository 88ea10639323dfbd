#include "core/pdfium/SavedNumbers.h"

#include "platform/pdf/pages/ContentTokens.h"

#include <QList>

#include <charconv>

namespace vmk::core {

namespace {

using pdf::content::Token;

bool isInteger(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (qsizetype k = (text[0] == '-' || text[0] == '+') ? 1 : 0; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9')
            return false;
    return text.size() > 1 || (text[0] >= '0' && text[0] <= '9');
}

// The shortest decimal reading as the same float as a real written with a point, without a leading zero
// (".5"); empty when the text is no such real or the shortest form would have no point.
QByteArray shortest(QByteArrayView text)
{
    if (!text.contains('.'))
        return {};
    const bool plus = text.startsWith('+');
    const char* from = text.data() + (plus ? 1 : 0);
    const char* end = text.data() + text.size();
    float value = 0;
    const auto read = std::from_chars(from, end, value, std::chars_format::fixed);
    if (read.ec != std::errc() || read.ptr != end)
        return {};
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (written.ec != std::errc())
        return {};
    QByteArray out(buffer, written.ptr - buffer);
    if (!out.contains('.'))
        return {};
    if (out.startsWith("0."))
        out.remove(0, 1);
    else if (out.startsWith("-0."))
        out.remove(1, 1);
    return out;
}

} // namespace

QByteArray withShortestReals(const QByteArray& pdf)
{
    QByteArray out = pdf;
    qsizetype base = 0; // where the bytes the tokenizer reads begin in the file
    QList<Token> recent; // the last few tokens, for "/Length 12" and "/Length 12 0 R"
    qsizetype length = -1;
    bool changed = false;
    while (base < pdf.size()) {
        const QByteArray rest = QByteArray::fromRawData(pdf.constData() + base, pdf.size() - base);
        pdf::content::Tokenizer tokens(rest);
        qsizetype resume = -1;
        for (Token t = tokens.next(); !t.is(Token::Kind::end); t = tokens.next()) {
            if (t.is(Token::Kind::broken) || t.is(Token::Kind::inlineImage))
                return pdf;
            recent.append(t);
            if (recent.size() > 4)
                recent.removeFirst();
            if (recent.size() >= 2 && recent[recent.size() - 2].text == "/Length")
                length = isInteger(t.text) ? t.text.toLongLong() : -1;
            if (t.is(Token::Kind::op) && t.text == "R" && recent.size() >= 4 && recent[0].text == "/Length")
                length = -1; // a length kept elsewhere: the stream's end is not known here
            if (t.is(Token::Kind::operand)) {
                const QByteArray better = shortest(t.text);
                if (!better.isEmpty() && better.size() <= t.text.size() && better != t.text) {
                    const qsizetype at = base + t.begin;
                    out.replace(at, t.text.size(), better + QByteArray(t.text.size() - better.size(), ' '));
                    changed = true;
                }
                continue;
            }
            if (!t.is(Token::Kind::op) || t.text != "stream")
                continue;
            // The data starts after the end of line that follows the keyword and runs for its length.
            qsizetype data = base + t.end;
            if (data < pdf.size() && pdf[data] == '\r')
                ++data;
            if (data < pdf.size() && pdf[data] == '\n')
                ++data;
            if (length < 0 || data + length > pdf.size())
                return pdf;
            qsizetype after = data + length;
            while (after < pdf.size() && pdf::content::isWhite(pdf[after]))
                ++after;
            if (!QByteArrayView(pdf).sliced(after).startsWith("endstream"))
                return pdf;
            resume = after + 9;
            length = -1;
            recent.clear();
            break;
        }
        if (resume < 0)
            break;
        base = resume;
    }
    return changed ? out : pdf;
}

} // namespace vmk::core
