#pragma once

// Readers and writers of annotation dictionary entries. They never throw.

#include "platform/pdf/engine/Fz.h"

#include <QColor>
#include <QString>

#include <optional>

namespace vmk::pdf::detail {

std::optional<QColor> readColor(fz_context* c, pdf_obj* dict, pdf_obj* key);
// Writes an RGB colour array (alpha is the caller's business).
void writeColor(fz_context* c, pdf_obj* dict, pdf_obj* key, const QColor& color);
double readNumber(fz_context* c, pdf_obj* dict, pdf_obj* key, double fallback);
QString readText(fz_context* c, pdf_obj* dict, pdf_obj* key);
QString readName(fz_context* c, pdf_obj* dict, pdf_obj* key);
void writeName(fz_context* c, pdf_obj* dict, pdf_obj* key, const QString& name);

// The /DA string of a free text annotation: font resource name, size and text colour.
struct DefaultAppearance {
    QString font = QStringLiteral("Helv");
    double size = 12;
    QColor color = QColor(Qt::black);
};
DefaultAppearance parseDefaultAppearance(const QString& da);
QString formatDefaultAppearance(const DefaultAppearance& da);
DefaultAppearance readDefaultAppearance(fz_context* c, pdf_obj* dict);
void writeDefaultAppearance(fz_context* c, pdf_obj* dict, const DefaultAppearance& da);

// The engine draws free text only in its three built-in faces; map family names onto them.
QString fontResourceForName(const QString& fontName);
QString fontNameForResource(const QString& resource);

} // namespace vmk::pdf::detail
