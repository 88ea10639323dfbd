#include "platform/pdf/annotations/AnnotationDict.h"

#include <QStringList>

namespace vmk::pdf::detail {

std::optional<QColor> readColor(fz_context* c, pdf_obj* dict, pdf_obj* key)
{
    float v[4] = {0, 0, 0, 0};
    int n = 0;
    guarded(c, [&] {
        pdf_obj* array = pdf_dict_get(c, dict, key);
        n = pdf_array_len(c, array);
        for (int i = 0; i < n && i < 4; ++i)
            v[i] = pdf_array_get_real(c, array, i);
    });
    auto clamp = [](float x) { return qBound(0.0f, x, 1.0f); };
    switch (n) {
    case 1: return QColor::fromRgbF(clamp(v[0]), clamp(v[0]), clamp(v[0]));
    case 3: return QColor::fromRgbF(clamp(v[0]), clamp(v[1]), clamp(v[2]));
    case 4: return QColor::fromCmykF(clamp(v[0]), clamp(v[1]), clamp(v[2]), clamp(v[3])).toRgb();
    default: return std::nullopt;
    }
}

void writeColor(fz_context* c, pdf_obj* dict, pdf_obj* key, const QColor& color)
{
    const QColor rgb = color.toRgb();
    const float r = rgb.redF(), g = rgb.greenF(), b = rgb.blueF();
    guarded(c, [&] {
        pdf_obj* array = pdf_dict_put_array(c, dict, key, 3);
        pdf_array_push_real(c, array, r);
        pdf_array_push_real(c, array, g);
        pdf_array_push_real(c, array, b);
    });
}

double readNumber(fz_context* c, pdf_obj* dict, pdf_obj* key, double fallback)
{
    double value = fallback;
    guarded(c, [&] {
        pdf_obj* obj = pdf_dict_get(c, dict, key);
        if (pdf_is_number(c, obj))
            value = pdf_to_real(c, obj);
    });
    return value;
}

QString readText(fz_context* c, pdf_obj* dict, pdf_obj* key)
{
    pdf_obj* obj = nullptr;
    guarded(c, [&] { obj = pdf_dict_get(c, dict, key); });
    return textOf(c, obj);
}

QString readName(fz_context* c, pdf_obj* dict, pdf_obj* key)
{
    pdf_obj* obj = nullptr;
    guarded(c, [&] { obj = pdf_dict_get(c, dict, key); });
    return nameOf(c, obj);
}

void writeName(fz_context* c, pdf_obj* dict, pdf_obj* key, const QString& name)
{
    const QByteArray latin = name.toLatin1();
    const char* s = latin.constData();
    guarded(c, [&] {
        if (*s)
            pdf_dict_put_drop(c, dict, key, pdf_new_name(c, s));
        else
            pdf_dict_del(c, dict, key);
    });
}

DefaultAppearance parseDefaultAppearance(const QString& da)
{
    DefaultAppearance result;
    const QStringList tokens = da.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 0; i < tokens.size(); ++i) {
        const QString& op = tokens[i];
        if (op == QLatin1String("Tf") && i >= 2) {
            if (tokens[i - 2].startsWith(QLatin1Char('/')))
                result.font = tokens[i - 2].mid(1);
            bool ok = false;
            const double size = tokens[i - 1].toDouble(&ok);
            if (ok && size > 0)
                result.size = size;
        } else if (op == QLatin1String("g") && i >= 1) {
            const float v = qBound(0.0f, tokens[i - 1].toFloat(), 1.0f);
            result.color = QColor::fromRgbF(v, v, v);
        } else if (op == QLatin1String("rg") && i >= 3) {
            result.color = QColor::fromRgbF(qBound(0.0f, tokens[i - 3].toFloat(), 1.0f),
                                            qBound(0.0f, tokens[i - 2].toFloat(), 1.0f),
                                            qBound(0.0f, tokens[i - 1].toFloat(), 1.0f));
        } else if (op == QLatin1String("k") && i >= 4) {
            result.color = QColor::fromCmykF(qBound(0.0f, tokens[i - 4].toFloat(), 1.0f),
                                             qBound(0.0f, tokens[i - 3].toFloat(), 1.0f),
                                             qBound(0.0f, tokens[i - 2].toFloat(), 1.0f),
                                             qBound(0.0f, tokens[i - 1].toFloat(), 1.0f)).toRgb();
        }
    }
    return result;
}

QString formatDefaultAppearance(const DefaultAppearance& da)
{
    const QColor rgb = da.color.toRgb();
    return QStringLiteral("/%1 %2 Tf %3 %4 %5 rg")
        .arg(da.font)
        .arg(da.size, 0, 'g', 6)
        .arg(rgb.redF(), 0, 'g', 4)
        .arg(rgb.greenF(), 0, 'g', 4)
        .arg(rgb.blueF(), 0, 'g', 4);
}

DefaultAppearance readDefaultAppearance(fz_context* c, pdf_obj* dict)
{
    pdf_obj* obj = nullptr;
    const char* s = nullptr;
    guarded(c, [&] {
        obj = pdf_dict_get(c, dict, PDF_NAME(DA));
        if (pdf_is_string(c, obj))
            s = pdf_to_str_buf(c, obj);
    });
    return parseDefaultAppearance(s ? QString::fromLatin1(s) : QString());
}

void writeDefaultAppearance(fz_context* c, pdf_obj* dict, const DefaultAppearance& da)
{
    const QByteArray text = formatDefaultAppearance(da).toLatin1();
    const char* s = text.constData();
    guarded(c, [&] { pdf_dict_put_string(c, dict, PDF_NAME(DA), s, strlen(s)); });
}

QString fontResourceForName(const QString& fontName)
{
    const QString lower = fontName.toLower();
    if (lower.contains(QLatin1String("times")) || lower == QLatin1String("tiro")
        || (lower.contains(QLatin1String("serif")) && !lower.contains(QLatin1String("sans"))))
        return QStringLiteral("TiRo");
    if (lower.contains(QLatin1String("courier")) || lower == QLatin1String("cour") || lower.contains(QLatin1String("mono")))
        return QStringLiteral("Cour");
    return QStringLiteral("Helv");
}

QString fontNameForResource(const QString& resource)
{
    if (resource == QLatin1String("TiRo"))
        return QStringLiteral("Times-Roman");
    if (resource == QLatin1String("Cour"))
        return QStringLiteral("Courier");
    if (resource == QLatin1String("Helv"))
        return QStringLiteral("Helvetica");
    return resource;
}

} // namespace vmk::pdf::detail
