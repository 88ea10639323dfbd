#include "core/pdfium/SavedNumbers.h"

#include "platform/pdf/pages/ContentTokens.h"

#include <QHash>
#include <QList>
#include <QSet>

#include <charconv>
#include <cstring>
#include <functional>
#include <optional>

namespace vmk::core {

namespace {

using pdf::content::Token;

bool isInteger(QByteArrayView text)
{
    qsizetype k = !text.isEmpty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (k >= text.size())
        return false;
    for (; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9')
            return false;
    return true;
}

// The float a real written with a point reads as; none for any other token.
std::optional<uint32_t> realBits(QByteArrayView text)
{
    if (!text.contains('.') || text.size() > 40)
        return std::nullopt;
    const char* from = text.data() + (text.startsWith('+') ? 1 : 0);
    const char* end = text.data() + text.size();
    float value = 0;
    const auto read = std::from_chars(from, end, value, std::chars_format::fixed);
    if (read.ec != std::errc() || read.ptr != end)
        return std::nullopt;
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// A name's characters, its #-escapes read.
QByteArray decodedName(QByteArrayView written)
{
    QByteArray name;
    for (qsizetype k = 0; k < written.size(); ++k) {
        bool hex = false;
        const int value = k + 2 < written.size() && written[k] == '#'
            ? QByteArray(written.sliced(k + 1, 2).toByteArray()).toInt(&hex, 16)
            : 0;
        if (hex) {
            name.append(char(value));
            k += 2;
        } else {
            name.append(written[k]);
        }
    }
    return name;
}

// Calls `operand` with the offset and text of each operand outside streams (numbers, names, strings),
// skipping each stream's data by its length (or, when `guessEnds`, by the next "endstream" where the length
// is not given directly). False when the bytes could not be read through.
bool forEachOperand(const QByteArray& pdf, bool guessEnds,
                    const std::function<void(qsizetype, QByteArrayView)>& operand)
{
    qsizetype base = 0; // where the bytes the tokenizer reads begin
    QList<QByteArrayView> recent; // the last few tokens, for "/Length 12" and "/Length 12 0 R"
    qsizetype length = -1;
    while (base < pdf.size()) {
        const QByteArray rest = QByteArray::fromRawData(pdf.constData() + base, pdf.size() - base);
        pdf::content::Tokenizer tokens(rest);
        qsizetype resume = -1;
        for (Token t = tokens.next(); !t.is(Token::Kind::end); t = tokens.next()) {
            if (t.is(Token::Kind::broken) || t.is(Token::Kind::inlineImage))
                return false;
            recent.append(t.text);
            if (recent.size() > 4)
                recent.removeFirst();
            if (recent.size() >= 2 && recent[recent.size() - 2] == "/Length")
                length = isInteger(t.text) ? t.text.toLongLong() : -1;
            if (t.isOp("R") && recent.size() == 4 && recent[0] == "/Length")
                length = -1; // kept in another object: where the data ends is not known here
            if (t.is(Token::Kind::operand)) {
                operand(base + t.begin, t.text);
                continue;
            }
            if (!t.isOp("stream"))
                continue;
            // The data starts after the end of line that follows the keyword.
            qsizetype data = base + t.end;
            if (data < pdf.size() && pdf[data] == '\r')
                ++data;
            if (data < pdf.size() && pdf[data] == '\n')
                ++data;
            qsizetype after = -1;
            if (length >= 0 && data + length <= pdf.size()) {
                after = data + length;
                while (after < pdf.size() && pdf::content::isWhite(pdf[after]))
                    ++after;
                if (!QByteArrayView(pdf).sliced(after).startsWith("endstream"))
                    after = -1;
            }
            if (after < 0 && guessEnds)
                after = pdf.indexOf("endstream", data);
            if (after < 0)
                return false;
            resume = after + 9;
            length = -1;
            recent.clear();
            break;
        }
        if (resume < 0)
            return true;
        base = resume;
    }
    return true;
}

} // namespace

QByteArray withFileDigits(const QByteArray& saved, const QByteArray& original)
{
    // How the file wrote each float; a float written two ways is left to the engine.
    QHash<uint32_t, QByteArrayView> written;
    QSet<uint32_t> ambiguous;
    forEachOperand(original, true, [&](qsizetype, QByteArrayView text) {
        const auto real = realBits(text);
        if (!real)
            return;
        const uint32_t bits = *real;
        const auto it = written.constFind(bits);
        if (it == written.constEnd())
            written.insert(bits, text);
        else if (*it != text)
            ambiguous.insert(bits);
    });
    struct Change {
        qsizetype at, size;
        QByteArrayView digits;
    };
    QList<Change> changes;
    const bool read = forEachOperand(saved, false, [&](qsizetype at, QByteArrayView text) {
        const auto real = realBits(text);
        if (!real)
            return;
        const uint32_t bits = *real;
        const auto it = written.constFind(bits);
        if (it != written.constEnd() && !ambiguous.contains(bits) && *it != text && it->size() <= text.size())
            changes.append({at, text.size(), *it});
    });
    if (!read || changes.isEmpty())
        return saved;
    QByteArray out = saved;
    for (const Change& c : std::as_const(changes))
        out.replace(c.at, c.size, c.digits.toByteArray() + QByteArray(c.size - c.digits.size(), ' '));
    return out;
}

QByteArray withSubsetTagsRestored(const QByteArray& saved, const QHash<QByteArray, QByteArray>& marked)
{
    if (marked.isEmpty())
        return saved;
    QList<std::pair<qsizetype, QByteArray>> tags;
    // The tag and its mark are capitals and one plain character, never escaped: the name's first 7 bytes.
    const bool read = forEachOperand(saved, false, [&](qsizetype at, QByteArrayView text) {
        if (text.size() < 9 || text[0] != '/' || text.sliced(1, 7).contains('#'))
            return;
        const auto old = marked.constFind(decodedName(text.sliced(1)));
        if (old != marked.constEnd())
            tags.append({at + 1, old->left(7)});
    });
    if (!read)
        return saved;
    QByteArray out = saved;
    for (const auto& [at, tag] : std::as_const(tags))
        out.replace(at, tag.size(), tag);
    return out;
}

} // namespace vmk::core
