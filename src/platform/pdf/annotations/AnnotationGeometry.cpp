// Subtype-specific annotation geometry and text style: line points and endings, ink paths, markup
// quadrilaterals, free text fonts. Callers see points relative to the bounds' origin; the file holds
// absolute page-space values.

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/annotations/AnnotationDict.h"
#include "platform/pdf/document/State.h"

#include <QPolygonF>

namespace vmk::pdf {

using namespace detail;

namespace {

const char* const kEndingNames[] = {"None", "Square", "Circle", "Diamond", "OpenArrow", "ClosedArrow",
                                    "Butt", "ROpenArrow", "RClosedArrow", "Slash"};

LineEnding endingFromName(const QString& name)
{
    for (int i = 0; i < int(std::size(kEndingNames)); ++i) {
        if (name == QLatin1String(kEndingNames[i]))
            return LineEnding(i);
    }
    return LineEnding::None;
}

std::vector<double> readNumbers(fz_context* c, pdf_obj* dict, pdf_obj* key)
{
    std::vector<double> values;
    int n = 0;
    guarded(c, [&] { n = pdf_array_len(c, pdf_dict_get(c, dict, key)); });
    values.resize(size_t(n));
    guarded(c, [&] {
        pdf_obj* array = pdf_dict_get(c, dict, key);
        for (int i = 0; i < n; ++i)
            values[size_t(i)] = pdf_array_get_real(c, array, i);
    });
    return values;
}

void writeNumbers(fz_context* c, pdf_obj* dict, pdf_obj* key, const std::vector<double>& values)
{
    guarded(c, [&] {
        pdf_obj* array = pdf_dict_put_array(c, dict, key, int(values.size()));
        for (double v : values)
            pdf_array_push_real(c, array, v);
    });
}

} // namespace

QPointF Annotation::startPoint() const
{
    const std::vector<double> l = readNumbers(ctx(), m_state->dict(), PDF_NAME(L));
    if (l.size() < 4)
        return QPointF();
    return QPointF(l[0], l[1]) - bounds().topLeft();
}

QPointF Annotation::endPoint() const
{
    const std::vector<double> l = readNumbers(ctx(), m_state->dict(), PDF_NAME(L));
    if (l.size() < 4)
        return QPointF();
    return QPointF(l[2], l[3]) - bounds().topLeft();
}

void Annotation::setStartPoint(const QPointF& point)
{
    std::vector<double> l = readNumbers(ctx(), m_state->dict(), PDF_NAME(L));
    l.resize(4, 0.0);
    const QPointF absolute = point + bounds().topLeft();
    l[0] = absolute.x();
    l[1] = absolute.y();
    writeNumbers(ctx(), m_state->dict(), PDF_NAME(L), l);
    m_state->needsAppearance = true;
}

void Annotation::setEndPoint(const QPointF& point)
{
    std::vector<double> l = readNumbers(ctx(), m_state->dict(), PDF_NAME(L));
    l.resize(4, 0.0);
    const QPointF absolute = point + bounds().topLeft();
    l[2] = absolute.x();
    l[3] = absolute.y();
    writeNumbers(ctx(), m_state->dict(), PDF_NAME(L), l);
    m_state->needsAppearance = true;
}

static LineEnding readEnding(fz_context* c, pdf_obj* dict, int index)
{
    const char* name = nullptr;
    guarded(c, [&] { name = pdf_to_name(c, pdf_array_get(c, pdf_dict_get(c, dict, PDF_NAME(LE)), index)); });
    return endingFromName(QString::fromLatin1(name ? name : ""));
}

static void writeEnding(fz_context* c, pdf_obj* dict, int index, LineEnding ending)
{
    const LineEnding other = readEnding(c, dict, 1 - index);
    const char* names[2] = {nullptr, nullptr};
    names[index] = kEndingNames[int(ending)];
    names[1 - index] = kEndingNames[int(other)];
    guarded(c, [&] {
        pdf_obj* array = pdf_dict_put_array(c, dict, PDF_NAME(LE), 2);
        pdf_array_push_drop(c, array, pdf_new_name(c, names[0]));
        pdf_array_push_drop(c, array, pdf_new_name(c, names[1]));
    });
}

LineEnding Annotation::startLineEnding() const { return readEnding(ctx(), m_state->dict(), 0); }
LineEnding Annotation::endLineEnding() const { return readEnding(ctx(), m_state->dict(), 1); }

void Annotation::setStartLineEnding(LineEnding ending)
{
    writeEnding(ctx(), m_state->dict(), 0, ending);
    m_state->needsAppearance = true;
}

void Annotation::setEndLineEnding(LineEnding ending)
{
    writeEnding(ctx(), m_state->dict(), 1, ending);
    m_state->needsAppearance = true;
}

QList<QPainterPath> Annotation::paths() const
{
    if (m_state->inkPaths)
        return *m_state->inkPaths;
    fz_context* c = ctx();
    pdf_obj* dict = m_state->dict();
    const QPointF origin = bounds().topLeft();
    QList<QPainterPath> result;
    int strokes = 0;
    guarded(c, [&] { strokes = pdf_array_len(c, pdf_dict_get(c, dict, PDF_NAME(InkList))); });
    for (int s = 0; s < strokes; ++s) {
        std::vector<double> values;
        int n = 0;
        guarded(c, [&] { n = pdf_array_len(c, pdf_array_get(c, pdf_dict_get(c, dict, PDF_NAME(InkList)), s)); });
        values.resize(size_t(n));
        guarded(c, [&] {
            pdf_obj* stroke = pdf_array_get(c, pdf_dict_get(c, dict, PDF_NAME(InkList)), s);
            for (int i = 0; i < n; ++i)
                values[size_t(i)] = pdf_array_get_real(c, stroke, i);
        });
        QPainterPath path;
        for (size_t i = 0; i + 1 < values.size(); i += 2) {
            const QPointF p = QPointF(values[i], values[i + 1]) - origin;
            if (i == 0)
                path.moveTo(p);
            else
                path.lineTo(p);
        }
        result.append(path);
    }
    m_state->inkPaths = result;
    return result;
}

void Annotation::setPaths(const QList<QPainterPath>& paths)
{
    m_state->inkPaths = paths;
    fz_context* c = ctx();
    pdf_obj* dict = m_state->dict();
    const QPointF origin = bounds().topLeft();
    // Curves are flattened: the file's ink list holds polylines only.
    std::vector<std::vector<double>> strokes;
    for (const QPainterPath& path : paths) {
        for (const QPolygonF& polygon : path.toSubpathPolygons()) {
            std::vector<double> stroke;
            for (const QPointF& p : polygon) {
                stroke.push_back(p.x() + origin.x());
                stroke.push_back(p.y() + origin.y());
            }
            if (!stroke.empty())
                strokes.push_back(std::move(stroke));
        }
    }
    guarded(c, [&] {
        pdf_obj* list = pdf_dict_put_array(c, dict, PDF_NAME(InkList), int(strokes.size()));
        for (const std::vector<double>& stroke : strokes) {
            pdf_obj* array = pdf_array_push_array(c, list, int(stroke.size()));
            for (double v : stroke)
                pdf_array_push_real(c, array, v);
        }
    });
    m_state->needsAppearance = true;
}

void Annotation::addPath(const QPainterPath& path)
{
    QList<QPainterPath> all = paths();
    all.append(path);
    setPaths(all);
}

void Annotation::removePath(const QPainterPath& path)
{
    QList<QPainterPath> all = paths();
    const qsizetype index = all.indexOf(path);
    if (index < 0)
        return;
    all.removeAt(index);
    setPaths(all);
}

QList<QPointF> Annotation::quadrilateralPoints() const
{
    const std::vector<double> values = readNumbers(ctx(), m_state->dict(), PDF_NAME(QuadPoints));
    const QPointF origin = bounds().topLeft();
    QList<QPointF> points;
    for (size_t i = 0; i + 1 < values.size(); i += 2)
        points.append(QPointF(values[i], values[i + 1]) - origin);
    return points;
}

void Annotation::setQuadrilateralPoints(const QList<QPointF>& points)
{
    const QPointF origin = bounds().topLeft();
    std::vector<double> values;
    for (const QPointF& p : points) {
        values.push_back(p.x() + origin.x());
        values.push_back(p.y() + origin.y());
    }
    writeNumbers(ctx(), m_state->dict(), PDF_NAME(QuadPoints), values);
    m_state->needsAppearance = true;
}

QString Annotation::fontName() const
{
    return fontNameForResource(readDefaultAppearance(ctx(), m_state->dict()).font);
}

void Annotation::setFontName(const QString& name)
{
    DefaultAppearance da = readDefaultAppearance(ctx(), m_state->dict());
    da.font = fontResourceForName(name);
    writeDefaultAppearance(ctx(), m_state->dict(), da);
    m_state->needsAppearance = true;
}

double Annotation::fontSize() const { return readDefaultAppearance(ctx(), m_state->dict()).size; }

void Annotation::setFontSize(double size)
{
    DefaultAppearance da = readDefaultAppearance(ctx(), m_state->dict());
    if (size > 0)
        da.size = size;
    writeDefaultAppearance(ctx(), m_state->dict(), da);
    m_state->needsAppearance = true;
}

QColor Annotation::fontColor() const { return readDefaultAppearance(ctx(), m_state->dict()).color; }

void Annotation::setFontColor(const QColor& color)
{
    DefaultAppearance da = readDefaultAppearance(ctx(), m_state->dict());
    if (color.isValid())
        da.color = color;
    writeDefaultAppearance(ctx(), m_state->dict(), da);
    m_state->needsAppearance = true;
}

TextAlignment Annotation::alignment() const
{
    const int q = int(readNumber(ctx(), m_state->dict(), PDF_NAME(Q), 0));
    return q == 1 ? TextAlignment::Center : q == 2 ? TextAlignment::Right : TextAlignment::Left;
}

void Annotation::setAlignment(TextAlignment alignment)
{
    fz_context* c = ctx();
    pdf_obj* dict = m_state->dict();
    const int q = int(alignment);
    guarded(c, [&] { pdf_dict_put_int(c, dict, PDF_NAME(Q), q); });
    m_state->needsAppearance = true;
}

} // namespace vmk::pdf
