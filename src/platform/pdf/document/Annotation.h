#pragma once

#include "platform/pdf/document/PdfTypes.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vmk::pdf {

namespace detail { struct AnnotationState; }
class AppearanceBuilder;

enum class LineEnding { None, Square, Circle, Diamond, OpenArrow, ClosedArrow, Butt, ROpenArrow, RClosedArrow, Slash };
enum class TextAlignment { Left = 0, Center = 1, Right = 2 };

// Draws an annotation's appearance. Returns false to fall back to the standard appearance.
using AppearanceProvider = std::function<bool(const Annotation& annotation, AppearanceBuilder& builder)>;

// A PDF annotation: a shared handle with a stable identity, standalone or on a page, movable between pages
// and documents. Geometry is in page space; paths, line points and quadrilateral points are relative to
// the bounds' origin (the lower-left corner), the file stores them absolute.
//
// Every annotation gets an appearance stream before it is drawn or written: a custom one from its own
// provider or a registered one (see AppearanceRegistry), otherwise the standard one.
class Annotation : public std::enable_shared_from_this<Annotation> {
public:
    ~Annotation();
    Annotation(const Annotation&) = delete;
    Annotation& operator=(const Annotation&) = delete;

    // A standalone annotation of the subtype ("Square", "Ink", ...; without "/"), not yet on a page.
    // Unknown subtypes give nullptr.
    static AnnotationPtr create(const QString& subtype, const QRectF& bounds);

    // The subtype without "/"; empty when the dictionary has none.
    QString type() const;
    // The page the annotation is on, or nullptr.
    PagePtr page() const;

    QRectF bounds() const;
    // Moves and resizes; ink paths, line points and quadrilateral points move with the origin.
    void setBounds(const QRectF& bounds);

    // /C with /CA as alpha; transparent when the annotation has no colour (a clear text box).
    QColor color() const;
    void setColor(const QColor& color);
    std::optional<QColor> interiorColor() const;
    void setInteriorColor(const std::optional<QColor>& color);
    // /BS /W; nothing when there is no border style. Setting a width makes a new solid border.
    std::optional<double> lineWidth() const;
    void setLineWidth(const std::optional<double>& width);
    QString contents() const;
    void setContents(const QString& contents);
    // /T: the application tags its own annotations here ("Vellumark.Signature").
    QString userName() const;
    void setUserName(const QString& name);
    // The /F hidden flag, inverted. This is what the file says, not a view's temporary state.
    bool shouldDisplay() const;
    void setShouldDisplay(bool display);

    // Line.
    QPointF startPoint() const;
    QPointF endPoint() const;
    void setStartPoint(const QPointF& point);
    void setEndPoint(const QPointF& point);
    LineEnding startLineEnding() const;
    LineEnding endLineEnding() const;
    void setStartLineEnding(LineEnding ending);
    void setEndLineEnding(LineEnding ending);

    // Ink. Curves are allowed; the file stores them flattened. Drawn with round caps.
    QList<QPainterPath> paths() const;
    void setPaths(const QList<QPainterPath>& paths);
    void addPath(const QPainterPath& path);
    // Removes the first path equal to the given one.
    void removePath(const QPainterPath& path);

    // FreeText. The annotation colour is the box background (transparent by default); the text colour
    // is fontColor. Font names map to the base-14 families ("Helvetica", "Times-Roman", "Courier").
    QString fontName() const;
    void setFontName(const QString& name);
    double fontSize() const;
    void setFontSize(double size);
    QColor fontColor() const;
    void setFontColor(const QColor& color);
    TextAlignment alignment() const;
    void setAlignment(TextAlignment alignment);
    // /Rotate: the quarter turns (0, 90, 180, 270) the text is drawn with, so that a box on a turned page
    // reads upright as the page is shown.
    int rotation() const;
    void setRotation(int degrees);

    // Highlight, Underline, StrikeOut, Squiggly: four points per line, TL, TR, BL, BR.
    QList<QPointF> quadrilateralPoints() const;
    void setQuadrilateralPoints(const QList<QPointF>& points);

    // Text (note) icon name, e.g. "Note", "Comment".
    QString iconName() const;
    void setIconName(const QString& name);

    // Stamp: the first page of a PDF drawn aspect-fitted in the bounds. False when the data is not a PDF.
    bool setStampAppearance(const QByteArray& pdfData);

    // Link: where it goes (read only).
    std::optional<Destination> linkDestination() const;
    QString linkURI() const;
    // The file a Launch or GoToR action names (its /F, as written), or empty.
    QString linkLaunchFile() const;
    bool isWidget() const { return type() == QLatin1String("Widget"); }

    // This annotation's own appearance, consulted before the registry. Set properties first: every
    // property change regenerates the appearance through the provider.
    void setAppearanceProvider(AppearanceProvider provider);
    // Regenerates the appearance at the next draw or write (e.g. after a provider's inputs changed).
    void invalidateAppearance();

    // Layer-internal state; not for use outside src/platform/pdf.
    detail::AnnotationState& state() const { return *m_state; }

private:
    Annotation();
    std::unique_ptr<detail::AnnotationState> m_state;
    friend struct detail::AnnotationState;
};

} // namespace vmk::pdf
