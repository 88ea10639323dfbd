// Right-to-left text is refused before anything is written: retyping it would reverse its order, and a
// refusal that only changed its message would let the edit through.

#include "EditFixtures.h"

#include "core/pdfium/EditTextRules.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;
using namespace vmk::editest;

TEST(ScriptRefusal, AHebrewLineIsRefusedAndItsPageStaysAsItWas)
{
    const QByteArray original = makeQtTextPdf({{QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD"), {72, 700}},
                                               {QStringLiteral("Plain words"), {72, 500}}});
    VMK_OPEN_SESSION_OR_SKIP(session, original);
    const PageEditModel model = session->model(0).value();
    std::optional<EditableTextBlock> hebrew, plain;
    for (const EditableTextBlock& block : model.blocks)
        (editrules::containsRightToLeft(block.text) ? hebrew : plain) = block;
    ASSERT_TRUE(hebrew && plain);
    EXPECT_FALSE(hebrew->isEditable);
    EXPECT_EQ(hebrew->reason, EditRefusal::script());
    EXPECT_TRUE(plain->isEditable);

    const auto refused = session->replaceText(*hebrew, QStringLiteral("\u05E9\u05DC\u05D5\u05DD"), 0);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error(), PDFiumError::notEditable(EditRefusal::script()));
    const auto saved = session->save();
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(editrules::removingWhitespace(extractText(saved.value())),
              editrules::removingWhitespace(extractText(original)));
}
