#include "core/PageRebuild.h"

#include "core/SystemAnnotations.h"

#include "platform/ocr/RecognizerPool.h"
#include "platform/ocr/TextRecognizer.h"
#include "platform/pdf/document/Annotation.h"

#include <algorithm>

namespace vmk::core::PDFOps {

namespace {

constexpr double kFontSizeOfBoxHeight = 0.86;
constexpr double kBaselineDescents = 0.6;

// Whether the annotation reaches into any of the rectangles: by its bounds, or by the quadrilaterals a
// markup is drawn along, which another program may have left outside the bounds.
bool touches(const pdf::Annotation& annotation, const QList<QRectF>& rects)
{
    if (rects.isEmpty())
        return false;
    QList<QRectF> areas = {annotation.bounds()};
    const QList<QPointF> quads = annotation.quadrilateralPoints();
    const QPointF origin = annotation.bounds().topLeft();
    for (qsizetype i = 0; i + 3 < quads.size(); i += 4) {
        const auto [left, right] = std::minmax({quads[i].x(), quads[i + 1].x(), quads[i + 2].x(), quads[i + 3].x()});
        const auto [bottom, top] = std::minmax({quads[i].y(), quads[i + 1].y(), quads[i + 2].y(), quads[i + 3].y()});
        areas.append(QRectF(QPointF(left, bottom) + origin, QPointF(right, top) + origin));
    }
    return std::any_of(rects.begin(), rects.end(), [&](const QRectF& r) {
        return std::any_of(areas.begin(), areas.end(), [&](const QRectF& a) { return r.intersects(a); });
    });
}

} // namespace

pdf::DrawResult PageSnapshot::draw(double scale, const pdf::RecordBudget& budget) const
{
    if (ref)
        return ref->render(scale, QRect(), budget);
    if (capture)
        return capture->draw(scale, QRect(), budget);
    return {};
}

Expected<QList<RecognizedLine>, QString> recognizeText(const QImage& image)
{
    // Starting an engine costs far more than a sparse page: engines are borrowed from the process's pool,
    // which also keeps their number within the memory there is.
    const platform::RecognizerLease recognizer;
    if (!recognizer->isAvailable())
        return recognizer->errorString();
    if (image.isNull())
        return QList<RecognizedLine>{};
    const platform::RecognitionResult result = recognizer->recognize(image);
    if (!result.ok())
        return result.error;
    QList<RecognizedLine> lines;
    for (const platform::RecognizedTextLine& line : result.lines) {
        const QString text = line.text.trimmed();
        if (!text.isEmpty())
            lines.append({text, line.box, line.clockwiseTurn});
    }
    return lines;
}

QList<pdf::InvisibleTextRun> layoutInvisibleText(const QList<RecognizedLine>& lines, const QSizeF& scale)
{
    QList<pdf::InvisibleTextRun> runs;
    for (const RecognizedLine& line : lines) {
        const QRectF box(scale.width() * line.box.x(), scale.height() * line.box.y(),
                         scale.width() * line.box.width(), scale.height() * line.box.height());
        if (!(box.width() > 1.0 && box.height() > 1.0))
            continue;
        const int turn = ((line.clockwiseTurn / 90) % 4 + 4) % 4 * 90;
        // Length along the reading direction and thickness across it.
        const bool across = turn == 90 || turn == 270;
        const double length = across ? box.height() : box.width();
        const double thickness = across ? box.width() : box.height();
        const double size = std::max(thickness * kFontSizeOfBoxHeight, 1.0);
        const double naturalWidth = pdf::helveticaWidth(line.text) * size / 1000.0;
        if (!(naturalWidth > 0))
            continue;
        // The box corner where the turned line starts, and the glyphs' up direction (y up; turned clockwise).
        const double lift = kBaselineDescents * pdf::helveticaDescent() * size;
        QPointF start;
        QPointF up;
        switch (turn) {
        case 90: start = QPointF(box.left(), box.bottom()); up = QPointF(1, 0); break;
        case 180: start = QPointF(box.right(), box.bottom()); up = QPointF(0, -1); break;
        case 270: start = QPointF(box.right(), box.top()); up = QPointF(-1, 0); break;
        default: start = box.topLeft(); up = QPointF(0, 1); break;
        }
        pdf::InvisibleTextRun run;
        run.text = line.text;
        run.fontSize = size;
        run.origin = start + lift * up;
        run.horizontalScale = length / naturalWidth;
        run.clockwiseTurn = turn;
        runs.append(run);
    }
    return runs;
}

pdf::PagePtr rebuildPage(const pdf::Page& source, const PageBase& base, const QList<RecognizedLine>& lines)
{
    const QList<pdf::InvisibleTextRun> runs = layoutInvisibleText(lines, source.displaySize());
    pdf::Result<pdf::PagePtr> rebuilt = pdf::makeRebuiltPage(source, base, runs);
    return rebuilt ? rebuilt.value() : nullptr;
}

void moveAnnotations(pdf::Page& from, pdf::Page& to, const QList<QRectF>& dropping)
{
    for (const pdf::AnnotationPtr& annotation : from.annotations()) {
        const bool dropped = touches(*annotation, dropping);
        from.removeAnnotation(annotation);
        if (!dropped && !isRedactionMark(*annotation))
            to.addAnnotation(annotation);
    }
}

QList<pdf::AnnotationPtr> annotationsKept(const pdf::Page& page, const QList<QRectF>& dropping)
{
    QList<pdf::AnnotationPtr> kept;
    for (const pdf::AnnotationPtr& annotation : page.annotations()) {
        if (isRedactionMark(*annotation))
            continue;
        if (annotation->isWidget() || !touches(*annotation, dropping))
            kept.append(annotation);
    }
    return kept;
}

QStringList wordsUnder(const pdf::Page& page, const QList<QRectF>& rects)
{
    return rects.isEmpty() ? QStringList() : wordsUnder(page.textLayout(), rects);
}

QStringList wordsUnder(const pdf::TextLayout& chars, const QList<QRectF>& rects)
{
    QStringList words;
    if (rects.isEmpty())
        return words;
    QString word;
    bool covered = false;
    auto finish = [&] {
        if (covered && word.size() >= 2 && !words.contains(word))
            words.append(word);
        word.clear();
        covered = false;
    };
    int line = -1;
    for (int i = 0; i < chars.size(); ++i) {
        const QStringView text = chars.characterText(i);
        const bool letter = !text.isEmpty() && text.at(0).isLetterOrNumber();
        if (!letter || chars.line(i) != line)
            finish();
        line = chars.line(i);
        if (!letter)
            continue;
        word += text;
        const QPointF centre = chars.bounds(i).center();
        covered = covered || std::any_of(rects.begin(), rects.end(), [&](const QRectF& r) { return r.contains(centre); });
    }
    finish();
    return words;
}

std::vector<pdf::AnnotationPtr> widgetsUnder(const pdf::Page& page, const QList<QRectF>& rects)
{
    std::vector<pdf::AnnotationPtr> widgets;
    for (const pdf::AnnotationPtr& annotation : page.annotations())
        if (annotation->isWidget() && touches(*annotation, rects))
            widgets.push_back(annotation);
    return widgets;
}

std::optional<PageSnapshot> snapshot(const pdf::Page& page)
{
    // Interpreting the page is left to whoever draws it, on a worker and within a budget.
    std::shared_ptr<pdf::PageCapture> copy = pdf::PageCapture::take(page, false);
    if (!copy)
        return std::nullopt;
    return PageSnapshot{nullptr, page.cropBox(), page.displayTransform(), page.displaySize(), std::move(copy)};
}

} // namespace vmk::core::PDFOps
