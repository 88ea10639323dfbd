#pragma once

#include "chrome/Glass.h"
#include "chrome/WidthFitting.h"
#include "panels/AnnotateBar.h"
#include "panels/PaletteRules.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QHBoxLayout;

namespace vmk {
class Editor;
}
namespace vmk::signatures {
class SignatureStore;
}

namespace vmk::panels {

class GlassGroup;

// The floating palette at the top of the canvas: one glass capsule with the bar of the window's mode
// (none in Read mode) and, in Annotate mode while a crop waits, a second capsule with the crop bar. It
// keeps no state: it is rebuilt from the Editor whenever a field it shows changes, and every control
// calls an Editor operation.
class ToolPalette : public QWidget, public chrome::WidthFitting {
    Q_OBJECT
public:
    using EditorAction = std::function<void(Editor*)>;
    using BarFactory = std::function<QWidget*(Editor*)>;

    // store: the signatures the sign bar offers; the process's shared store when null.
    explicit ToolPalette(Editor* editor, signatures::SignatureStore* store = nullptr, QWidget* parent = nullptr);

    Editor* editor() const;
    // Edit mode shows the EditBar unless a factory makes another bar.
    void setEditBarFactory(BarFactory factory);
    // "Redact…": asks before anything is destroyed. Until set, it reports when nothing is marked.
    void setConfirmRedactions(EditorAction action) { m_confirmRedactions = std::move(action); }
    // "New Signature" and "Create Signature"; presents the window's signature sheet unless replaced.
    void setNewSignatureAction(EditorAction action) { m_newSignature = std::move(action); }
    void setReduceMotionProvider(std::function<bool()> provider) { m_reduceMotion = std::move(provider); }

    PaletteBar currentBar() const { return m_bar; }
    // The content of the mode's capsule and of the crop capsule; null when not shown.
    QWidget* barWidget() const { return m_barWidget; }
    QWidget* cropBarWidget() const { return m_cropWidget; }
    chrome::GlassSurface* capsule() const { return m_capsule; }
    chrome::GlassSurface* cropCapsule() const { return m_cropCapsule; }

    // Rebuilds from the Editor now, or once the writing is over while a document is being written.
    void refresh();
    // The annotate bar folds its colours, then moves them to a second row, as the width shrinks; 0 means
    // no limit.
    void fitToWidth(int width) override;
    int availableWidth() const { return m_availableWidth; }

    QSize sizeHint() const override;

signals:
    void contentChanged();

private:
    QWidget* makeBar(PaletteBar bar, AnnotateFit fit);
    void build(AnnotateFit fit, PaletteBar previous, bool hadCrop);
    void wrapLabelsToFit();
    chrome::GlassSurface* wrap(QWidget* content);
    void retire(QWidget* widget);
    void fadeIn(QWidget* capsule);
    bool reduceMotion() const;

    QPointer<Editor> m_editor;
    signatures::SignatureStore* m_store;
    GlassGroup* m_group = nullptr;
    QHBoxLayout* m_stack = nullptr;
    PaletteBar m_bar = PaletteBar::none;
    bool m_refreshAfterWriting = false; // a refresh asked for while a document was being written
    QPointer<QWidget> m_barWidget;
    QPointer<QWidget> m_cropWidget;
    QPointer<chrome::GlassSurface> m_capsule;
    QPointer<chrome::GlassSurface> m_cropCapsule;
    BarFactory m_editBarFactory;
    EditorAction m_confirmRedactions;
    EditorAction m_newSignature;
    std::function<bool()> m_reduceMotion;
    int m_availableWidth = 0;
};

} // namespace vmk::panels
