#pragma once

#include "platform/pdf/engine/Fz.h"

#include <QByteArray>
#include <QList>
#include <QRectF>

#include <optional>

namespace vmk::pdf::detail {

struct AppearanceBuilderState {
    struct Alpha {
        double alpha;
        bool fill;
    };
    QRectF bounds;
    QByteArray content;
    QList<Alpha> alphas;     // /GS<n>
    QList<QByteArray> forms; // /Fm<n>: one-page PDFs drawn as form XObjects

    QByteArray alphaState(double alpha, bool fill);
};

// The crop box of the first page of a PDF, or nothing when it is not a readable PDF.
std::optional<QRectF> firstPageBox(const QByteArray& pdfData);

// Stores the builder's drawing as the annotation dictionary's normal appearance (in `doc`).
bool writeAppearance(fz_context* c, pdf_document* doc, pdf_obj* annot, const AppearanceBuilderState& state);

} // namespace vmk::pdf::detail
