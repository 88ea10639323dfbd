#include "panels/ToolPalette.h"

#include "chrome/LabelFitting.h"

#include "chrome/Glass.h"
#include "chrome/Motion.h"
#include "editor/Editor.h"
#include "panels/AnnotateBar.h"
#include "panels/EditBar.h"
#include "panels/ModeBars.h"
#include "panels/PaletteParts.h"
#include "panels/SignBar.h"
#include "panels/SignatureSheet.h"
#include "platform/pdf/document/Document.h"
#include "platform/services/ReduceMotion.h"
#include "signatures/SignatureStore.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPropertyAnimation>

namespace vmk::panels {

ToolPalette::ToolPalette(Editor* editor, signatures::SignatureStore* store, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_store(store)
{
    setAttribute(Qt::WA_TranslucentBackground);
    // The overlay stacks line up visible surfaces, not the room kept for their shadows.
    setProperty("glassInset", chrome::glassShadowMargin());
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_group = new GlassGroup(12, this);
    outer->addWidget(m_group);
    m_stack = m_group->row();
    m_stack->setSpacing(0);
    m_newSignature = [](Editor* e) { presentSignatureSheet(e); };
    m_confirmRedactions = [](Editor* e) {
        if (e && e->redactionMarks().isEmpty())
            e->showToast(QStringLiteral("Nothing marked yet. Drag across what you want gone."),
                         QStringLiteral("eye.slash"), Toast::Style::info);
    };
    if (editor) {
        connect(editor, &Editor::toolChanged, this, &ToolPalette::refresh);
        connect(editor, &Editor::lastShapeChanged, this, &ToolPalette::refresh);
        connect(editor, &Editor::modeChanged, this, &ToolPalette::refresh);
        connect(editor, &Editor::toolColorsChanged, this, &ToolPalette::refresh);
        connect(editor, &Editor::selectedAnnotationChanged, this, &ToolPalette::refresh);
        connect(editor, &Editor::organizerSelectionChanged, this, &ToolPalette::refresh);
        connect(editor, &Editor::pendingCropChanged, this, &ToolPalette::refresh);
        connect(editor, &Editor::objectWillChange, this, &ToolPalette::refresh);
        connect(editor, &Editor::strokeWidthChanged, this, &ToolPalette::refresh);
        connect(editor, &Editor::fontSizeChanged, this, &ToolPalette::refresh);
        connect(editor, &Editor::pageCountChanged, this, &ToolPalette::refresh);
        connect(editor, &Editor::annotationVersionChanged, this, &ToolPalette::refresh);
        connect(editor, &Editor::documentVersionChanged, this, &ToolPalette::refresh);
    }
    refresh();
}

Editor* ToolPalette::editor() const
{
    return m_editor;
}

void ToolPalette::setEditBarFactory(BarFactory factory)
{
    m_editBarFactory = std::move(factory);
    refresh();
}

bool ToolPalette::reduceMotion() const
{
    return m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
}

void ToolPalette::retire(QWidget* widget)
{
    if (!widget)
        return;
    // Deferred: the click that changed the Editor may still be running inside this widget.
    widget->hide();
    m_stack->removeWidget(widget);
    widget->deleteLater();
}

namespace {

void setSideMargin(QWidget* surface, bool leading, int margin)
{
    QMargins m = surface->contentsMargins();
    if (leading)
        m.setLeft(margin);
    else
        m.setRight(margin);
    surface->setContentsMargins(m);
}

} // namespace

chrome::GlassSurface* ToolPalette::wrap(QWidget* content)
{
    auto* surface = new chrome::GlassSurface(chrome::GlassShape::capsule());
    auto* layout = new QHBoxLayout(surface);
    layout->setContentsMargins(0, 0, 0, 0); // the surface's own margins keep room for its shadow
    layout->setSpacing(0);
    layout->addWidget(content);
    return surface;
}

QWidget* ToolPalette::makeBar(PaletteBar bar, AnnotateFit fit)
{
    Editor* e = m_editor;
    const QPointer<Editor> weak(e);
    switch (bar) {
    case PaletteBar::none:
        return nullptr;
    case PaletteBar::annotate:
        return new AnnotateBar(e, fit);
    case PaletteBar::edit:
        if (m_editBarFactory)
            return m_editBarFactory(e);
        {
            auto* editBar = new EditBar(e, m_reduceMotion);
            connect(editBar, &EditBar::contentChanged, this, [this] {
                wrapLabelsToFit();
                updateGeometry();
                adjustSize();
                emit contentChanged();
            });
            return editBar;
        }
    case PaletteBar::sign: {
        signatures::SignatureStore& store = m_store ? *m_store : signatures::SignatureStore::shared();
        auto* signBar = new SignBar(e, store, [this, weak] {
            if (weak && m_newSignature)
                m_newSignature(weak);
        });
        connect(signBar, &SignBar::contentChanged, this, [this] {
            wrapLabelsToFit();
            updateGeometry();
            adjustSize();
            emit contentChanged();
        });
        return signBar;
    }
    case PaletteBar::pages:
        return new PagesBar(e);
    case PaletteBar::redact:
        return new RedactBar(e, int(e->redactionMarks().size()), [this, weak] {
            if (weak && m_confirmRedactions)
                m_confirmRedactions(weak);
        });
    }
    return nullptr;
}

void ToolPalette::fadeIn(QWidget* capsule)
{
    // New capsules fade in; under reduced motion with the short ease. Unseen, they just appear.
    if (!isVisible())
        return;
    auto* effect = new QGraphicsOpacityEffect(capsule);
    effect->setOpacity(0.0);
    capsule->setGraphicsEffect(effect);
    auto* animation = new QPropertyAnimation(effect, "opacity", capsule);
    const chrome::MotionSpec motion = chrome::curveMotion(chrome::glideCurve, 0.3, reduceMotion());
    animation->setDuration(motion.durationMs);
    animation->setEasingCurve(motion.easing);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    connect(animation, &QPropertyAnimation::finished, capsule, [capsule] { capsule->setGraphicsEffect(nullptr); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void ToolPalette::fitToWidth(int width)
{
    if (width == m_availableWidth)
        return;
    m_availableWidth = width;
    if (m_bar != PaletteBar::none)
        refresh();
}

void ToolPalette::wrapLabelsToFit()
{
    if (m_availableWidth > 0 && m_barWidget)
        chrome::wrapLabelsToFit(m_barWidget, [this] { return m_stack->sizeHint().width() - m_availableWidth; });
}

void ToolPalette::refresh()
{
    // The bars read the selected annotation's kind and style: while a document is being written that
    // would hold the window until the writing is over, so the bar shown stays until then.
    if (pdf::Document::isWritingUnderWay()) {
        if (!m_refreshAfterWriting) {
            m_refreshAfterWriting = true;
            pdf::Document::afterWriting(this, [this] {
                m_refreshAfterWriting = false;
                refresh();
            });
        }
        return;
    }
    const PaletteBar previous = m_bar;
    const bool hadCrop = bool(m_cropCapsule);
    const QString shownCount = paletteCountText(m_barWidget);
    m_bar = m_editor ? paletteBarForMode(m_editor->mode()) : PaletteBar::none;
    for (AnnotateFit fit : {AnnotateFit::full, AnnotateFit::condensed, AnnotateFit::twoRows}) {
        retire(m_capsule);
        retire(m_cropCapsule);
        m_capsule = nullptr;
        m_cropCapsule = nullptr;
        m_barWidget = nullptr;
        m_cropWidget = nullptr;
        build(fit, previous, hadCrop);
        if (m_bar != PaletteBar::annotate || m_availableWidth <= 0 || m_stack->sizeHint().width() <= m_availableWidth)
            break;
    }
    if (m_bar == previous)
        countOnFrom(m_barWidget, shownCount);
    if (m_bar != PaletteBar::annotate)
        wrapLabelsToFit();
    m_group->updateGeometry();
    updateGeometry();
    adjustSize();
    emit contentChanged();
}

void ToolPalette::build(AnnotateFit fit, PaletteBar previous, bool hadCrop)
{
    if (QWidget* content = makeBar(m_bar, fit)) {
        m_barWidget = content;
        m_capsule = wrap(content);
        m_stack->addWidget(m_capsule);
        m_capsule->show(); // counted by the row at once, so the fit can be measured
        if (m_bar != previous)
            fadeIn(m_capsule);
    }
    if (m_editor && showsCropBar(m_editor->mode(), m_editor->pendingCrop().has_value())) {
        m_cropWidget = new CropBar(m_editor);
        m_cropCapsule = wrap(m_cropWidget);
        m_stack->addWidget(m_cropCapsule);
        m_cropCapsule->show();
        if (!hadCrop)
            fadeIn(m_cropCapsule);
        if (m_capsule) {
            // Each surface keeps room for its shadow; between the two capsules that room would part them
            // far more than the gap of 10, so the facing sides give most of it up.
            setSideMargin(m_capsule, false, 5);
            setSideMargin(m_cropCapsule, true, 5);
        }
    }
}

QSize ToolPalette::sizeHint() const
{
    // The row of capsules itself: it knows at once when a capsule comes or goes.
    return m_stack->sizeHint();
}

} // namespace vmk::panels
