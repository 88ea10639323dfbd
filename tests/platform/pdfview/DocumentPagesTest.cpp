#include "platform/pdf/document/Page.h"
#include "platform/pdfview/ViewTestSupport.h"

#include <gtest/gtest.h>

using namespace vmk;

// The view takes all page handles at once; they must be the very handles page(i) gives, in order,
// also after the page tree was changed.
TEST(DocumentPages, AllAtOnceAreTheSameHandlesAsOneByOne)
{
    auto document = test::openPdf(test::textPdf(7));
    ASSERT_TRUE(document);
    const pdf::PagePtr third = document->page(2); // made before the others
    std::vector<pdf::PagePtr> all = document->pages();
    ASSERT_EQ(all.size(), 7u);
    EXPECT_EQ(all[2], third);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(all[size_t(i)], document->page(i));

    const pdf::PagePtr removed = document->removePage(1);
    ASSERT_TRUE(document->insertPage(removed, 5));
    ASSERT_TRUE(document->insertPage(pdf::Page::createBlank(QRectF(0, 0, 200, 200)), 0));
    all = document->pages();
    ASSERT_EQ(all.size(), 8u);
    EXPECT_EQ(all[6], removed);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(all[size_t(i)], document->page(i));
    EXPECT_EQ(all[0]->mediaBox(), QRectF(0, 0, 200, 200));
}
