#include "platform/pdf/document/ObjectNumbers.h"

#include "platform/pdf/engine/PdfLog.h"

#include <cstring>

namespace vmk::pdf::detail {

namespace {

// The engine's own ceiling on object numbers, and how far past the table's end numbers are reserved:
// each free entry costs the engine a table slot, and a reference millions beyond the end is no
// truncated object but noise.
constexpr int kMaxObjectNumber = 8388607;
constexpr int kMaxReserved = 100000;

bool isSpace(char ch) { return ch == ' ' || ch == '\n' || ch == '\r' || ch == '\t' || ch == '\f' || ch == '\0'; }
bool isDelimiter(char ch) { return std::strchr("()<>[]{}/%", ch) != nullptr && ch != '\0'; }
bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

} // namespace

int highestReferencedNumber(const QByteArray& data)
{
    const char* begin = data.constData();
    const char* end = begin + data.size();
    int highest = -1;
    for (const char* r = static_cast<const char*>(std::memchr(begin, 'R', size_t(end - begin))); r;
         r = r + 1 < end ? static_cast<const char*>(std::memchr(r + 1, 'R', size_t(end - r - 1))) : nullptr) {
        if (r + 1 < end && !isSpace(r[1]) && !isDelimiter(r[1]))
            continue; // part of a word
        // Backwards: spaces, the generation, at least one space, the number, then a space or delimiter.
        const char* q = r - 1;
        while (q >= begin && isSpace(*q))
            --q;
        const char* generationEnd = q;
        while (q >= begin && isDigit(*q) && generationEnd - q < 6)
            --q;
        if (q == generationEnd || q < begin || !isSpace(*q))
            continue;
        while (q >= begin && isSpace(*q))
            --q;
        const char* numberEnd = q;
        int number = 0;
        int place = 1;
        while (q >= begin && isDigit(*q) && numberEnd - q < 8) {
            number += (*q - '0') * place;
            place *= 10;
            --q;
        }
        if (q == numberEnd || (q >= begin && !isSpace(*q) && !isDelimiter(*q)))
            continue;
        if (number <= kMaxObjectNumber && number > highest)
            highest = number;
    }
    return highest;
}

void reserveReferencedNumbers(fz_context* c, pdf_document* doc, const QByteArray& data)
{
    reserveNumbersUpTo(c, doc, highestReferencedNumber(data));
}

void reserveNumbersUpTo(fz_context* c, pdf_document* doc, int highest)
{
    int length = 0;
    if (!guarded(c, [&] { length = pdf_xref_len(c, doc); }) || highest < length)
        return;
    if (highest - length >= kMaxReserved) {
        qCWarning(lcVmkPdf) << "The file refers to object" << highest << "far past its last," << length - 1
                            << "; new objects may take the numbers between";
        return;
    }
    QString error;
    guarded(c, [&] {
        while (pdf_xref_len(c, doc) <= highest)
            pdf_create_object(c, doc);
    }, &error);
    if (!error.isEmpty())
        qCWarning(lcVmkPdf) << "Numbers past the file's last object could not be kept free:" << error;
}

} // namespace vmk::pdf::detail
