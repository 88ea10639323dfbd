// The loader and the memory sink, driven through a stand-in dynamic loader and a stand-in save.

#include "core/pdfium/PDFEditSession.h"
#include "core/pdfium/PDFiumAPI.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace vmk::core;

namespace {

// The stand-in library: every symbol resolves to one dummy address except those listed as missing.
struct FakeLibrary {
    int opens = 0, closes = 0, inits = 0;
    int lastInitVersion = -1;
    bool openFails = false;
    const char* openError = "libpdfium.so: cannot open shared object file";
    std::string missing;
};
FakeLibrary* g_fake = nullptr;
int g_handle = 0;

void fakeInit(const FPDF_LIBRARY_CONFIG* config)
{
    ++g_fake->inits;
    g_fake->lastInitVersion = config->version;
}
void fakeOther() {}

DynamicLoaderCalls fakeCalls()
{
    DynamicLoaderCalls c;
    c.open = [](const char*, int) -> void* {
        ++g_fake->opens;
        return g_fake->openFails ? nullptr : &g_handle;
    };
    c.symbol = [](void*, const char* name) -> void* {
        if (g_fake->missing == name)
            return nullptr;
        if (std::strcmp(name, "FPDF_InitLibraryWithConfig") == 0)
            return reinterpret_cast<void*>(&fakeInit);
        return reinterpret_cast<void*>(&fakeOther);
    };
    c.close = [](void*) {
        ++g_fake->closes;
        return 0;
    };
    c.lastError = []() -> const char* { return g_fake->openError; };
    return c;
}

bool allNull(const PDFiumAPI& api)
{
    const auto* words = reinterpret_cast<void* const*>(&api);
    for (size_t i = 0; i < sizeof(PDFiumAPI) / sizeof(void*); ++i)
        if (words[i])
            return false;
    return true;
}

class PDFiumLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { g_fake = &fake; }
    void TearDown() override { g_fake = nullptr; }
    FakeLibrary fake;
    char error[512] = {};
};

} // namespace

TEST_F(PDFiumLoaderTest, LoadsOnceInitialisesOnceAndBindsEveryEntryPoint)
{
    static_assert(sizeof(PDFiumAPI) == kPDFiumEntryPointCount * sizeof(void*));
    PDFiumLoader loader(fakeCalls());
    const PDFiumAPI* first = loader.load("/x/libpdfium.so", error, sizeof error);
    ASSERT_NE(first, nullptr);
    const auto* words = reinterpret_cast<void* const*>(first);
    for (int i = 0; i < kPDFiumEntryPointCount; ++i)
        EXPECT_NE(words[i], nullptr) << "entry " << i;
    EXPECT_EQ(fake.inits, 1);
    EXPECT_EQ(fake.lastInitVersion, 2);

    const PDFiumAPI* second = loader.load("/elsewhere.so", error, sizeof error);
    EXPECT_EQ(second, first);
    EXPECT_EQ(fake.opens, 1);
    EXPECT_EQ(fake.inits, 1);
    EXPECT_EQ(fake.closes, 0); // the library stays for the process's life
}

TEST_F(PDFiumLoaderTest, MissingLastEntryPointFailsClearsTheTableAndAllowsARetry)
{
    fake.missing = "FPDFPage_New";
    PDFiumLoader loader(fakeCalls());
    EXPECT_EQ(loader.load("/x/libpdfium.so", error, sizeof error), nullptr);
    EXPECT_STREQ(error, "missing symbol FPDFPage_New");
    EXPECT_EQ(fake.closes, 1);
    EXPECT_EQ(fake.inits, 0);
    EXPECT_TRUE(allNull(loader.table()));
    EXPECT_FALSE(loader.isLoaded());

    fake.missing.clear(); // a complete library now stands at the path
    EXPECT_NE(loader.load("/x/libpdfium.so", error, sizeof error), nullptr);
    EXPECT_EQ(fake.opens, 2);
    EXPECT_EQ(fake.inits, 1);
}

TEST_F(PDFiumLoaderTest, OpenFailureReportsTheLoaderTextOrAFallbackCutToTheBuffer)
{
    fake.openFails = true;
    PDFiumLoader loader(fakeCalls());
    EXPECT_EQ(loader.load("/x", error, sizeof error), nullptr);
    EXPECT_STREQ(error, fake.openError);
    EXPECT_TRUE(allNull(loader.table()));

    fake.openError = nullptr;
    EXPECT_EQ(loader.load("/x", error, sizeof error), nullptr);
    EXPECT_STREQ(error, "dlopen failed");

    char tiny[5];
    std::memset(tiny, 'x', sizeof tiny);
    fake.openError = "a long loader message";
    EXPECT_EQ(loader.load("/x", tiny, sizeof tiny), nullptr);
    EXPECT_STREQ(tiny, "a lo");
}

TEST(PDFiumEngineTest, MissingLibraryMakesEditingUnavailableWithTheLoaderText)
{
    PDFiumLoader loader; // the real dynamic loader, on a path where nothing is
    const auto engine = PDFEditSession::loadEngine(loader, QStringLiteral("/nonexistent/vmk/libpdfium.so"));
    ASSERT_FALSE(engine.ok());
    EXPECT_EQ(engine.error().kind, PDFiumError::Kind::unavailable);
    EXPECT_TRUE(engine.error().text.contains(QStringLiteral("/nonexistent/vmk/libpdfium.so")));
    const QString message = engine.error().message();
    EXPECT_TRUE(message.startsWith(QStringLiteral("The editing engine couldn\u2019t start (")));
    EXPECT_TRUE(message.endsWith(QStringLiteral(").")));

    const auto session = PDFEditSession::open(engine, QByteArray("%PDF-1.4"));
    ASSERT_FALSE(session.ok());
    EXPECT_EQ(session.error(), engine.error());
}

TEST(PDFiumEngineTest, LibraryPathFollowsTheOverride)
{
    qputenv("VMK_PDFIUM_PATH", "/opt/test/libpdfium.so");
    EXPECT_EQ(PDFEditSession::pdfiumLibraryPath(), QStringLiteral("/opt/test/libpdfium.so"));
    qunsetenv("VMK_PDFIUM_PATH");
    EXPECT_TRUE(PDFEditSession::pdfiumLibraryPath().endsWith(QStringLiteral("/lib/vellumark/libpdfium.so")));
}

// ---- Memory sink ----

namespace {

PDFiumMemorySink freshSink()
{
    PDFiumMemorySink sink{};
    sink.head.version = 1;
    sink.head.WriteBlock = &pdfium_write_block;
    return sink;
}

QByteArray g_saveOutput;
bool g_saveReportsSuccess = true;
bool g_refuseSecondBlock = false;

int fakeSave(FPDF_DOCUMENT, FPDF_FILEWRITE* sink, unsigned long flags)
{
    EXPECT_EQ(flags, 2u); // always a complete file
    const qsizetype half = g_saveOutput.size() / 2;
    sink->WriteBlock(sink, g_saveOutput.constData(), (unsigned long)half);
    if (g_refuseSecondBlock)
        reinterpret_cast<PDFiumMemorySink*>(sink)->failed = 1;
    sink->WriteBlock(sink, g_saveOutput.constData() + half, (unsigned long)(g_saveOutput.size() - half));
    return g_saveReportsSuccess ? 1 : 0;
}

} // namespace

TEST(PDFiumSinkTest, BufferGrowsByDoublingFrom64KiB)
{
    const QByteArray block(65536, 'a');
    PDFiumMemorySink exact = freshSink();
    EXPECT_EQ(pdfium_write_block(&exact.head, block.constData(), 65536), 1);
    EXPECT_EQ(exact.capacity, 65536u);
    EXPECT_EQ(pdfium_write_block(&exact.head, "b", 1), 1);
    EXPECT_EQ(exact.capacity, 131072u);
    EXPECT_EQ(exact.length, 65537u);
    EXPECT_EQ(exact.buffer[65536], 'b');
    std::free(exact.buffer);

    PDFiumMemorySink refused = freshSink();
    refused.failed = 1;
    EXPECT_EQ(pdfium_write_block(&refused.head, "x", 1), 0);
    EXPECT_EQ(refused.length, 0u);
}

TEST(PDFiumSinkTest, SaveHandsOutTheBytesOnlyWhenEveryBlockWasStored)
{
    PDFiumAPI api{};
    api.FPDF_SaveAsCopy = &fakeSave;
    g_saveOutput = QByteArray("%PDF-1.7 whole file");
    unsigned char* buffer = nullptr;
    size_t length = 0;

    g_saveReportsSuccess = true;
    g_refuseSecondBlock = false;
    ASSERT_TRUE(pdfium_save_to_memory(&api, nullptr, &buffer, &length));
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer), qsizetype(length)), g_saveOutput);
    std::free(buffer);

    g_refuseSecondBlock = true; // PDFium says it saved, but a block was refused
    EXPECT_FALSE(pdfium_save_to_memory(&api, nullptr, &buffer, &length));
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(length, 0u);

    g_refuseSecondBlock = false;
    g_saveReportsSuccess = false;
    EXPECT_FALSE(pdfium_save_to_memory(&api, nullptr, &buffer, &length));
    EXPECT_EQ(buffer, nullptr);
}

TEST(PDFiumErrorTest, MessagesShownToTheUser)
{
    EXPECT_EQ(PDFiumError::unavailable(QStringLiteral("missing symbol X")).message(),
              QStringLiteral("The editing engine couldn\u2019t start (missing symbol X)."));
    EXPECT_EQ(PDFiumError::loadFailed(3).message(),
              QStringLiteral("This PDF couldn\u2019t be opened for editing (error 3)."));
    EXPECT_EQ(PDFiumError::pageFailed(0).message(), QStringLiteral("Page 1 couldn\u2019t be opened for editing."));
    EXPECT_EQ(PDFiumError::notEditable(EditRefusal::script()).message(), EditRefusal::script());
    EXPECT_EQ(PDFiumError::saveFailed().message(), QStringLiteral("The edit couldn\u2019t be saved."));
    EXPECT_EQ(PDFiumError::fontFailed().message(), QStringLiteral("No usable font was found for this text."));
}
