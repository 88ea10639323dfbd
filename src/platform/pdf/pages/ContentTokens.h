#pragma once

// Reading page content one token at a time, for the passes that cut and regroup it. White space and
// comments are skipped; an inline picture (BI … ID data EI) comes as one token, so its bytes are never
// read as operators.

#include <QByteArray>
#include <QByteArrayView>

namespace vmk::pdf::content {

bool isWhite(char c);
bool isDelimiter(char c);

struct Token {
    enum class Kind {
        end,         // nothing left
        operand,     // a number, name, string, hex string, true, false or null
        arrayOpen,   // [
        arrayClose,  // ]
        dictOpen,    // <<
        dictClose,   // >>
        op,          // an operator
        inlineImage, // BI to EI
        broken,      // an unclosed string or hex string, a stray ) > { }, an inline picture with no end
    };
    Kind kind = Kind::end;
    qsizetype begin = 0, end = 0;
    QByteArrayView text; // the token's bytes

    bool is(Kind k) const { return kind == k; }
    bool isOp(QByteArrayView name) const { return kind == Kind::op && text == name; }
};

class Tokenizer {
public:
    explicit Tokenizer(const QByteArray& content)
        : m_content(content)
    {
    }
    Token next();

private:
    const QByteArray& m_content;
    qsizetype m_at = 0;
};

} // namespace vmk::pdf::content
