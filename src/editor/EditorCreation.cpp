#include "editor/Editor.h"

#include "core/InkPath.h"
#include "core/SystemAnnotations.h"
#include "editor/FreeTextLayout.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <cmath>
#include <utility>

namespace vmk {

namespace {

const QString kHelvetica = QStringLiteral("Helvetica");

QString markupSubtype(Tool tool)
{
    switch (tool) {
    case Tool::highlight:
        return QStringLiteral("Highlight");
    case Tool::underline:
        return QStringLiteral("Underline");
    case Tool::strikeOut:
        return QStringLiteral("StrikeOut");
    default:
        return {};
    }
}

// Each line of the selection on each page it touches, in order.
template <typename Visit>
void forEachLineOnPage(const pdf::Selection& selection, Visit visit)
{
    for (const pdf::Selection& line : selection.selectionsByLine())
        for (const pdf::PagePtr& page : line.pages())
            visit(line.bounds(page), page);
}

} // namespace

void Editor::markupSelection(Tool tool, const pdf::Selection& selection)
{
    const QString subtype = markupSubtype(tool);
    if (subtype.isEmpty())
        return;
    const QColor color = colorForTool(tool);
    QList<AnnotationItem> items;
    forEachLineOnPage(selection, [&](const QRectF& r, const pdf::PagePtr& page) {
        if (!(r.width() > 0.5 && r.height() > 0.5))
            return;
        pdf::AnnotationPtr annotation = pdf::Annotation::create(subtype, r);
        if (!annotation)
            return;
        QColor c = color;
        if (tool == Tool::highlight)
            c.setAlphaF(0.5f);
        annotation->setColor(c);
        const double w = r.width();
        const double h = r.height();
        annotation->setQuadrilateralPoints({QPointF(0, h), QPointF(w, h), QPointF(0, 0), QPointF(w, 0)});
        items.append({annotation, page});
    });
    addAnnotation(items, toolTitle(tool));
    if (!items.isEmpty()) {
        QColor opaque = color;
        opaque.setAlphaF(1.0f);
        m_canvas->playMarkupSweep(items, subtype, opaque);
    }
}

void Editor::addInk(const QList<QPointF>& points, const pdf::PagePtr& page)
{
    // A stroke without points has no shape: adding it would leave an empty, invisible annotation.
    if (points.isEmpty() || !page)
        return;
    const double w = m_strokeWidth;
    const QList<QPointF> thinned = core::thinInkPoints(points, std::max(0.35 * w, 0.6));
    const QPainterPath path = core::smoothedInkPath(thinned);
    const double margin = 1.5 * w + 2;
    const QRectF grown = path.boundingRect().adjusted(-margin, -margin, margin, margin);
    const double left = std::floor(grown.left());
    const double bottom = std::floor(grown.top());
    const QRectF bounds(left, bottom, std::ceil(grown.right()) - left, std::ceil(grown.bottom()) - bottom);
    pdf::AnnotationPtr annotation = pdf::Annotation::create(QStringLiteral("Ink"), bounds);
    if (!annotation)
        return;
    annotation->addPath(path.translated(-bounds.left(), -bounds.top()));
    annotation->setColor(colorForTool(Tool::pen));
    annotation->setLineWidth(w);
    addAnnotation({{annotation, page}}, QStringLiteral("Draw"));
}

void Editor::addShape(Tool tool, const pdf::PagePtr& page, QPointF p0, QPointF p1)
{
    if (!isShape(tool) || !page)
        return;
    const double w = m_strokeWidth;
    const QColor color = colorForTool(tool);
    const QRectF drag(std::min(p0.x(), p1.x()), std::min(p0.y(), p1.y()), std::abs(p1.x() - p0.x()),
                      std::abs(p1.y() - p0.y()));
    pdf::AnnotationPtr annotation;
    if (tool == Tool::rectangle || tool == Tool::ellipse) {
        annotation = pdf::Annotation::create(tool == Tool::rectangle ? QStringLiteral("Square") : QStringLiteral("Circle"),
                                             drag);
        if (!annotation)
            return;
        annotation->setColor(color);
    } else {
        const double grow = 4 * w + 6;
        const QRectF bounds = drag.adjusted(-grow, -grow, grow, grow);
        annotation = pdf::Annotation::create(QStringLiteral("Line"), bounds);
        if (!annotation)
            return;
        annotation->setStartPoint(p0 - bounds.topLeft());
        annotation->setEndPoint(p1 - bounds.topLeft());
        annotation->setColor(color);
        if (tool == Tool::arrow) {
            annotation->setEndLineEnding(pdf::LineEnding::ClosedArrow);
            annotation->setInteriorColor(color);
        }
    }
    annotation->setLineWidth(w);
    setLastShape(tool);
    addAnnotation({{annotation, page}}, toolTitle(tool));
    setSelectedAnnotation(annotation);
}

pdf::AnnotationPtr Editor::addNote(const pdf::PagePtr& page, QPointF point)
{
    if (!page)
        return nullptr;
    pdf::AnnotationPtr annotation =
        pdf::Annotation::create(QStringLiteral("Text"), QRectF(point.x() - 11, point.y() - 11, 22, 22));
    if (!annotation)
        return nullptr;
    annotation->setColor(colorForTool(Tool::note));
    annotation->setIconName(QStringLiteral("Note"));
    annotation->setContents(QString());
    page->addAnnotation(annotation);
    setSelectedAnnotation(annotation);
    annotationsChanged(page);
    return annotation;
}

pdf::AnnotationPtr Editor::beginFreeText(const pdf::PagePtr& page, QPointF point)
{
    if (!page)
        return nullptr;
    const double h = std::ceil(1.3 * m_fontSize) + 6;
    // Measured as the page is shown, so that on a turned page the box and its text read upright.
    const QPointF shownPoint = page->displayTransform().map(point);
    const double w = std::min(std::max(page->displaySize().width() - shownPoint.x() - 8, 60.0), 240.0);
    pdf::AnnotationPtr annotation =
        pdf::Annotation::create(QStringLiteral("FreeText"), FreeTextLayout::shownFrom(page.get(), point, QSizeF(w, h)));
    if (!annotation)
        return nullptr;
    annotation->setRotation(page->rotation());
    annotation->setFontName(kHelvetica);
    annotation->setFontSize(m_fontSize);
    annotation->setFontColor(m_toolColors.value(Tool::text, Swatch::ink()));
    annotation->setColor(Qt::transparent);
    annotation->setAlignment(pdf::TextAlignment::Left);
    annotation->setLineWidth(0.0);
    annotation->setContents(QString());
    // Put there without undo: the undoable step comes when typing ends.
    page->addAnnotation(annotation);
    setSelectedAnnotation(annotation);
    return annotation;
}

void Editor::commitFreeText(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page, const QString& text,
                            bool isNew)
{
    if (!annotation || !page)
        return;
    const bool empty = text.trimmed().isEmpty();
    if (!isNew) {
        if (empty)
            removeAnnotation({{annotation, page}}, QStringLiteral("Delete Text"));
        else
            editFreeText(text, annotation);
        return;
    }
    // Fitted while still on its page, whose turn decides which way the box reads.
    const QRectF fitted = fitFreeTextBounds(annotation, text, annotation->fontName(), annotation->fontSize(), false);
    page->removeAnnotation(annotation);
    if (empty) {
        if (annotation == m_selectedAnnotation)
            setSelectedAnnotation(nullptr);
        annotationsChanged(page);
        return;
    }
    annotation->setContents(text);
    annotation->setBounds(fitted);
    addAnnotation({{annotation, page}}, QStringLiteral("Add Text"));
    setSelectedAnnotation(annotation);
}

QRectF Editor::fitFreeTextBounds(const pdf::AnnotationPtr& annotation, const QString& text, const QString& fontName,
                                 double fontSize, bool keepWidth) const
{
    const QRectF old = annotation->bounds();
    const pdf::PagePtr page = annotation->page();
    const QFont font = fontName.isEmpty() ? FreeTextLayout::font(kHelvetica, m_fontSize)
                                          : FreeTextLayout::font(fontName, fontSize);
    const QSizeF shown = FreeTextLayout::shownSize(page.get(), old);
    double width = shown.width();
    if (!keepWidth) {
        double longest = -1;
        for (const QString& line : text.split(QLatin1Char('\n')))
            longest = std::max(longest, FreeTextLayout::lineWidth(line, font));
        double candidate = longest < 0 ? 12 : longest + 12;
        candidate = std::max(candidate, 40.0);
        width = std::min(candidate, std::max(240.0, shown.width()));
    }
    const double height = FreeTextLayout::boxHeight(text, font, width);
    return FreeTextLayout::keepingShownTop(page.get(), old, QSizeF(width, height));
}

void Editor::addSignature(const SignaturePlacement& signature)
{
    if (m_mode != EditorMode::sign)
        setMode(EditorMode::sign);
    pdf::PagePtr page = m_canvas->currentPage();
    if (!page)
        page = pdfDocument()->page(m_pageIndex);
    if (!page)
        return;
    // Sized as the user sees the page; on a page turned a quarter the box in page space is turned too.
    const QRectF box = page->cropBox();
    const QSizeF shown = page->displaySize();
    const int rotation = page->rotation();
    const bool quarter = rotation == 90 || rotation == 270;
    const double a = signature.aspectRatio;
    double w = std::min(0.4 * shown.width(), 190.0);
    double h = w / std::max(a, 0.1);
    if (h > 0.25 * shown.height()) {
        h = 0.25 * shown.height();
        w = a * h;
    }
    if (quarter)
        std::swap(w, h);
    const QPointF centre = m_canvas->visibleCentreInPage(page);
    double x = centre.x() - w / 2;
    x = std::min(x, box.right() - w - 8);
    x = std::max(x, box.left() + 8);
    double y = centre.y() - h / 2;
    y = std::min(y, box.top() + box.height() - h - 8);
    y = std::max(y, box.top() + 8);
    // Placed again where one already sits, the new one steps down and to the right so both show.
    auto occupied = [&](double px, double py) {
        for (const pdf::AnnotationPtr& other : page->annotations())
            if (std::abs(other->bounds().x() - px) < 4 && std::abs(other->bounds().y() - py) < 4)
                return true;
        return false;
    };
    for (int step = 0; step < 24 && occupied(x, y); ++step) {
        x += 18;
        y -= 18;
        if (x > box.right() - w - 8 || y < box.top() + 8) {
            x = box.left() + 8 + 6 * (step + 1);
            y = box.top() + box.height() - h - 8 - 6 * (step + 1);
        }
    }
    pdf::AnnotationPtr annotation = core::SignatureAnnotation::create(QRectF(x, y, w, h), signature.pdfData, rotation);
    if (!annotation)
        return;
    addAnnotation({{annotation, page}}, QStringLiteral("Add Signature"));
    setSelectedAnnotation(annotation);
    m_canvas->playSignatureWrite(annotation, page, signature.image);
}

} // namespace vmk
