#include "signatures/SavedSignature.h"

#include "signatures/ArtworkImage.h"

namespace vmk::signatures {

std::optional<SavedSignature> SavedSignature::make(const QUuid& id, const QByteArray& pdfData)
{
    const std::optional<ArtworkImage> artwork = renderArtworkImage(pdfData);
    if (!artwork || artwork->image.isNull())
        return std::nullopt;
    const QSizeF size = artwork->pointSize;
    if (!(size.width() > 0) || !(size.height() > 0))
        return std::nullopt;
    return SavedSignature{id, pdfData, artwork->image, size.width() / size.height()};
}

QString signatureIdText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> signatureIdFromText(const QString& text)
{
    if (text.size() != 36)
        return std::nullopt;
    const QUuid id = QUuid::fromString(text);
    if (id.isNull() && text != QStringLiteral("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;
    return id;
}

} // namespace vmk::signatures
