#pragma once

#include <QByteArray>
#include <QImage>
#include <QUuid>

#include <optional>

namespace vmk::signatures {

// One saved signature: its identity and its one-page PDF artwork, with a picture of the artwork made once
// for the lists to show. Two signatures are the same only when their ids are (the artwork is not compared).
struct SavedSignature {
    QUuid id;
    QByteArray pdfData;
    QImage image;
    double aspectRatio = 1.0; // artwork width / height

    // Nothing when the bytes cannot be pictured, or the picture is not wider and higher than 0.
    static std::optional<SavedSignature> make(const QUuid& id, const QByteArray& pdfData);

    friend bool operator==(const SavedSignature& a, const SavedSignature& b) { return a.id == b.id; }
};

// The id's text as stored on disk: 36 upper-case hexadecimal digits and hyphens.
QString signatureIdText(const QUuid& id);
// The id in that text (either case), or nothing for anything else.
std::optional<QUuid> signatureIdFromText(const QString& text);

} // namespace vmk::signatures
