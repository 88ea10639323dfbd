#include "core/AnnotationModel.h"
#include "core/SystemAnnotations.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;

namespace {

pdf::AnnotationPtr make(const QString& type, const QRectF& bounds = QRectF(10, 10, 100, 50))
{
    auto a = pdf::Annotation::create(type, bounds);
    EXPECT_TRUE(a) << type.toStdString();
    return a;
}

} // namespace

TEST(AnnotationKinds, NamesForEveryKind)
{
    const QList<std::pair<QString, QString>> byType{
        {"Highlight", "Highlight"}, {"Underline", "Underline"}, {"StrikeOut", "Strikethrough"},
        {"Ink", "Drawing"},         {"Square", "Rectangle"},    {"Circle", "Ellipse"},
        {"Line", "Line"},           {"Text", "Note"},           {"FreeText", "Text Box"},
        {"Stamp", "Stamp"},         {"Link", "Link"},           {"Squiggly", "Squiggly"},
        {"Polygon", "Polygon"},
    };
    for (const auto& [type, name] : byType) {
        auto a = make(type);
        ASSERT_TRUE(a);
        EXPECT_EQ(annotationKindName(*a), name) << type.toStdString();
    }

    auto arrow = make("Line");
    arrow->setEndLineEnding(pdf::LineEnding::ClosedArrow);
    EXPECT_EQ(annotationKindName(*arrow), "Arrow");

    // The system's own annotations are named by their tag, also when read back as plain annotations.
    EXPECT_EQ(annotationKindName(*RedactionMarkAnnotation::create(QRectF(0, 0, 10, 10))), "Redaction");
    auto taggedSquare = make("Square");
    taggedSquare->setUserName("Vellumark.RedactionMark");
    EXPECT_EQ(annotationKindName(*taggedSquare), "Redaction");
    auto taggedStamp = make("Stamp");
    taggedStamp->setUserName("Vellumark.Signature");
    EXPECT_EQ(annotationKindName(*taggedStamp), "Signature");
    // A placed signature stays a signature even when its tag is changed.
    auto signature = SignatureAnnotation::create(QRectF(0, 0, 30, 10), "not a pdf");
    signature->setUserName("renamed");
    EXPECT_EQ(annotationKindName(*signature), "Signature");
}

TEST(AnnotationKinds, WhatTheCanvasMayMoveAndResize)
{
    for (const QString type : {"Highlight", "Underline", "StrikeOut", "Squiggly", "Widget", "Link", "Popup"}) {
        auto a = pdf::Annotation::create(type, QRectF(0, 0, 10, 10));
        if (!a)
            continue; // the layer may not create every kind; reading them is what matters
        EXPECT_FALSE(isDraggableAnnotation(*a)) << type.toStdString();
        EXPECT_FALSE(isResizableAnnotation(*a)) << type.toStdString();
    }
    auto note = make("Text");
    EXPECT_TRUE(isDraggableAnnotation(*note));
    EXPECT_FALSE(isResizableAnnotation(*note));
    for (const QString type : {"Ink", "Square", "Circle", "Line", "FreeText", "Stamp"}) {
        auto a = make(type);
        EXPECT_TRUE(isDraggableAnnotation(*a)) << type.toStdString();
        EXPECT_TRUE(isResizableAnnotation(*a)) << type.toStdString();
    }
}

TEST(AnnotationSnapshots, MovedAndResizedInkComesBackExactly)
{
    auto ink = make("Ink", QRectF(100, 100, 80, 60));
    QPainterPath first;
    first.moveTo(0, 0);
    first.cubicTo(10, 40, 30, 50, 80, 60);
    QPainterPath second;
    second.moveTo(5, 5);
    second.lineTo(70, 10);
    ink->setPaths({first, second});
    const AnnotationGeometry before = captureGeometry(*ink);
    ASSERT_TRUE(before.paths.has_value());
    ASSERT_EQ(before.paths->size(), 2);

    // A move, a resize with rescaled strokes, and more ink.
    ink->setBounds(QRectF(300, 400, 160, 120));
    QList<QPainterPath> scaled;
    for (const auto& p : ink->paths())
        scaled.append(QTransform::fromScale(2, 2).map(p));
    QPainterPath extra;
    extra.moveTo(1, 1);
    extra.lineTo(2, 90);
    scaled.append(extra);
    ink->setPaths(scaled);

    applyGeometry(before, *ink);
    const AnnotationGeometry after = captureGeometry(*ink);
    EXPECT_EQ(after.bounds, before.bounds);
    ASSERT_EQ(after.paths->size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QPainterPath& a = (*after.paths)[i];
        const QPainterPath& b = (*before.paths)[i];
        // The file keeps strokes flattened, so compare the curves where they pass.
        for (qreal t = 0; t <= 1.0; t += 0.125) {
            EXPECT_NEAR(a.pointAtPercent(t).x(), b.pointAtPercent(t).x(), 0.5) << i << " " << t;
            EXPECT_NEAR(a.pointAtPercent(t).y(), b.pointAtPercent(t).y(), 0.5) << i << " " << t;
        }
    }
    // A stored snapshot is not touched by later changes.
    ink->setPaths({});
    EXPECT_EQ(before.paths->size(), 2);
}

TEST(AnnotationSnapshots, LinesAndOtherKinds)
{
    auto line = make("Line", QRectF(0, 0, 100, 100));
    line->setStartPoint(QPointF(10, 10));
    line->setEndPoint(QPointF(90, 80));
    const auto geometry = captureGeometry(*line);
    EXPECT_EQ(geometry.start, QPointF(10, 10));
    EXPECT_EQ(geometry.end, QPointF(90, 80));
    line->setBounds(QRectF(50, 50, 20, 20));
    line->setStartPoint(QPointF(1, 1));
    line->setEndPoint(QPointF(2, 2));
    applyGeometry(geometry, *line);
    EXPECT_EQ(line->bounds(), QRectF(0, 0, 100, 100));
    EXPECT_NEAR(line->endPoint().x(), 90, 1e-3);
    EXPECT_NEAR(line->endPoint().y(), 80, 1e-3);

    const auto square = captureGeometry(*make("Square"));
    EXPECT_FALSE(square.paths.has_value());
    EXPECT_EQ(square.start, QPointF());
}

TEST(AnnotationSnapshots, StyleTakenAndPutBack)
{
    auto box = make("FreeText");
    box->setFontName("Helvetica");
    box->setFontSize(14);
    box->setFontColor(QColor(0, 0, 255));
    box->setContents("hello");
    box->setLineWidth(2.0);
    const AnnotationStyle style = captureStyle(*box);
    ASSERT_TRUE(style.font.has_value());
    EXPECT_EQ(style.font->size, 14);
    EXPECT_EQ(style.contents, QString("hello"));

    box->setFontSize(30);
    box->setFontColor(Qt::red);
    box->setContents("changed");
    box->setLineWidth(5.0);
    applyStyle(style, *box);
    EXPECT_EQ(captureStyle(*box), style);

    // Absent interior colour clears it; absent line width leaves the border as it is.
    auto square = make("Square");
    square->setLineWidth(3.0);
    square->setInteriorColor(QColor(Qt::green));
    AnnotationStyle plain;
    plain.color = QColor(Qt::black);
    applyStyle(plain, *square);
    EXPECT_FALSE(square->interiorColor().has_value());
    ASSERT_TRUE(square->lineWidth().has_value());
    EXPECT_DOUBLE_EQ(*square->lineWidth(), 3.0);
    EXPECT_TRUE(square->contents().isEmpty());
    // Font fields are taken only from text boxes.
    EXPECT_FALSE(captureStyle(*square).font.has_value());
}

TEST(AnnotationColors, AppliedByKind)
{
    const QColor blue(0, 0, 255);
    auto highlight = make("Highlight");
    applyAnnotationColor(blue, *highlight);
    EXPECT_NEAR(highlight->color().alphaF(), 0.5, 0.01);
    EXPECT_EQ(highlight->color().blue(), 255);

    auto underline = make("Underline");
    applyAnnotationColor(blue, *underline);
    EXPECT_NEAR(underline->color().alphaF(), 1.0, 0.01);

    auto box = make("FreeText");
    const QColor background = box->color();
    applyAnnotationColor(blue, *box);
    EXPECT_EQ(box->fontColor().rgb(), blue.rgb());
    EXPECT_EQ(box->color(), background);

    auto arrow = make("Line");
    arrow->setEndLineEnding(pdf::LineEnding::ClosedArrow);
    applyAnnotationColor(blue, *arrow);
    ASSERT_TRUE(arrow->interiorColor().has_value());
    EXPECT_EQ(arrow->interiorColor()->rgb(), blue.rgb());

    auto line = make("Line");
    applyAnnotationColor(blue, *line);
    EXPECT_EQ(line->color().rgb(), blue.rgb());
    EXPECT_FALSE(line->interiorColor().has_value());

    // Colours in other models are stored as sRGB.
    auto circle = make("Circle");
    applyAnnotationColor(QColor::fromHsv(0, 255, 255), *circle);
    EXPECT_EQ(circle->color().rgb(), QColor(255, 0, 0).rgb());
}
