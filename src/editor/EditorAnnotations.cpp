#include "editor/Editor.h"

#include "core/AnnotationModel.h"
#include "core/SystemAnnotations.h"
#include "editor/FreeTextLayout.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"

#include <set>

namespace vmk {

namespace {

const QString kHelvetica = QStringLiteral("Helvetica");

bool hasLineWidthKind(const pdf::AnnotationPtr& annotation)
{
    const QString type = annotation->type();
    return type == QLatin1String("Ink") || type == QLatin1String("Line") || type == QLatin1String("Square")
        || type == QLatin1String("Circle");
}

} // namespace

void Editor::addAnnotation(const QList<AnnotationItem>& items, const QString& actionName)
{
    if (items.isEmpty())
        return;
    for (const auto& [annotation, page] : items)
        if (annotation->page() != page)
            page->addAnnotation(annotation);
    registerUndo(actionName, [this, items, actionName] { removeAnnotation(items, actionName); });
    std::set<pdf::Page*> refreshed;
    for (const auto& item : items)
        if (refreshed.insert(item.second.get()).second)
            annotationsChanged(item.second);
}

void Editor::removeAnnotation(const QList<AnnotationItem>& items, const QString& actionName)
{
    if (items.isEmpty())
        return;
    for (const auto& [annotation, page] : items) {
        page->removeAnnotation(annotation);
        if (annotation == m_selectedAnnotation)
            setSelectedAnnotation(nullptr);
    }
    registerUndo(actionName, [this, items, actionName] { addAnnotation(items, actionName); });
    for (const auto& item : items)
        annotationsChanged(item.second);
}

void Editor::deleteAnnotation()
{
    const pdf::AnnotationPtr annotation = m_selectedAnnotation;
    if (!annotation)
        return;
    const pdf::PagePtr page = annotation->page();
    if (!page)
        return;
    removeAnnotation({{annotation, page}}, QStringLiteral("Delete ") + core::annotationKindName(*annotation));
}

void Editor::setGeometry(const pdf::AnnotationPtr& annotation, const core::AnnotationGeometry& geometry,
                         const pdf::PagePtr& page, const QString& actionName)
{
    const core::AnnotationGeometry before = core::captureGeometry(*annotation);
    core::applyGeometry(geometry, *annotation);
    registerUndo(actionName, [this, annotation, before, page, actionName] {
        setGeometry(annotation, before, page, actionName);
    });
    annotationsChanged(page);
}

void Editor::setStyle(const pdf::AnnotationPtr& annotation, const core::AnnotationStyle& style,
                      const core::AnnotationGeometry& geometry, const QString& actionName)
{
    const core::AnnotationStyle styleBefore = core::captureStyle(*annotation);
    const core::AnnotationGeometry geometryBefore = core::captureGeometry(*annotation);
    core::applyStyle(style, *annotation);
    core::applyGeometry(geometry, *annotation);
    registerUndo(actionName, [this, annotation, styleBefore, geometryBefore, actionName] {
        setStyle(annotation, styleBefore, geometryBefore, actionName);
    });
    annotationsChanged(annotation->page());
    emit objectWillChange();
}

void Editor::applyStyleChange(const pdf::AnnotationPtr& annotation, const core::AnnotationStyle& style,
                              const QString& actionName)
{
    setStyle(annotation, style, core::captureGeometry(*annotation), actionName);
}

void Editor::changeColor(const QColor& color)
{
    const QColor c = color.isValid() ? color.toRgb() : color;
    const pdf::AnnotationPtr annotation = m_selectedAnnotation;
    if (annotation && !core::isRedactionMark(*annotation) && !core::SignatureAnnotation::isInstance(*annotation)) {
        const core::AnnotationStyle before = core::captureStyle(*annotation);
        core::applyAnnotationColor(c, *annotation);
        const core::AnnotationStyle after = core::captureStyle(*annotation);
        core::applyStyle(before, *annotation);
        applyStyleChange(annotation, after, QStringLiteral("Change Color"));
        if (const std::optional<Tool> tool = toolForAnnotation(annotation)) {
            ToolColors colors = m_toolColors;
            colors.insert(*tool, c);
            setToolColors(colors);
        }
        return;
    }
    ToolColors colors = m_toolColors;
    colors.insert(m_tool, c);
    if (isShape(m_tool))
        for (Tool shape : {Tool::rectangle, Tool::ellipse, Tool::line, Tool::arrow})
            colors.insert(shape, c);
    setToolColors(colors);
}

void Editor::beginLineWidthChange()
{
    m_lineWidthDragStart.reset();
    m_lineWidthDragAnnotation.reset();
    if (m_selectedAnnotation && hasLineWidthKind(m_selectedAnnotation)) {
        m_lineWidthDragAnnotation = m_selectedAnnotation;
        m_lineWidthDragStart = std::make_shared<core::AnnotationStyle>(core::captureStyle(*m_selectedAnnotation));
    }
}

void Editor::changeLineWidth(double width, bool undoable)
{
    setStrokeWidth(width);
    const pdf::AnnotationPtr annotation = m_selectedAnnotation;
    if (!annotation || !hasLineWidthKind(annotation))
        return;
    if (!undoable) {
        // A live change while the slider moves. Without a begin call the first live change stands in
        // for the start of the drag, so the closing step still has the width from before.
        if (m_lineWidthDragAnnotation != annotation || !m_lineWidthDragStart) {
            m_lineWidthDragAnnotation = annotation;
            m_lineWidthDragStart = std::make_shared<core::AnnotationStyle>(core::captureStyle(*annotation));
        }
        annotation->setLineWidth(width);
        annotationsChanged(annotation->page());
        return;
    }
    // The undo step must restore the style from before the drag, not the dragged width: put that style
    // back first, then change to the final one undoably.
    if (m_lineWidthDragAnnotation == annotation && m_lineWidthDragStart)
        core::applyStyle(*m_lineWidthDragStart, *annotation);
    m_lineWidthDragStart.reset();
    m_lineWidthDragAnnotation.reset();
    const core::AnnotationStyle before = core::captureStyle(*annotation);
    annotation->setLineWidth(width);
    const core::AnnotationStyle after = core::captureStyle(*annotation);
    core::applyStyle(before, *annotation);
    applyStyleChange(annotation, after, QStringLiteral("Change Line Width"));
}

void Editor::changeFontSize(double size)
{
    setFontSize(size);
    const pdf::AnnotationPtr annotation = m_selectedAnnotation;
    if (!annotation || annotation->type() != QLatin1String("FreeText"))
        return;
    const pdf::PagePtr page = annotation->page();
    if (!page)
        return;
    const QString currentName = annotation->fontName().isEmpty() ? kHelvetica : annotation->fontName();
    const QString fontName = FreeTextLayout::fontExists(currentName) ? currentName : kHelvetica;
    core::AnnotationStyle style = core::captureStyle(*annotation);
    style.font = core::AnnotationFont{fontName, size};
    core::AnnotationGeometry geometry = core::captureGeometry(*annotation);
    const QRectF old = geometry.bounds;
    // The top edge as shown stays; the width is the one shown (the page may be turned).
    const double width = FreeTextLayout::shownSize(page.get(), old).width();
    const double height = FreeTextLayout::boxHeight(annotation->contents(), FreeTextLayout::font(fontName, size), width);
    geometry.bounds = FreeTextLayout::keepingShownTop(page.get(), old, QSizeF(width, height));
    setStyle(annotation, style, geometry, QStringLiteral("Change Font Size"));
    annotationsChanged(page);
}

void Editor::editFreeText(const QString& text, const pdf::AnnotationPtr& annotation)
{
    if (!annotation || annotation->contents() == text)
        return;
    core::AnnotationStyle style = core::captureStyle(*annotation);
    style.contents = text;
    std::optional<core::AnnotationGeometry> geometry;
    if (annotation->type() == QLatin1String("FreeText")) {
        const QString name = annotation->fontName();
        const QFont font = name.isEmpty() ? FreeTextLayout::font(kHelvetica, m_fontSize)
                                          : FreeTextLayout::font(name, annotation->fontSize());
        core::AnnotationGeometry g = core::captureGeometry(*annotation);
        const QRectF old = g.bounds;
        const pdf::PagePtr page = annotation->page();
        const double width = FreeTextLayout::shownSize(page.get(), old).width();
        const double height = FreeTextLayout::boxHeight(text, font, width);
        g.bounds = FreeTextLayout::keepingShownTop(page.get(), old, QSizeF(width, height));
        geometry = g;
    }
    const core::AnnotationStyle styleBefore = core::captureStyle(*annotation);
    const core::AnnotationGeometry geometryBefore = core::captureGeometry(*annotation);
    core::applyStyle(style, *annotation);
    if (geometry)
        core::applyGeometry(*geometry, *annotation);
    registerUndo(QStringLiteral("Edit Text"), [this, annotation, styleBefore, geometryBefore] {
        setStyle(annotation, styleBefore, geometryBefore, QStringLiteral("Edit Text"));
    });
    annotationsChanged(annotation->page());
    emit objectWillChange();
}

QColor Editor::colorForTool(Tool tool) const
{
    const auto it = m_toolColors.constFind(tool);
    return it != m_toolColors.cend() ? it.value() : defaultToolColor(tool);
}

std::optional<Tool> Editor::toolForAnnotation(const pdf::AnnotationPtr& annotation)
{
    if (!annotation)
        return std::nullopt;
    const QString type = annotation->type();
    if (type == QLatin1String("Highlight"))
        return Tool::highlight;
    if (type == QLatin1String("Underline"))
        return Tool::underline;
    if (type == QLatin1String("StrikeOut"))
        return Tool::strikeOut;
    if (type == QLatin1String("Ink"))
        return Tool::pen;
    if (type == QLatin1String("FreeText"))
        return Tool::text;
    if (type == QLatin1String("Text"))
        return Tool::note;
    if (type == QLatin1String("Square"))
        return Tool::rectangle;
    if (type == QLatin1String("Circle"))
        return Tool::ellipse;
    if (type == QLatin1String("Line"))
        return annotation->endLineEnding() != pdf::LineEnding::None ? Tool::arrow : Tool::line;
    return std::nullopt;
}

} // namespace vmk
