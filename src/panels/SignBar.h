#pragma once

#include "signatures/SavedSignature.h"

#include <QAbstractButton>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>

class QPushButton;

namespace vmk {
class Editor;
}
namespace vmk::signatures {
class SignatureStore;
}

namespace vmk::panels {

class PaletteButton;

// One saved signature in the sign bar: its artwork on a white capsule; a click places it, the context
// menu's "Delete Signature" removes it.
class SignatureChip : public QAbstractButton {
    Q_OBJECT
public:
    SignatureChip(const signatures::SavedSignature& signature, std::function<void()> place,
                  std::function<void()> remove, QWidget* parent = nullptr);

    const signatures::SavedSignature& signature() const { return m_signature; }
    bool isHovering() const { return m_hovering; }
    // 0 at rest, 1 fully raised; springs after the pointer.
    double hoverAmount() const { return m_hoverAmount; }
    const QVariantAnimation& hoverAnimation() const { return m_hoverAnimation; }
    // Where the artwork is drawn: fitted to its proportions inside the 84 × 26 box, centred.
    QRectF artworkRect() const;
    // Runs the context menu's one command.
    void removeSignature();
    QSize sizeHint() const override { return {100, 30}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    signatures::SavedSignature m_signature;
    std::function<void()> m_remove;
    void setHovering(bool hovering);

    bool m_hovering = false;
    double m_hoverAmount = 0;
    QVariantAnimation m_hoverAnimation;
};

// Artwork of the given size fitted to its proportions inside a box, centred.
QRectF fitArtwork(const QSizeF& artwork, const QRectF& box);

// Sign mode's bar: the newest saved signatures as chips and a button for a new one; with none saved yet,
// a hint and "Create Signature". It follows the store, so a signature saved or removed anywhere shows.
class SignBar : public QWidget {
    Q_OBJECT
public:
    // newSignature runs "New Signature" and "Create Signature" (the window's signature sheet).
    SignBar(Editor* editor, signatures::SignatureStore& store, std::function<void()> newSignature,
            QWidget* parent = nullptr);

    const QList<SignatureChip*>& chips() const { return m_chips; }
    PaletteButton* newButton() const { return m_new; }
    QPushButton* createButton() const { return m_create; }

signals:
    // The bar's content was rebuilt (its size may have changed).
    void contentChanged();

private:
    void rebuild();

    QPointer<Editor> m_editor;
    signatures::SignatureStore& m_store;
    std::function<void()> m_newSignature;
    QWidget* m_content = nullptr;
    QList<SignatureChip*> m_chips;
    PaletteButton* m_new = nullptr;
    QPushButton* m_create = nullptr;
};

} // namespace vmk::panels
