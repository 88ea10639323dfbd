// How the windows look: the appearance follows the desktop, glass hides the page behind it, sheets and
// small windows fit, what is chosen, disabled or wrong shows as such, and new windows step aside instead of
// covering the last one.

#include "WindowFixture.h"

#include "app/Appearance.h"
#include "app/CombineView.h"
#include "app/WindowCascade.h"
#include "chrome/Glass.h"
#include "panels/SidebarView.h"
#include "platform/services/DesktopColorScheme.h"
#include "signatures/SignatureEditorModel.h"
#include "signatures/SignatureEditorParts.h"
#include "signatures/SignatureEditorView.h"
#include "signatures/SignatureStore.h"
#include "signatures/SignatureStyles.h"
#include "support/LayoutCheck.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPainter>
#include <QPushButton>
#include <QMenu>
#include <QPrinter>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::app;
using namespace vmk::app::test;

TEST(Looks, SystemAppearanceFollowsTheDesktopPreferenceAndItsChanges)
{
    using platform::ColorScheme;
    EXPECT_EQ(platform::colorSchemeFromPortal(1), ColorScheme::dark);
    EXPECT_EQ(platform::colorSchemeFromPortal(2), ColorScheme::light);
    EXPECT_EQ(platform::colorSchemeFromPortal(0), ColorScheme::noPreference);
    EXPECT_EQ(platform::colorSchemeFromPortal(7), ColorScheme::noPreference);

    const QPalette original = QApplication::palette();
    auto& desktop = platform::DesktopColorScheme::shared();
    applyAppearance(QStringLiteral("system"));
    desktop.setScheme(ColorScheme::dark);
    EXPECT_TRUE(isDarkAppearance());
    desktop.setScheme(ColorScheme::light);
    EXPECT_FALSE(isDarkAppearance());
    desktop.setScheme(ColorScheme::dark);
    EXPECT_TRUE(isDarkAppearance());

    // A fixed choice stays put whatever the desktop says.
    applyAppearance(QStringLiteral("light"));
    desktop.setScheme(ColorScheme::light);
    desktop.setScheme(ColorScheme::dark);
    EXPECT_FALSE(isDarkAppearance());
    desktop.setScheme(ColorScheme::noPreference);
    QApplication::setPalette(original);
}

TEST(Looks, GlassHidesThePageTextBehindIt)
{
    for (bool dark : {false, true}) {
        const QPalette palette = dark ? darkPalette() : lightPalette();
        // Black text on a white page, and glass over half of it.
        QImage image(200, 60, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.fillRect(QRect(0, 20, 200, 20), Qt::black);
        chrome::paintGlassBackground(painter, QRectF(100, 0, 100, 60), chrome::GlassShape::roundedRect(0), palette);
        painter.end();
        // Under the glass the text differs from the paper around it by a few levels at most.
        const int paper = qGray(image.pixel(150, 8));
        const int text = qGray(image.pixel(150, 30));
        EXPECT_LE(std::abs(paper - text), 14) << (dark ? "dark" : "light");
        EXPECT_GT(qGray(image.pixel(50, 8)) - qGray(image.pixel(50, 30)), 200); // beside it the text reads
    }
}

TEST(Looks, SheetsAndSmallWindowsFit)
{
    for (bool dark : {false, true}) {
        const QPalette original = QApplication::palette();
        QApplication::setPalette(dark ? darkPalette() : lightPalette());
        QTemporaryDir storeDir;
        signatures::SignatureStore store(storeDir.path());
        signatures::SignatureEditorView editor(store, signatures::signatureFonts(), [](const signatures::SavedSignature&) {});
        editor.model()->setKind(signatures::SignatureEditorModel::Kind::type);
        editor.nameField()->setText(QStringLiteral("Alexandra Montgomery-Whitfield"));
        editor.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(vmk::test::layoutReport(&editor), "") << (dark ? "dark" : "light");
        // The font cards share their row evenly, whatever the width of each face's lettering.
        const auto& tiles = editor.fontTiles();
        ASSERT_GE(tiles.size(), 2);
        for (const auto* tile : tiles)
            EXPECT_LE(std::abs(tile->width() - tiles.first()->width()), 1);
        // The chosen one of Draw and Type stands out from the other in either appearance.
        QPushButton* chosen = nullptr;
        QPushButton* other = nullptr;
        for (QPushButton* segment : editor.findChildren<QPushButton*>()) {
            if (segment->text() == QLatin1String("Type"))
                chosen = segment;
            else if (segment->text() == QLatin1String("Draw"))
                other = segment;
        }
        ASSERT_TRUE(chosen && other);
        EXPECT_TRUE(chosen->isChecked());
        const QColor on = chosen->grab().toImage().pixelColor(6, chosen->height() / 2);
        const QColor off = other->grab().toImage().pixelColor(6, other->height() / 2);
        EXPECT_GT(std::abs(on.lightness() - off.lightness()) + std::abs(on.hslHue() - off.hslHue()), 40)
            << on.name().toStdString() << " " << off.name().toStdString();

        CombineView combine([] {});
        combine.resize(combine.minimumSizeHint());
        combine.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(vmk::test::layoutReport(&combine), "");
        QApplication::setPalette(original);
    }
}

namespace {

// How far the row's most telling pixel stands from the background at its left edge (the text's contrast).
int contrastOf(const QImage& image, const QRect& row)
{
    const int ground = image.pixelColor(row.left() + 1, row.center().y()).lightness();
    int most = 0;
    for (int y = row.top(); y <= row.bottom(); ++y)
        for (int x = row.left(); x <= row.right(); ++x)
            most = std::max(most, std::abs(image.pixelColor(x, y).lightness() - ground));
    return most;
}

} // namespace

TEST(Looks, ChosenDisabledAndFailedThingsShowAsSuchInBothAppearances)
{
    QTemporaryDir dir;
    const QString unreadable = dir.filePath(QStringLiteral("notes.pdf"));
    QFile file(unreadable);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a PDF at all");
    file.close();
    const QPalette original = QApplication::palette();
    for (bool dark : {false, true}) {
        const char* where = dark ? "dark" : "light";
        QApplication::setPalette(dark ? darkPalette() : lightPalette());

        // A disabled menu item is clearly fainter than an enabled one.
        QMenu menu;
        QAction* on = menu.addAction(QStringLiteral("Revert To Saved"));
        QAction* off = menu.addAction(QStringLiteral("Revert To Saved"));
        off->setEnabled(false);
        menu.adjustSize();
        const QImage items = menu.grab().toImage();
        const int enabled = contrastOf(items, menu.actionGeometry(on));
        const int disabled = contrastOf(items, menu.actionGeometry(off));
        EXPECT_LT(disabled * 10, enabled * 7) << where << ": enabled " << enabled << ", disabled " << disabled;

        // The chosen sidebar tab is filled; the others are not.
        panels::SidebarView sidebar(nullptr);
        sidebar.resize(240, 400);
        sidebar.show();
        QCoreApplication::processEvents();
        const auto& segments = sidebar.segments();
        ASSERT_EQ(segments.size(), 3);
        const QColor chosen = segments[0]->grab().toImage().pixelColor(6, segments[0]->height() / 2);
        const QColor other = segments[1]->grab().toImage().pixelColor(6, segments[1]->height() / 2);
        EXPECT_GT(std::abs(chosen.lightness() - other.lightness()) + std::abs(chosen.hslHue() - other.hslHue()), 60)
            << where << ": " << chosen.name().toStdString() << " " << other.name().toStdString();

        // A file the combine window cannot read says so in red.
        CombineView combine([] {});
        combine.model().appendPaths({unreadable});
        combine.resize(520, 460);
        combine.show();
        QCoreApplication::processEvents();
        auto* label = combine.findChild<QLabel*>(QStringLiteral("unreadable"));
        ASSERT_TRUE(label) << where;
        const QImage text = label->grab().toImage();
        int red = 0;
        for (int y = 0; y < text.height(); ++y)
            for (int x = 0; x < text.width(); ++x) {
                const QColor c = text.pixelColor(x, y);
                red = std::max(red, c.red() - std::max(c.green(), c.blue()));
            }
        EXPECT_GT(red, 100) << where;
    }
    QApplication::setPalette(original);
}

TEST(Looks, NewWindowsStepAsideFromOnesAlreadyThere)
{
    const QRect area(0, 0, 1600, 1000);
    const QSize size(1180, 820);
    EXPECT_EQ(cascadedOrigin({100, 80}, {}, area, size), QPoint(100, 80));
    EXPECT_EQ(cascadedOrigin({100, 80}, {{100, 80}}, area, size), QPoint(128, 108));
    EXPECT_EQ(cascadedOrigin({100, 80}, {{100, 80}, {128, 108}}, area, size), QPoint(156, 136));
    // Off the bottom of the free area: back near its top-left corner.
    const QPoint wrapped = cascadedOrigin({400, 170}, {{400, 170}}, area, size);
    EXPECT_LT(wrapped.y() + size.height(), area.bottom() + 1);
    EXPECT_TRUE(area.contains(wrapped));

    // A second window of the same document opens beside the first, not on it.
    ShownWindow app(2);
    const QPoint first = app.w->documentWindow()->pos();
    DocumentWindowController second(app.w->document());
    EXPECT_NE(second.documentWindow()->pos(), first);
}

TEST(Looks, AWindowComesBackWhereItsContentWasOnTheScreenItIsOn)
{
    const SavedFrame plain{QRect(120, 90, 1000, 700), false};
    EXPECT_EQ(savedFrameText(plain), QStringLiteral("120 90 1000 700"));
    const auto back = parseSavedFrame(savedFrameText(plain));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->content, plain.content);
    EXPECT_FALSE(back->maximized);
    const auto maximized = parseSavedFrame(savedFrameText({QRect(-30, 40, 900, 600), true}));
    ASSERT_TRUE(maximized);
    EXPECT_EQ(maximized->content, QRect(-30, 40, 900, 600));
    EXPECT_TRUE(maximized->maximized);
    // An earlier version's bytes, damaged text and empty rectangles are not frames.
    for (const char* text : {"", "\x01\xd9\xd0\xcb", "1 2 3", "1 2 3 4 5", "1 2 3 4 minimized", "a 2 3 4", "1 2 0 4"})
        EXPECT_FALSE(parseSavedFrame(QString::fromLatin1(text))) << text;

    // Within reach on a smaller screen, never below the window's smallest size; a window partly off the
    // side stays where it was.
    const QRect area(0, 30, 1280, 770);
    EXPECT_EQ(frameOnScreen(QRect(100, 100, 800, 600), area, {640, 420}), QRect(100, 100, 800, 600));
    EXPECT_EQ(frameOnScreen(QRect(-300, 100, 800, 600), area, {640, 420}), QRect(-300, 100, 800, 600));
    EXPECT_EQ(frameOnScreen(QRect(1500, 900, 800, 600), area, {640, 420}), QRect(1160, 680, 800, 600));
    EXPECT_EQ(frameOnScreen(QRect(-2000, -50, 800, 600), area, {640, 420}), QRect(-680, 30, 800, 600));
    EXPECT_EQ(frameOnScreen(QRect(10, 40, 300, 200), area, {640, 420}), QRect(10, 40, 640, 420));
}

TEST(Looks, PageSetupChoicesReachPrint)
{
    ShownWindow app(1);
    QPrinter before;
    app.w->preparePrinter(before);
    QPageLayout chosen(QPageSize(QPageSize::A5), QPageLayout::Landscape, QMarginsF(30, 30, 30, 30), QPageLayout::Point);
    app.w->setPageSetup(chosen);
    QPrinter printer;
    app.w->preparePrinter(printer);
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A5);
    EXPECT_NEAR(printer.pageLayout().margins(QPageLayout::Point).left(), 30, 0.5);
}

TEST(Looks, TheToolbarCanBeCustomisedWithinWhatItAllows)
{
    ShownWindow app(1);
    QToolBar* bar = app.w->toolbar();
    auto item = [&](const QString& title, QMenu& menu) -> QAction* {
        for (QAction* a : menu.actions())
            if (a->text() == title)
                return a;
        return nullptr;
    };
    QAction* print = bar->findChild<QAction*>("print");
    ASSERT_TRUE(print);
    EXPECT_FALSE(print->isVisible()); // offered, not shown until added
    {
        QMenu menu;
        app.w->fillToolbarMenu(&menu);
        // Only the toolbar's own items, Space and Print can be chosen.
        QStringList titles;
        for (QAction* a : menu.actions())
            if (a->isCheckable())
                titles << a->text();
        EXPECT_EQ(titles, (QStringList{"Sidebar", "Zoom", "Mode", "Share", "Space", "Print", "Search", "Inspector"}));
        item("Print", menu)->trigger();
        item("Share", menu)->trigger();
    }
    EXPECT_TRUE(print->isVisible());
    EXPECT_FALSE(app.w->toolbarItemsShown().contains("VMK.share"));
    // Kept for the next window.
    DocumentWindowController second(app.w->document());
    EXPECT_TRUE(second.toolbar()->findChild<QAction*>("print")->isVisible());
    {
        QMenu menu;
        app.w->fillToolbarMenu(&menu);
        item("Use Default Items", menu)->trigger();
    }
    EXPECT_FALSE(print->isVisible());
    EXPECT_EQ(app.w->toolbarItemsShown(), DocumentWindowController::defaultToolbarItems());

    // In a narrow window the rest of the items sit behind a button drawn in the toolbar's text colour.
    auto* more = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
    ASSERT_TRUE(more);
    const QImage arrows = more->icon().pixmap(QSize(16, 16)).toImage();
    const QColor text = bar->palette().color(QPalette::WindowText);
    bool drawn = false;
    for (int y = 0; y < arrows.height() && !drawn; ++y)
        for (int x = 0; x < arrows.width() && !drawn; ++x) {
            const QColor c = arrows.pixelColor(x, y);
            drawn = c.alpha() > 200 && std::abs(c.lightness() - text.lightness()) < 30;
        }
    EXPECT_TRUE(drawn);
}

TEST(Looks, ToolbarSymbolsFollowAnAppearanceChangeWhileTheWindowIsOpen)
{
    ShownWindow app(1);
    QToolBar* bar = app.w->toolbar();
    auto* zoomIn = bar->findChild<QAction*>(QStringLiteral("VMK.zoom.in"));
    ASSERT_TRUE(zoomIn);
    // The darkest and lightest opaque ink of the symbol.
    auto ink = [&] {
        const QImage image = zoomIn->icon().pixmap(QSize(18, 18)).toImage();
        int lightest = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y).alpha() > 200)
                    lightest = std::max(lightest, image.pixelColor(x, y).lightness());
        return lightest;
    };
    const QPalette original = QApplication::palette();
    QApplication::setPalette(lightPalette());
    QCoreApplication::processEvents();
    EXPECT_LT(ink(), 110);
    QApplication::setPalette(darkPalette());
    QCoreApplication::processEvents();
    EXPECT_GT(ink(), 180);
    QApplication::setPalette(original);
}

TEST(Looks, EveryToolbarItemStaysInSightDownToTheSmallestWindow)
{
    ShownWindow app(2);
    QMainWindow* window = app.w->documentWindow();
    auto* toolbar = window->findChild<QToolBar*>();
    ASSERT_TRUE(toolbar);
    auto* search = window->findChild<QLineEdit*>(QStringLiteral("VMK.search"));
    ASSERT_TRUE(search);
    for (const QSize size : {QSize(1180, 820), window->minimumSize()}) {
        window->resize(size);
        app.settle();
        QCoreApplication::processEvents();
        // Nothing goes into the overflow menu, where it would be out of sight.
        for (QAction* action : toolbar->actions())
            if (action->isVisible())
                if (QWidget* item = toolbar->widgetForAction(action))
                    EXPECT_TRUE(item->isVisible()) << size.width() << ": " << item->objectName().toStdString()
                                                   << action->text().toStdString();
        for (QToolButton* button : toolbar->findChildren<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
            EXPECT_FALSE(button->isVisible()) << "the overflow menu shows at " << size.width();
    }
    // The search field is at its full width where there is room, and still usable where there is not.
    window->resize(1180, 820);
    app.settle();
    EXPECT_EQ(search->width(), 200);
    window->resize(window->minimumSize());
    app.settle();
    EXPECT_GE(search->width(), 72);
}
