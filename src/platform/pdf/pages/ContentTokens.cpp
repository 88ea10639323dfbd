#include "platform/pdf/pages/ContentTokens.h"

namespace vmk::pdf::content {

bool isWhite(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'; }

bool isDelimiter(char c)
{
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' || c == '/'
        || c == '%';
}

Token Tokenizer::next()
{
    const char* s = m_content.constData();
    const qsizetype n = m_content.size();
    qsizetype i = m_at;
    while (i < n && (isWhite(s[i]) || s[i] == '%')) {
        if (s[i] == '%')
            while (i < n && s[i] != '\n' && s[i] != '\r')
                ++i;
        else
            ++i;
    }
    Token t;
    t.begin = i;
    auto finish = [&](Token::Kind kind, qsizetype end) {
        t.kind = kind;
        t.end = end;
        t.text = QByteArrayView(s + t.begin, end - t.begin);
        // Nothing is read past a broken token.
        m_at = kind == Token::Kind::broken ? n : end;
        return t;
    };
    if (i >= n)
        return finish(Token::Kind::end, n);
    const char c = s[i];
    if (c == '(') {
        int nest = 0;
        for (; i < n; ++i) {
            if (s[i] == '\\')
                ++i;
            else if (s[i] == '(')
                ++nest;
            else if (s[i] == ')' && --nest == 0)
                return finish(Token::Kind::operand, i + 1);
        }
        return finish(Token::Kind::broken, n);
    }
    if (c == '<' && i + 1 < n && s[i + 1] == '<')
        return finish(Token::Kind::dictOpen, i + 2);
    if (c == '>' && i + 1 < n && s[i + 1] == '>')
        return finish(Token::Kind::dictClose, i + 2);
    if (c == '<') {
        const qsizetype close = m_content.indexOf('>', i);
        return close < 0 ? finish(Token::Kind::broken, n) : finish(Token::Kind::operand, close + 1);
    }
    if (c == '[')
        return finish(Token::Kind::arrayOpen, i + 1);
    if (c == ']')
        return finish(Token::Kind::arrayClose, i + 1);
    if (c == ')' || c == '>' || c == '{' || c == '}')
        return finish(Token::Kind::broken, n);
    ++i;
    while (i < n && !isWhite(s[i]) && !isDelimiter(s[i]))
        ++i;
    const QByteArrayView word(s + t.begin, i - t.begin);
    if (c == '/' || c == '-' || c == '+' || c == '.' || (c >= '0' && c <= '9') || word == "true" || word == "false"
        || word == "null")
        return finish(Token::Kind::operand, i);
    if (word != "BI")
        return finish(Token::Kind::op, i);
    // The picture's data runs from one white byte after "ID" to a white byte, "EI" and a white byte, a
    // delimiter or the end.
    const qsizetype id = m_content.indexOf("ID", i);
    if (id < 0)
        return finish(Token::Kind::broken, n);
    for (qsizetype at = id + 3; (at = m_content.indexOf("EI", at)) >= 0; ++at)
        if (isWhite(s[at - 1]) && (at + 2 >= n || isWhite(s[at + 2]) || isDelimiter(s[at + 2])))
            return finish(Token::Kind::inlineImage, at + 2);
    return finish(Token::Kind::broken, n);
}

} // namespace vmk::pdf::content
