#include "platform/icons/SymbolIcons.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

using namespace vmk::platform;

namespace {

// Points the data folder at the build tree's copy for the duration of a test.
class DataDirectory {
public:
    explicit DataDirectory(const QString& path) : m_old(qgetenv("VMK_DATA_DIR")) { qputenv("VMK_DATA_DIR", path.toUtf8()); }
    ~DataDirectory()
    {
        if (m_old.isEmpty())
            qunsetenv("VMK_DATA_DIR");
        else
            qputenv("VMK_DATA_DIR", m_old);
    }

private:
    QByteArray m_old;
};

const QString kBuildData = QStringLiteral(VMK_BUILD_DIR "/share/vellumark");

struct Coverage {
    int opaque = 0;   // pixels with any alpha
    QRgb strongest{}; // the most opaque pixel
};

Coverage coverage(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    Coverage c;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) > 0)
                ++c.opaque;
            if (qAlpha(p) > qAlpha(c.strongest))
                c.strongest = p;
        }
    return c;
}

TEST(SymbolIcons, TableHoldsTheInterfaceSymbols)
{
    for (const char* name : {"lock.shield", "chevron.up", "chevron.down", "pencil.tip", "signature", "rectangle",
                             "highlighter", "circle", "line.diagonal", "scribble", "note.text", "textformat",
                             "strikethrough", "underline", "trash", "xmark.circle.fill", "exclamationmark.triangle.fill",
                             "doc.viewfinder", "arrow.down.doc.fill", "rotate.left", "rotate.right", "text.viewfinder",
                             "square.and.arrow.up", "magnifyingglass", "plus.magnifyingglass", "minus.magnifyingglass",
                             "checkmark.shield.fill", "lock.open.fill", "eye.slash", "book", "printer", "palette"}) {
        EXPECT_TRUE(isKnownSymbol(name)) << name;
        EXPECT_TRUE(symbolIconFileName(name).endsWith(".svg")) << name;
    }
    EXPECT_FALSE(isKnownSymbol("no.such.symbol"));
    EXPECT_TRUE(symbolIconFileName("no.such.symbol").isEmpty());
    EXPECT_TRUE(symbolIconPath("no.such.symbol").isEmpty());
    const QStringList names = knownSymbolNames();
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_GE(names.size(), 70);
}

TEST(SymbolIcons, FindsTheDataFolderNextToTheExecutableOrFromTheEnvironment)
{
    {
        DataDirectory env(QStringLiteral("/somewhere/else/"));
        EXPECT_EQ(applicationDataDirectory(), "/somewhere/else");
        EXPECT_EQ(symbolIconsDirectory(), "/somewhere/else/icons");
        // An icons folder that is absent leaves every path empty.
        EXPECT_TRUE(symbolIconPath("lock").isEmpty());
    }
    const QByteArray saved = qgetenv("VMK_DATA_DIR");
    qunsetenv("VMK_DATA_DIR");
    EXPECT_EQ(applicationDataDirectory(),
              QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/vellumark"));
    if (!saved.isEmpty())
        qputenv("VMK_DATA_DIR", saved);
}

TEST(SymbolIcons, EveryTableNameResolvesToAnIconFile)
{
    DataDirectory env(kBuildData);
    if (!QDir(symbolIconsDirectory()).exists())
        GTEST_SKIP() << "the icon set was not fetched into " << symbolIconsDirectory().toStdString();
    const QImage fallback = symbolPixmap("no.such.symbol", 24, Qt::black).toImage();
    for (const QString& name : knownSymbolNames()) {
        const QString path = symbolIconPath(name);
        ASSERT_FALSE(path.isEmpty()) << name.toStdString() << " -> " << symbolIconFileName(name).toStdString();
        const QImage image = symbolPixmap(name, 24, Qt::black).toImage();
        EXPECT_GT(coverage(image).opaque, 20) << name.toStdString();
        EXPECT_NE(image, fallback) << name.toStdString();
    }
}

TEST(SymbolIcons, UnknownOrMissingIconsGetTheFallback)
{
    const QPixmap unknown = symbolPixmap("no.such.symbol", 24, Qt::black);
    ASSERT_EQ(unknown.size(), QSize(24, 24));
    const Coverage c = coverage(unknown.toImage());
    EXPECT_GT(c.opaque, 40);
    EXPECT_LT(c.opaque, 24 * 24 / 2); // an outline, not a filled block
    {
        // A known name whose file is absent draws the same fallback.
        DataDirectory env(QStringLiteral("/nonexistent"));
        EXPECT_EQ(symbolPixmap("lock", 24, Qt::black).toImage(), unknown.toImage());
    }
    const QIcon icon = symbolIcon("no.such.symbol", Qt::black);
    EXPECT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixmap(QSize(24, 24)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
              unknown.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

TEST(SymbolIcons, TintsTheIconAtRunTime)
{
    DataDirectory env(kBuildData);
    for (const char* name : {"lock.shield", "no.such.symbol"}) {
        const Coverage red = coverage(symbolPixmap(name, 32, QColor(220, 0, 0)).toImage());
        const Coverage blue = coverage(symbolPixmap(name, 32, QColor(0, 0, 220)).toImage());
        EXPECT_EQ(red.opaque, blue.opaque) << name;
        EXPECT_EQ(qRed(red.strongest), 220) << name;
        EXPECT_EQ(qBlue(red.strongest), 0) << name;
        EXPECT_EQ(qBlue(blue.strongest), 220) << name;
        EXPECT_EQ(qRed(blue.strongest), 0) << name;
        // The tint's alpha fades the whole glyph.
        const Coverage faint = coverage(symbolPixmap(name, 32, QColor(0, 0, 220, 128)).toImage());
        EXPECT_NEAR(qAlpha(faint.strongest), 128, 2) << name;
    }
}

TEST(SymbolIcons, RendersSharplyAtTheDevicePixelRatio)
{
    DataDirectory env(kBuildData);
    const QPixmap retina = symbolPixmap("chevron.up", 16, Qt::black, 2.0);
    EXPECT_EQ(retina.size(), QSize(32, 32));
    EXPECT_DOUBLE_EQ(retina.devicePixelRatio(), 2.0);
    EXPECT_EQ(symbolPixmap("chevron.up", QSize(20, 10), Qt::black).size(), QSize(20, 10));

    const QIcon icon = symbolIcon("chevron.up", Qt::black, QSize(16, 16));
    const QPixmap fromIcon = icon.pixmap(QSize(24, 24), 2.0);
    EXPECT_EQ(fromIcon.size(), QSize(48, 48));
    EXPECT_DOUBLE_EQ(fromIcon.devicePixelRatio(), 2.0);
    EXPECT_EQ(icon.availableSizes(), QList<QSize>{QSize(16, 16)});

    // A disabled icon is the same glyph, faded.
    const Coverage normal = coverage(icon.pixmap(QSize(24, 24), QIcon::Normal).toImage());
    const Coverage disabled = coverage(icon.pixmap(QSize(24, 24), QIcon::Disabled).toImage());
    EXPECT_EQ(normal.opaque, disabled.opaque);
    EXPECT_LT(qAlpha(disabled.strongest), qAlpha(normal.strongest) / 2);
}

} // namespace
