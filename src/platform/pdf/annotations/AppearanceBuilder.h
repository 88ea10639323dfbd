#pragma once

#include "platform/pdf/document/Annotation.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>

namespace vmk::pdf {

namespace detail { struct AppearanceBuilderState; }

// Composes an annotation's appearance as a PDF content stream. Coordinates are page space, like the
// annotation's bounds(); what lies outside the bounds is clipped. The result is stored in the annotation
// as its normal appearance, so screen, print, flattening and other viewers all draw the same thing.
class AppearanceBuilder {
public:
    explicit AppearanceBuilder(const QRectF& bounds);
    ~AppearanceBuilder();
    AppearanceBuilder(const AppearanceBuilder&) = delete;
    AppearanceBuilder& operator=(const AppearanceBuilder&) = delete;

    QRectF bounds() const;

    void save();
    void restore();
    // Colours with alpha: the alpha becomes a graphics state constant alpha.
    void setFillColor(const QColor& color);
    void setStrokeColor(const QColor& color);
    void setLineWidth(double width);
    void setRoundCapsAndJoins(bool round);

    void fillRect(const QRectF& rect);
    void strokeRect(const QRectF& rect);
    void fillPath(const QPainterPath& path);
    void strokePath(const QPainterPath& path);
    void clipToRect(const QRectF& rect);
    void clipToPath(const QPainterPath& path);
    // Draws the first page of a PDF (its crop box) into the target rectangle, aspect-fitted and centred
    // when `keepAspect`. False when the data is not a readable PDF with a non-empty first page.
    bool drawPdfPage(const QByteArray& pdfData, const QRectF& target, bool keepAspect = true);
    // The same, turned `quarterTurns` quarter turns counterclockwise about the target's centre (page space,
    // y up): artwork meant to read upright on a page displayed turned clockwise by that much. The fit is
    // made to the turned target, so for an odd count the artwork's width spans the target's height.
    bool drawPdfPage(const QByteArray& pdfData, const QRectF& target, bool keepAspect, int quarterTurns);

    // The content stream so far (for tests and diagnostics).
    QByteArray contentStream() const;

    // Layer-internal state; not for use outside src/platform/pdf.
    detail::AppearanceBuilderState& state() const { return *m_state; }

private:
    std::unique_ptr<detail::AppearanceBuilderState> m_state;
};

// Process-wide providers of custom appearances for classes of annotations (redaction marks, signatures,
// notes), consulted whenever the layer (re)generates an annotation's appearance and the annotation has no
// provider of its own. Later registrations win. Main thread only.
class AppearanceRegistry {
public:
    using Predicate = std::function<bool(const Annotation& annotation)>;

    // Returns an id for unregister().
    static int registerProvider(Predicate matches, AppearanceProvider provider);
    static void unregisterProvider(int id);
    // The provider for the annotation, or an empty function.
    static AppearanceProvider providerFor(const Annotation& annotation);
};

} // namespace vmk::pdf
