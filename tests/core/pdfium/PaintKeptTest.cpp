// Text the engine can only write again as plain filled text keeps its paint: an edit of its line is refused
// with the page as it was.

#include "EditFixtures.h"

#include "support/PdfBuilder.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;
using namespace vmk::editest;

TEST(PaintKept, TextNotPlainlyFilledIsRefusedAndPlainTextBesideItIsEdited)
{
    struct Case {
        const char* name;
        QByteArray content;
        bool edited;
    } const cases[] = {
        {"shading pattern", "/Pattern cs /P1 scn BT /F1 24 Tf 72 700 Td (Page one) Tj ET", false},
        {"pattern under a move, shown in two strings",
         "q 1 0 0 1 10 20 cm /Pattern cs /P1 scn BT /F1 24 Tf 62 680 Td (Page) Tj ( one) Tj ET Q", false},
        {"clipping", "BT /F1 24 Tf 7 Tr 72 700 Td (Page one) Tj ET", false},
        {"plain word before a patterned one on its line",
         "1 0 0 rg BT /F1 24 Tf 72 700 Td (Page) Tj /Pattern cs /P1 scn ( one) Tj ET", false},
        {"pattern restored away", "q /Pattern cs /P1 scn Q BT /F1 24 Tf 72 700 Td (Page one) Tj ET", true},
        {"pattern on another line",
         "/Pattern cs /P1 scn BT /F1 24 Tf 72 600 Td (Other) Tj ET 0 0 1 rg BT /F1 24 Tf 72 700 Td (Page one) Tj ET",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray original = test::assemblePdf(
            {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
             "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
             " /Resources << /Font << /F1 5 0 R >> /Pattern << /P1 6 0 R >> >> >>",
             test::pdfStream({}, c.content),
             "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
             "<< /PatternType 2 /Shading << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [72 0 300 0]"
             " /Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >> >>"});
        VMK_OPEN_SESSION_OR_SKIP(session, original);
        const auto model = session->model(0);
        ASSERT_TRUE(model.ok());
        const auto block = std::find_if(model->blocks.begin(), model->blocks.end(),
                                        [](const EditableTextBlock& b) { return b.text.startsWith(u"Page"); });
        ASSERT_NE(block, model->blocks.end());
        EXPECT_EQ(block->isEditable, c.edited); // said when it is selected, before anything is typed
        QString typed = block->text;
        typed.replace(0, 4, QStringLiteral("Pgae"));
        const auto result = session->replaceText(*block, typed, 0);
        if (!c.edited)
            ASSERT_FALSE(result.ok());
        if (!result.ok())
            EXPECT_EQ(result.error().kind, PDFiumError::Kind::notEditable);
        const auto saved = session->save();
        ASSERT_TRUE(saved.ok()); // a refused edit leaves the document to be saved as it was
        EXPECT_TRUE(extractText(saved.value()).contains(c.edited ? u"Pgae one" : u"Page one"));
    }
}
