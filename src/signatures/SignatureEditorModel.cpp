#include "signatures/SignatureEditorModel.h"

#include "signatures/SignatureArtwork.h"
#include "signatures/SignaturePadModel.h"
#include "signatures/SignatureStore.h"

namespace vmk::signatures {

namespace {
bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}
} // namespace

SignatureEditorModel::SignatureEditorModel(SignatureStore& store, QList<SignatureFont> fonts, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_fonts(std::move(fonts))
    , m_pad(new SignaturePadModel(this))
{
    m_pad->setInkColor(inkColor());
    connect(m_pad, &SignaturePadModel::hasInkChanged, this, &SignatureEditorModel::changed);
}

void SignatureEditorModel::setKind(Kind kind)
{
    if (m_kind == kind)
        return;
    m_kind = kind;
    emit changed();
    if (kind == Kind::type)
        emit typeTabChosen();
}

void SignatureEditorModel::setName(const QString& name)
{
    if (m_name == name)
        return;
    m_name = name;
    emit changed();
}

QString SignatureEditorModel::trimmedName() const
{
    qsizetype begin = 0;
    qsizetype end = m_name.size();
    while (begin < end && isBlank(m_name.at(begin)))
        ++begin;
    while (end > begin && isBlank(m_name.at(end - 1)))
        --end;
    return m_name.mid(begin, end - begin);
}

void SignatureEditorModel::setFontIndex(int index)
{
    if (index < 0 || index >= m_fonts.size() || index == m_fontIndex)
        return;
    m_fontIndex = index;
    emit changed();
}

QColor SignatureEditorModel::inkColor() const
{
    return signatureInkColors().at(m_colorIndex).color;
}

void SignatureEditorModel::pickInkColor(int index)
{
    if (index < 0 || index >= signatureInkColors().size())
        return;
    m_colorIndex = index;
    m_pad->setInkColor(inkColor());
    emit changed();
}

void SignatureEditorModel::clear()
{
    m_pad->clear();
}

bool SignatureEditorModel::canSave() const
{
    if (m_kind == Kind::type)
        return !trimmedName().isEmpty() && !m_fonts.isEmpty();
    return m_pad->hasInk();
}

std::optional<QByteArray> SignatureEditorModel::artwork() const
{
    if (!canSave())
        return std::nullopt;
    if (m_kind == Kind::type) {
        const int index = qBound(0, m_fontIndex, int(m_fonts.size()) - 1);
        return typedSignaturePDF(trimmedName(), m_fonts.at(index).postScript, inkColor());
    }
    return inkSignaturePDF(m_pad->strokes(), inkColor());
}

std::optional<SavedSignature> SignatureEditorModel::save()
{
    const std::optional<QByteArray> pdf = artwork();
    if (!pdf)
        return std::nullopt;
    return m_store.add(*pdf);
}

} // namespace vmk::signatures
