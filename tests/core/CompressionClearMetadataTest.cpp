// Compressing a protected file whose XMP metadata is kept in clear keeps it so in the smaller copy, with
// the rest still encrypted.

#include "core/PDFOps.h"

#include "support/ClearMetadataFixtures.h"

#include <gtest/gtest.h>

using namespace vmk;
using core::PDFOps::CompressionPreset;

TEST(CompressionClearMetadata, ProtectedFilesShrinkAndKeepTheirMetadataInClear)
{
    const struct {
        const char* name;
        test::XmpPacking packing;
        QStringList scheme;
    } cases[] = {
        {"AES-128", test::XmpPacking::flate, {QStringLiteral("128"), QStringLiteral("--use-aes=y")}},
        {"RC4-128", test::XmpPacking::stored, {QStringLiteral("128"), QStringLiteral("--use-aes=n")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray locked = test::encryptWithClearMetadata(test::clearMetadataPdf(c.packing, true), c.scheme);
        const QByteArray compressed = core::PDFOps::compress(locked, CompressionPreset::balanced, QStringLiteral("u"));
        EXPECT_LT(compressed.size(), locked.size() / 2);
        test::expectClearMetadataAndTheRestEncrypted(locked, compressed, true);
    }
}
