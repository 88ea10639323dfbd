#include "platform/pdf/document/Annotation.h"

#include "platform/pdf/annotations/AppearanceBuilder.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/annotations/AnnotationDict.h"
#include "platform/pdf/document/State.h"

namespace vmk::pdf {

using namespace detail;

namespace {

const char* const kKnownSubtypes[] = {
    "Square", "Circle", "Line", "Ink", "FreeText", "Text", "Highlight", "Underline", "StrikeOut",
    "Squiggly", "Stamp", "Link", "Widget", "Popup", "Polygon", "PolyLine", "Caret", "FileAttachment",
    "Sound", "Redact"};

bool isMarkup(const QString& subtype)
{
    return subtype == QLatin1String("Highlight") || subtype == QLatin1String("Underline")
        || subtype == QLatin1String("StrikeOut") || subtype == QLatin1String("Squiggly");
}

} // namespace

bool detail::isSynthesizable(const QString& subtype)
{
    static const QStringList kinds = {"Square", "Circle", "Line", "Ink", "FreeText", "Text", "Highlight",
                                      "Underline", "StrikeOut", "Squiggly", "Polygon", "PolyLine"};
    return kinds.contains(subtype);
}

Annotation::Annotation() : m_state(std::make_unique<AnnotationState>()) {}

Annotation::~Annotation() = default;

AnnotationPtr AnnotationState::make(pdf_document* doc, int num)
{
    AnnotationPtr a(new Annotation());
    a->m_state->ref.reset(doc, num);
    fz_context* c = ctx();
    pdf_obj* obj = a->m_state->ref.obj;
    bool hasAppearance = false;
    guarded(c, [&] { hasAppearance = pdf_dict_getp(c, obj, "AP/N") != nullptr; });
    a->m_state->needsAppearance = !hasAppearance && isSynthesizable(a->type());
    a->m_state->lackedAppearance = !hasAppearance;
    return a;
}

AnnotationPtr Annotation::create(const QString& subtype, const QRectF& bounds)
{
    bool known = false;
    for (const char* name : kKnownSubtypes)
        known = known || subtype == QLatin1String(name);
    if (!known)
        return nullptr;
    fz_context* c = ctx();
    pdf_document* doc = scratchDocument();
    const QByteArray name = subtype.toLatin1();
    const char* subtypeName = name.constData();
    const fz_rect rect = toFzRect(bounds);
    int num = 0;
    if (!guarded(c, [&] {
            pdf_obj* ref = pdf_add_new_dict(c, doc, 8);
            pdf_obj* dict = pdf_resolve_indirect(c, ref);
            pdf_dict_put(c, dict, PDF_NAME(Type), PDF_NAME(Annot));
            pdf_dict_put_drop(c, dict, PDF_NAME(Subtype), pdf_new_name(c, subtypeName));
            pdf_dict_put_rect(c, dict, PDF_NAME(Rect), rect);
            pdf_dict_put_int(c, dict, PDF_NAME(F), 4); // printable
            num = pdf_to_num(c, ref);
            pdf_drop_obj(c, ref);
        }))
        return nullptr;
    AnnotationPtr a = AnnotationState::make(doc, num);
    a->m_state->needsAppearance = true;
    a->m_state->lackedAppearance = false; // the user's own: written with the appearance made for it
    if (subtype == QLatin1String("FreeText")) {
        writeDefaultAppearance(c, a->m_state->dict(), DefaultAppearance{});
        a->setAlignment(TextAlignment::Left);
        a->setLineWidth(0.0);
    } else if (subtype == QLatin1String("Text")) {
        a->setIconName(QStringLiteral("Note"));
    } else if (subtype == QLatin1String("Line")) {
        a->setStartPoint(QPointF(0, 0));
        a->setEndPoint(QPointF(bounds.width(), bounds.height()));
    } else if (subtype == QLatin1String("Ink")) {
        a->setPaths({});
    } else if (isMarkup(subtype)) {
        const QRectF r(QPointF(0, 0), bounds.size());
        a->setQuadrilateralPoints({QPointF(0, r.height()), QPointF(r.width(), r.height()), QPointF(0, 0),
                                   QPointF(r.width(), 0)});
    }
    return a;
}

QString Annotation::type() const
{
    fz_context* c = ctx();
    pdf_obj* subtype = nullptr;
    pdf_obj* obj = m_state->dict();
    guarded(c, [&] { subtype = pdf_dict_get(c, obj, PDF_NAME(Subtype)); });
    return nameOf(c, subtype);
}

PagePtr Annotation::page() const { return m_state->page.lock(); }

QRectF Annotation::bounds() const
{
    fz_context* c = ctx();
    pdf_obj* rect = nullptr;
    pdf_obj* obj = m_state->dict();
    guarded(c, [&] { rect = pdf_dict_get(c, obj, PDF_NAME(Rect)); });
    return rectOf(c, rect);
}

void Annotation::setBounds(const QRectF& bounds)
{
    const QString kind = type();
    // Geometry is relative to the bounds' origin: keep it relative, rewrite the absolute values.
    std::optional<QList<QPainterPath>> ink;
    std::optional<std::pair<QPointF, QPointF>> line;
    std::optional<QList<QPointF>> quads;
    if (kind == QLatin1String("Ink"))
        ink = paths();
    else if (kind == QLatin1String("Line"))
        line = std::make_pair(startPoint(), endPoint());
    else if (isMarkup(kind))
        quads = quadrilateralPoints();
    putRect(ctx(), m_state->dict(), PDF_NAME(Rect), bounds);
    if (ink)
        setPaths(*ink);
    if (line) {
        setStartPoint(line->first);
        setEndPoint(line->second);
    }
    if (quads)
        setQuadrilateralPoints(*quads);
    m_state->needsAppearance = true;
}

QColor Annotation::color() const
{
    fz_context* c = ctx();
    const std::optional<QColor> base = readColor(c, m_state->dict(), PDF_NAME(C));
    if (!base)
        return QColor(Qt::transparent);
    QColor result = *base;
    result.setAlphaF(float(readNumber(c, m_state->dict(), PDF_NAME(CA), 1.0)));
    return result;
}

void Annotation::setColor(const QColor& color)
{
    fz_context* c = ctx();
    pdf_obj* obj = m_state->dict();
    if (!color.isValid() || (color.alpha() == 0 && type() == QLatin1String("FreeText"))) {
        // A clear box: no background at all, and no constant alpha that would fade the text too.
        guarded(c, [&] {
            pdf_dict_del(c, obj, PDF_NAME(C));
            pdf_dict_del(c, obj, PDF_NAME(CA));
        });
    } else {
        writeColor(c, obj, PDF_NAME(C), color);
        const double alpha = color.alphaF();
        guarded(c, [&] {
            if (alpha < 1.0)
                pdf_dict_put_real(c, obj, PDF_NAME(CA), alpha);
            else
                pdf_dict_del(c, obj, PDF_NAME(CA));
        });
    }
    m_state->needsAppearance = true;
}

std::optional<QColor> Annotation::interiorColor() const
{
    return readColor(ctx(), m_state->dict(), PDF_NAME(IC));
}

void Annotation::setInteriorColor(const std::optional<QColor>& color)
{
    fz_context* c = ctx();
    pdf_obj* obj = m_state->dict();
    if (color && color->isValid())
        writeColor(c, obj, PDF_NAME(IC), *color);
    else
        guarded(c, [&] { pdf_dict_del(c, obj, PDF_NAME(IC)); });
    m_state->needsAppearance = true;
}

std::optional<double> Annotation::lineWidth() const
{
    fz_context* c = ctx();
    pdf_obj* obj = m_state->dict();
    std::optional<double> width;
    guarded(c, [&] {
        pdf_obj* bs = pdf_dict_get(c, obj, PDF_NAME(BS));
        if (pdf_is_dict(c, bs)) {
            pdf_obj* w = pdf_dict_get(c, bs, PDF_NAME(W));
            width = pdf_is_number(c, w) ? pdf_to_real(c, w) : 1.0;
            return;
        }
        pdf_obj* border = pdf_dict_get(c, obj, PDF_NAME(Border));
        if (pdf_array_len(c, border) >= 3)
            width = pdf_array_get_real(c, border, 2);
    });
    return width;
}

void Annotation::setLineWidth(const std::optional<double>& width)
{
    fz_context* c = ctx();
    pdf_obj* obj = m_state->dict();
    const bool present = width.has_value();
    const double w = width.value_or(0.0);
    guarded(c, [&] {
        pdf_dict_del(c, obj, PDF_NAME(Border));
        if (!present) {
            pdf_dict_del(c, obj, PDF_NAME(BS));
            return;
        }
        // A new border: solid, no dash left over from a previous one.
        pdf_obj* bs = pdf_dict_put_dict(c, obj, PDF_NAME(BS), 2);
        pdf_dict_put_real(c, bs, PDF_NAME(W), w);
        pdf_dict_put(c, bs, PDF_NAME(S), PDF_NAME(S));
    });
    m_state->needsAppearance = true;
}

QString Annotation::contents() const { return readText(ctx(), m_state->dict(), PDF_NAME(Contents)); }

void Annotation::setContents(const QString& contents)
{
    putText(ctx(), m_state->dict(), PDF_NAME(Contents), contents);
    m_state->needsAppearance = true;
}

QString Annotation::userName() const { return readText(ctx(), m_state->dict(), PDF_NAME(T)); }

void Annotation::setUserName(const QString& name)
{
    putText(ctx(), m_state->dict(), PDF_NAME(T), name);
    // The user name may select a custom appearance provider.
    m_state->needsAppearance = true;
}

bool Annotation::shouldDisplay() const
{
    const int flags = int(readNumber(ctx(), m_state->dict(), PDF_NAME(F), 0));
    return (flags & PDF_ANNOT_IS_HIDDEN) == 0;
}

void Annotation::setShouldDisplay(bool display)
{
    fz_context* c = ctx();
    pdf_obj* obj = m_state->dict();
    int flags = int(readNumber(c, obj, PDF_NAME(F), 0));
    flags = display ? (flags & ~PDF_ANNOT_IS_HIDDEN) : (flags | PDF_ANNOT_IS_HIDDEN);
    guarded(c, [&] { pdf_dict_put_int(c, obj, PDF_NAME(F), flags); });
}

int Annotation::rotation() const
{
    fz_context* c = ctx();
    int degrees = 0;
    pdf_obj* dict = m_state->dict();
    guarded(c, [&] { degrees = pdf_dict_get_int(c, dict, PDF_NAME(Rotate)); });
    return ((degrees / 90) % 4 + 4) % 4 * 90;
}

void Annotation::setRotation(int degrees)
{
    fz_context* c = ctx();
    const int normalized = ((degrees / 90) % 4 + 4) % 4 * 90;
    pdf_obj* dict = m_state->dict();
    guarded(c, [&] {
        if (normalized)
            pdf_dict_put_int(c, dict, PDF_NAME(Rotate), normalized);
        else
            pdf_dict_del(c, dict, PDF_NAME(Rotate));
    });
    m_state->needsAppearance = true;
}

QString Annotation::iconName() const { return readName(ctx(), m_state->dict(), PDF_NAME(Name)); }

void Annotation::setIconName(const QString& name)
{
    writeName(ctx(), m_state->dict(), PDF_NAME(Name), name);
    m_state->needsAppearance = true;
}

bool Annotation::setStampAppearance(const QByteArray& pdfData)
{
    Result<DocumentPtr> artwork = Document::fromData(pdfData);
    if (!artwork || (*artwork)->isLocked() || (*artwork)->pageCount() < 1)
        return false;
    setAppearanceProvider([pdfData](const Annotation& annotation, AppearanceBuilder& builder) {
        return builder.drawPdfPage(pdfData, annotation.bounds(), true);
    });
    return true;
}

std::optional<Destination> Annotation::linkDestination() const
{
    PagePtr p = page();
    DocumentPtr d = p ? p->document() : nullptr;
    if (!d)
        return std::nullopt;
    fz_context* c = ctx();
    pdf_obj* obj = m_state->dict();
    pdf_obj* dest = nullptr;
    guarded(c, [&] {
        dest = pdf_dict_get(c, obj, PDF_NAME(Dest));
        if (!dest) {
            pdf_obj* action = pdf_dict_get(c, obj, PDF_NAME(A));
            if (pdf_name_eq(c, pdf_dict_get(c, action, PDF_NAME(S)), PDF_NAME(GoTo)))
                dest = action;
        }
    });
    if (!dest)
        return std::nullopt;
    return resolveDestination(c, *d, dest);
}

QString Annotation::linkURI() const
{
    fz_context* c = ctx();
    pdf_obj* obj = m_state->dict();
    pdf_obj* uri = nullptr;
    guarded(c, [&] {
        pdf_obj* action = pdf_dict_get(c, obj, PDF_NAME(A));
        if (pdf_name_eq(c, pdf_dict_get(c, action, PDF_NAME(S)), PDF_NAME(URI)))
            uri = pdf_dict_get(c, action, PDF_NAME(URI));
    });
    const char* s = nullptr;
    guarded(c, [&] { s = pdf_is_string(c, uri) ? pdf_to_str_buf(c, uri) : nullptr; });
    return s ? QString::fromUtf8(s) : QString();
}

QString Annotation::linkLaunchFile() const
{
    fz_context* c = ctx();
    pdf_obj* obj = m_state->dict();
    const char* s = nullptr;
    guarded(c, [&] {
        pdf_obj* action = pdf_dict_get(c, obj, PDF_NAME(A));
        pdf_obj* kind = pdf_dict_get(c, action, PDF_NAME(S));
        if (!pdf_name_eq(c, kind, PDF_NAME(Launch)) && !pdf_name_eq(c, kind, PDF_NAME(GoToR)))
            return;
        pdf_obj* file = pdf_dict_get(c, action, PDF_NAME(F));
        if (pdf_is_dict(c, file)) {
            pdf_obj* unicode = pdf_dict_get(c, file, PDF_NAME(UF));
            file = pdf_is_string(c, unicode) ? unicode : pdf_dict_get(c, file, PDF_NAME(F));
        }
        if (!pdf_is_string(c, file)) {
            // A launch action for Unix may keep its file in a /Unix dictionary or string instead.
            pdf_obj* unixSpec = pdf_dict_gets(c, action, "Unix");
            file = pdf_is_dict(c, unixSpec) ? pdf_dict_get(c, unixSpec, PDF_NAME(F)) : unixSpec;
        }
        s = pdf_is_string(c, file) ? pdf_to_str_buf(c, file) : nullptr;
    });
    return s ? QString::fromUtf8(s) : QString();
}

void Annotation::setAppearanceProvider(AppearanceProvider provider)
{
    m_state->provider = std::move(provider);
    m_state->needsAppearance = true;
}

void Annotation::invalidateAppearance() { m_state->needsAppearance = true; }

} // namespace vmk::pdf
