#include "platform/pdf/pages/TextPaint.h"

#include "platform/pdf/pages/ContentTokens.h"

#include <QTransform>

namespace vmk::pdf {

using content::Token;

namespace {

struct State {
    QTransform ctm;
    bool patternFill = false;
};

} // namespace

QList<QPointF> patternTextOrigins(const QByteArray& content)
{
    QList<QPointF> origins;
    QList<State> saved;
    State state;
    QTransform line, text; // the text line matrix and the text matrix
    double leading = 0;
    QList<Token> operands;
    auto number = [&](qsizetype fromEnd) {
        return operands.size() >= fromEnd ? QByteArray(operands[operands.size() - fromEnd].text.toByteArray()).toDouble()
                                          : 0.0;
    };
    auto lastIsName = [&] { return !operands.isEmpty() && operands.last().text.startsWith('/'); };
    auto moveLine = [&](double tx, double ty) {
        line = QTransform::fromTranslate(tx, ty) * line;
        text = line;
    };
    content::Tokenizer tokens(content);
    for (Token t = tokens.next(); !t.is(Token::Kind::end) && !t.is(Token::Kind::broken); t = tokens.next()) {
        if (t.is(Token::Kind::operand)) {
            operands.append(t);
            continue;
        }
        if (!t.is(Token::Kind::op))
            continue; // the brackets of a TJ array, an inline picture
        const QByteArrayView op = t.text;
        if (op == "q") {
            saved.append(state);
        } else if (op == "Q") {
            if (!saved.isEmpty())
                state = saved.takeLast();
        } else if (op == "cm" && operands.size() >= 6) {
            state.ctm = QTransform(number(6), number(5), number(4), number(3), number(2), number(1)) * state.ctm;
        } else if (op == "cs") {
            state.patternFill = !operands.isEmpty() && operands.last().text == "/Pattern";
        } else if (op == "scn") {
            // A pattern's name comes last, after the colour of an uncoloured one.
            state.patternFill = lastIsName();
        } else if (op == "g" || op == "rg" || op == "k" || op == "sc") {
            state.patternFill = false;
        } else if (op == "BT") {
            line = text = QTransform();
        } else if (op == "Td") {
            moveLine(number(2), number(1));
        } else if (op == "TD") {
            leading = -number(1);
            moveLine(number(2), number(1));
        } else if (op == "Tm" && operands.size() >= 6) {
            line = text = QTransform(number(6), number(5), number(4), number(3), number(2), number(1));
        } else if (op == "TL") {
            leading = number(1);
        } else if (op == "T*") {
            moveLine(0, -leading);
        } else if (op == "Tj" || op == "TJ" || op == "'" || op == "\"") {
            if (op == "'" || op == "\"")
                moveLine(0, -leading);
            if (state.patternFill)
                origins.append((text * state.ctm).map(QPointF(0, 0)));
        }
        operands.clear();
    }
    return origins;
}

} // namespace vmk::pdf
