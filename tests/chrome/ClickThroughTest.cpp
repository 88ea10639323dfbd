// Input in the empty room of the floating pieces (shadow margins, gaps) reaches the page beneath;
// input on what they show does not.

#include "chrome/ClickThrough.h"
#include "chrome/Glass.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace vmk::chrome;

namespace {

// Stands for the canvas: records what reaches it and where.
class Recorder : public QWidget {
public:
    using QWidget::QWidget;
    QList<std::pair<QEvent::Type, QPoint>> seen;
    int wheels = 0;

protected:
    void mousePressEvent(QMouseEvent* e) override { seen.append({e->type(), e->position().toPoint()}); }
    void mouseMoveEvent(QMouseEvent* e) override { seen.append({e->type(), e->position().toPoint()}); }
    void mouseReleaseEvent(QMouseEvent* e) override { seen.append({e->type(), e->position().toPoint()}); }
    void wheelEvent(QWheelEvent*) override { ++wheels; }
};

// A host 400 × 300 with the canvas filling it, a stack layer at (100, 100) holding a glass pill with a
// label and a button, and a cover that is not a layer at the bottom right.
struct Scene {
    QWidget host;
    Recorder* canvas = new Recorder(&host);
    QWidget* layer = new QWidget(&host);
    GlassSurface* pill = new GlassSurface(GlassShape::roundedRect(4), layer);
    QPushButton* button = new QPushButton(QStringLiteral("Go"));
    QWidget* cover = new QWidget(&host);

    Scene()
    {
        host.resize(400, 300);
        canvas->setGeometry(0, 0, 400, 300);
        layer->setGeometry(100, 100, 200, 100);
        pill->setGeometry(0, 0, 200, 100); // body: (20, 20)-(180, 80) inside the 20-pixel shadow margin
        auto* row = new QHBoxLayout(pill);
        row->addWidget(new QLabel(QStringLiteral("Page")));
        row->addWidget(button);
        cover->setGeometry(320, 220, 80, 80);
        auto* through = new ClickThrough(&host);
        through->addLayer(layer);
        host.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&host));
    }
};

} // namespace

TEST(ClickThrough, TheShadowMarginPassesPressesDragsAndWheelsToTheCanvas)
{
    Scene scene;
    // (105, 105) in the host is in the pill's shadow margin.
    QTest::mousePress(scene.pill, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(scene.pill, QPoint(8, 9));
    QTest::mouseRelease(scene.pill, Qt::LeftButton, {}, QPoint(8, 9));
    ASSERT_GE(scene.canvas->seen.size(), 2);
    EXPECT_EQ(scene.canvas->seen.first().first, QEvent::MouseButtonPress);
    EXPECT_EQ(scene.canvas->seen.first().second, QPoint(105, 105));
    EXPECT_EQ(scene.canvas->seen.last().first, QEvent::MouseButtonRelease);
    EXPECT_EQ(scene.canvas->seen.last().second, QPoint(108, 109));

    // A wheel turn arrives at the host as the pieces pass it up (a synthesized one would not travel up).
    QWheelEvent wheel(QPointF(105, 105), scene.host.mapToGlobal(QPointF(105, 105)), {}, QPoint(0, 120),
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&scene.host, &wheel);
    EXPECT_EQ(scene.canvas->wheels, 1);
    // Over the body, the turn stays there.
    QWheelEvent onBody(QPointF(124, 150), scene.host.mapToGlobal(QPointF(124, 150)), {}, QPoint(0, 120),
                       Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&scene.host, &onBody);
    EXPECT_EQ(scene.canvas->wheels, 1);
}

TEST(ClickThrough, TheBodyItsControlsAndCoversKeepTheirInput)
{
    Scene scene;
    QSignalSpy clicked(scene.button, &QPushButton::clicked);
    // The body's empty part, the label, the button: nothing reaches the canvas, the button works.
    QTest::mouseClick(scene.pill, Qt::LeftButton, {}, QPoint(24, 50));
    QTest::mouseClick(scene.button, Qt::LeftButton, {}, scene.button->rect().center());
    EXPECT_EQ(clicked.count(), 1);
    // A widget over the canvas that is not a layer stops input as it always did.
    QTest::mouseClick(scene.cover, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(scene.canvas->seen.isEmpty());
}
