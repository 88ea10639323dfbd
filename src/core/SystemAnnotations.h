#pragma once

#include "platform/pdf/document/Annotation.h"

#include <QByteArray>
#include <QLatin1StringView>
#include <QRectF>

namespace vmk::pdf { class AppearanceBuilder; }

namespace vmk::core {

// The user names that tag the annotations the system creates. They are saved with the file and are how
// the system recognises its own annotations after a document is reopened.
inline constexpr QLatin1StringView kRedactionMarkTag("Vellumark.RedactionMark");
inline constexpr QLatin1StringView kSignatureTag("Vellumark.Signature");

// A box marked for redaction: a Square tagged with kRedactionMarkTag whose appearance is a dark hatched
// box with a red outline, written into the file so that every viewer shows the same mark. Its colour,
// interior colour and border describe the mark to readers that ignore appearances.
struct RedactionMarkAnnotation {
    static pdf::AnnotationPtr create(const QRectF& bounds);
};

// A placed signature: a Stamp tagged with kSignatureTag whose appearance draws the first page of the
// signature's one-page PDF artwork, centred and aspect-fitted in its bounds, as a form in the saved file.
// Artwork that is not a readable PDF leaves the standard stamp appearance; a first page with an empty box
// draws nothing. On a page with a rotation (clockwise degrees, as the page's rotation()) the artwork is
// drawn turned back by it, so that it reads upright on the displayed page; bounds are page space, so for
// 90 and 270 their width is the artwork's displayed height.
struct SignatureAnnotation {
    static pdf::AnnotationPtr create(const QRectF& bounds, const QByteArray& pdfData, int pageRotation = 0);
    // Whether the annotation was made by create() in this process (one read back from a file is not,
    // though it carries the tag).
    static bool isInstance(const pdf::Annotation& annotation);
};

// An annotation is a redaction mark when its user name is the mark's tag, whatever made it.
bool isRedactionMark(const pdf::Annotation& annotation);

// The mark's drawing into an appearance, in page space.
void drawRedactionMark(pdf::AppearanceBuilder& builder, const QRectF& bounds);

// Registers, once per process, the mark's drawing for Squares tagged as marks that were read from files,
// so that a mark keeps its look when it is moved or resized after reopening.
void installSystemAppearances();

} // namespace vmk::core
