#pragma once

#include "signatures/SavedSignature.h"
#include "signatures/SignatureStyles.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace vmk::signatures {

class SignaturePadModel;
class SignatureStore;

// The decisions of the "New Signature" editor, without any widget: which tab is shown, the typed name,
// the chosen font and ink, whether saving is possible and what saving makes. Each editor starts fresh.
class SignatureEditorModel : public QObject {
    Q_OBJECT
public:
    enum class Kind { draw, type };

    // `fonts` are the handwriting fonts offered (normally signatureFonts()); `store` receives saved
    // signatures (normally SignatureStore::shared()).
    SignatureEditorModel(SignatureStore& store, QList<SignatureFont> fonts, QObject* parent = nullptr);

    SignaturePadModel* pad() const { return m_pad; }
    const QList<SignatureFont>& fonts() const { return m_fonts; }

    Kind kind() const { return m_kind; }
    void setKind(Kind kind);

    QString name() const { return m_name; }
    void setName(const QString& name);
    // The name without leading and trailing spaces and tabs (line breaks are kept).
    QString trimmedName() const;

    int fontIndex() const { return m_fontIndex; }
    void setFontIndex(int index);

    int colorIndex() const { return m_colorIndex; }
    QColor inkColor() const;
    // Chooses an ink: recolours the pad's strokes and the font tiles.
    void pickInkColor(int index);

    // Empties the pad.
    void clear();

    // Draw: the pad holds ink. Type: a non-blank name and at least one font.
    bool canSave() const;

    // The artwork of the shown tab, or nothing when there is none to make.
    std::optional<QByteArray> artwork() const;

    // Makes the artwork and adds it to the store. Nothing when it cannot be saved; the editor stays open.
    std::optional<SavedSignature> save();

signals:
    // Any of the above changed: views refresh and re-ask canSave().
    void changed();
    // The tab changed to `type` by the user: the name field takes the keyboard.
    void typeTabChosen();

private:
    SignatureStore& m_store;
    QList<SignatureFont> m_fonts;
    SignaturePadModel* m_pad;
    Kind m_kind = Kind::draw;
    QString m_name;
    int m_fontIndex = 0;
    int m_colorIndex = 0;
};

} // namespace vmk::signatures
