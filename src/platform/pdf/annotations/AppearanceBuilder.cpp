#include "platform/pdf/annotations/AppearanceBuilder.h"

#include "platform/pdf/annotations/AppearanceState.h"

#include <QTransform>

#include <algorithm>
#include <vector>

namespace vmk::pdf {

using namespace detail;

namespace {

QByteArray num(double v)
{
    QByteArray s = QByteArray::number(v, 'f', 4);
    // Trim "1.5000" to "1.5" and "2.0000" to "2": smaller streams, same meaning.
    if (s.contains('.')) {
        while (s.endsWith('0'))
            s.chop(1);
        if (s.endsWith('.'))
            s.chop(1);
    }
    return s == "-0" ? QByteArray("0") : s;
}

QByteArray rgb(const QColor& color)
{
    const QColor c = color.toRgb();
    return num(c.redF()) + ' ' + num(c.greenF()) + ' ' + num(c.blueF());
}

QByteArray pathOps(const QPainterPath& path)
{
    QByteArray ops;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            ops += num(e.x) + ' ' + num(e.y) + " m\n";
            break;
        case QPainterPath::LineToElement:
            ops += num(e.x) + ' ' + num(e.y) + " l\n";
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < path.elementCount()) {
                const QPainterPath::Element c2 = path.elementAt(i + 1);
                const QPainterPath::Element end = path.elementAt(i + 2);
                ops += num(e.x) + ' ' + num(e.y) + ' ' + num(c2.x) + ' ' + num(c2.y) + ' ' + num(end.x) + ' '
                    + num(end.y) + " c\n";
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    return ops;
}

QByteArray rectOps(const QRectF& r)
{
    const QRectF n = r.normalized();
    return num(n.x()) + ' ' + num(n.y()) + ' ' + num(n.width()) + ' ' + num(n.height()) + " re\n";
}

} // namespace

AppearanceBuilder::AppearanceBuilder(const QRectF& bounds) : m_state(std::make_unique<AppearanceBuilderState>())
{
    m_state->bounds = bounds.normalized();
}

AppearanceBuilder::~AppearanceBuilder() = default;

QRectF AppearanceBuilder::bounds() const { return m_state->bounds; }

void AppearanceBuilder::save() { m_state->content += "q\n"; }
void AppearanceBuilder::restore() { m_state->content += "Q\n"; }

QByteArray AppearanceBuilderState::alphaState(double alpha, bool fill)
{
    alpha = qBound(0.0, alpha, 1.0);
    for (int i = 0; i < alphas.size(); ++i) {
        if (alphas[i].fill == fill && qFuzzyCompare(alphas[i].alpha + 1, alpha + 1))
            return "/GS" + QByteArray::number(i) + " gs\n";
    }
    alphas.append({alpha, fill});
    return "/GS" + QByteArray::number(alphas.size() - 1) + " gs\n";
}

void AppearanceBuilder::setFillColor(const QColor& color)
{
    m_state->content += rgb(color) + " rg\n" + m_state->alphaState(color.alphaF(), true);
}

void AppearanceBuilder::setStrokeColor(const QColor& color)
{
    m_state->content += rgb(color) + " RG\n" + m_state->alphaState(color.alphaF(), false);
}

void AppearanceBuilder::setLineWidth(double width) { m_state->content += num(qMax(0.0, width)) + " w\n"; }

void AppearanceBuilder::setRoundCapsAndJoins(bool round)
{
    m_state->content += round ? "1 J 1 j\n" : "0 J 0 j\n";
}

void AppearanceBuilder::fillRect(const QRectF& rect) { m_state->content += rectOps(rect) + "f\n"; }
void AppearanceBuilder::strokeRect(const QRectF& rect) { m_state->content += rectOps(rect) + "S\n"; }

void AppearanceBuilder::fillPath(const QPainterPath& path)
{
    m_state->content += pathOps(path) + (path.fillRule() == Qt::OddEvenFill ? "f*\n" : "f\n");
}

void AppearanceBuilder::strokePath(const QPainterPath& path) { m_state->content += pathOps(path) + "S\n"; }

void AppearanceBuilder::clipToRect(const QRectF& rect) { m_state->content += rectOps(rect) + "W n\n"; }

void AppearanceBuilder::clipToPath(const QPainterPath& path)
{
    m_state->content += pathOps(path) + (path.fillRule() == Qt::OddEvenFill ? "W* n\n" : "W n\n");
}

bool AppearanceBuilder::drawPdfPage(const QByteArray& pdfData, const QRectF& target, bool keepAspect)
{
    return drawPdfPage(pdfData, target, keepAspect, 0);
}

bool AppearanceBuilder::drawPdfPage(const QByteArray& pdfData, const QRectF& target, bool keepAspect, int quarterTurns)
{
    const std::optional<QRectF> box = firstPageBox(pdfData);
    if (!box || box->width() <= 0 || box->height() <= 0 || target.isEmpty())
        return false;
    const int turns = ((quarterTurns % 4) + 4) % 4;
    const QRectF t = target.normalized();
    // The target as the artwork sees it once turned.
    const QSizeF upright = turns % 2 ? t.size().transposed() : t.size();
    double sx = upright.width() / box->width(), sy = upright.height() / box->height();
    if (keepAspect)
        sx = sy = std::min(sx, sy);
    const double w = box->width() * sx, h = box->height() * sy;
    // The form keeps the page's own coordinates (its crop box); scale them, centre them on the origin, turn
    // them and move them onto the target's centre. Each call applies before the ones made earlier.
    QTransform m;
    m.translate(t.center().x(), t.center().y());
    m.rotate(90.0 * turns);
    m.translate(-w / 2, -h / 2);
    m.scale(sx, sy);
    m.translate(-box->x(), -box->y());
    const int index = int(m_state->forms.size());
    m_state->forms.append(pdfData);
    m_state->content += "q " + num(m.m11()) + ' ' + num(m.m12()) + ' ' + num(m.m21()) + ' ' + num(m.m22()) + ' '
        + num(m.dx()) + ' ' + num(m.dy()) + " cm /Fm" + QByteArray::number(index) + " Do Q\n";
    return true;
}

QByteArray AppearanceBuilder::contentStream() const { return m_state->content; }

namespace {

struct Registration {
    int id;
    AppearanceRegistry::Predicate matches;
    AppearanceProvider provider;
};

std::vector<Registration>& registrations()
{
    static std::vector<Registration> list;
    return list;
}

} // namespace

int AppearanceRegistry::registerProvider(Predicate matches, AppearanceProvider provider)
{
    static int nextId = 1;
    registrations().push_back({nextId, std::move(matches), std::move(provider)});
    return nextId++;
}

void AppearanceRegistry::unregisterProvider(int id)
{
    auto& list = registrations();
    list.erase(std::remove_if(list.begin(), list.end(), [id](const Registration& r) { return r.id == id; }), list.end());
}

AppearanceProvider AppearanceRegistry::providerFor(const Annotation& annotation)
{
    const auto& list = registrations();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if (it->matches && it->matches(annotation))
            return it->provider;
    }
    return {};
}

} // namespace vmk::pdf
