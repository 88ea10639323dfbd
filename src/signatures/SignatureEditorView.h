#pragma once

#include "signatures/SavedSignature.h"
#include "signatures/SignatureStyles.h"

#include <QDialog>
#include <QList>

#include <functional>

class QButtonGroup;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace vmk::signatures {

class FontTile;
class InkDot;
class SignatureDrawArea;
class SignatureEditorModel;
class SignatureStore;

// The "New Signature" sheet: draw or type a signature, pick an ink, then "Save & Place" stores it and
// hands it to `onSave` (which places it) after the sheet has closed. Cancel or Escape only closes.
class SignatureEditorView : public QDialog {
    Q_OBJECT
public:
    using SaveHandler = std::function<void(const SavedSignature&)>;

    SignatureEditorView(SignatureStore& store, QList<SignatureFont> fonts, SaveHandler onSave,
                        QWidget* parent = nullptr);

    // Opens a fresh editor as a window-modal sheet on `window`, saving to the shared store; it deletes
    // itself when closed.
    static SignatureEditorView* present(QWidget* window, SaveHandler onSave);

    SignatureEditorModel* model() const { return m_model; }
    QPushButton* saveButton() const { return m_saveButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QPushButton* clearButton() const { return m_clearButton; }
    QLineEdit* nameField() const { return m_nameField; }
    SignatureDrawArea* drawArea() const { return m_drawArea; }
    const QList<FontTile*>& fontTiles() const { return m_fontTiles; }
    const QList<InkDot*>& inkDots() const { return m_inkDots; }
    QButtonGroup* kindButtons() const { return m_kindButtons; }

    // Runs "Save & Place": nothing happens unless the signature could be stored.
    void save();

private:
    QWidget* makeHeader();
    QWidget* makeTypeArea();
    QWidget* makeInkRow();
    QWidget* makeFooter();
    void refresh();

    SignatureEditorModel* m_model;
    SaveHandler m_onSave;
    QButtonGroup* m_kindButtons = nullptr;
    QStackedWidget* m_tabs = nullptr;
    SignatureDrawArea* m_drawArea = nullptr;
    QLineEdit* m_nameField = nullptr;
    QList<FontTile*> m_fontTiles;
    QList<InkDot*> m_inkDots;
    QPushButton* m_clearButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_saveButton = nullptr;
};

} // namespace vmk::signatures
