#include "platform/pdf/pages/ContentTokens.h"

#include <QStringList>
#include <gtest/gtest.h>

using vmk::pdf::content::Token;
using vmk::pdf::content::Tokenizer;

namespace {

// The tokens of a content as "kind:text", kinds as letters: o operand, [ ] < > brackets, O operator,
// I inline picture, X broken.
QStringList tokens(const QByteArray& content)
{
    QStringList out;
    Tokenizer tokenizer(content);
    for (Token t = tokenizer.next(); !t.is(Token::Kind::end); t = tokenizer.next()) {
        static const char kinds[] = "-o[]<>OIX";
        out << QString(QLatin1Char(kinds[int(t.kind)])) + QLatin1Char(':') + QString::fromLatin1(t.text);
        if (t.is(Token::Kind::broken))
            break;
    }
    return out;
}

} // namespace

TEST(ContentTokens, SplitsOperandsOperatorsAndPicturesAndStopsAtBrokenInput)
{
    const struct {
        QByteArray content;
        QStringList expected;
    } cases[] = {
        {"/F1 12 Tf % comment Tj\n(a\\)(b)) Tj", {"o:/F1", "o:12", "O:Tf", "o:(a\\)(b))", "O:Tj"}},
        {"[<48>-5(i)]TJ <</MCID 0>> BDC", {"[:[", "o:<48>", "o:-5", "o:(i)", "]:]", "O:TJ", "<:<<", "o:/MCID", "o:0",
                                            ">:>>", "O:BDC"}},
        // The picture's bytes may look like operators; they stay inside its one token.
        {"BI /W 1 ID \x01 Q ET EI Q", {"I:BI /W 1 ID \x01 Q ET EI", "O:Q"}},
        {"true null T* '", {"o:true", "o:null", "O:T*", "O:'"}},
        {"(open Tj", {"X:(open Tj"}},
        {"q ) Q", {"O:q", "X:) Q"}},
        {"<4 Tj", {"X:<4 Tj"}},
        {"BI /W 1 ID xx", {"X:BI /W 1 ID xx"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tokens(c.content), c.expected) << c.content.toStdString();
}
