#include "panels/SelectionSection.h"

#include "core/AnnotationModel.h"
#include "editor/Editor.h"
#include "panels/ColorControls.h"
#include "panels/SectionControls.h"
#include "platform/pdf/document/Annotation.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

namespace vmk::panels {

namespace {

QString kindName(const pdf::AnnotationPtr& annotation)
{
    return annotation ? core::annotationKindName(*annotation) : QString();
}

} // namespace

SelectionSection::SelectionSection(Editor* editor, pdf::AnnotationPtr annotation, QWidget* parent)
    : FormSection(tr("Selected %1").arg(kindName(annotation)), parent), m_editor(editor), m_annotation(std::move(annotation))
{
    m_rows = selectionRows(*m_annotation);
    if (m_rows.color) {
        QPointer<Editor> e(editor);
        m_color = new SwatchRow(selectionColor(*m_annotation), [e](const QColor& color) {
            if (e)
                e->changeColor(color);
        }, editor);
        addRow(tr("Color"), m_color);
    }
    if (m_rows.lineWidth) {
        m_width = new ContinuousSlider(kMinLineWidth, kMaxLineWidth);
        m_width->setFixedWidth(120);
        m_width->setAccessibleName(tr("Line Width"));
        m_width->showValue(selectionLineWidth(*m_annotation));
        connect(m_width, &QSlider::sliderPressed, this, [this] {
            if (m_editor)
                m_editor->beginLineWidthChange();
        });
        // Live widths while the thumb moves (no undo); the release makes the one undo step.
        // A click on the track or a key moves it without a drag: that change is complete at once.
        connect(m_width, &ContinuousSlider::continuousValueChanged, this, [this](double value) {
            if (!m_editor)
                return;
            m_editor->changeLineWidth(roundedSliderValue(value), false);
            if (!m_width->isSliderDown())
                m_editor->changeLineWidth(selectionLineWidth(*m_annotation), true);
        });
        connect(m_width, &QSlider::sliderReleased, this, [this] {
            if (m_editor)
                m_editor->changeLineWidth(selectionLineWidth(*m_annotation), true);
        });
        addRow(tr("Line Width"), m_width);
    }
    if (m_rows.fontSize) {
        m_fontSize = new PointStepper(kMinFontSize, kMaxFontSize, selectionFontSize(*m_annotation));
        m_fontSize->setAccessibleName(tr("Font Size"));
        connect(m_fontSize, &PointStepper::valueChanged, this, [this](double size) {
            if (m_editor)
                m_editor->changeFontSize(size);
        });
        addRow(tr("Font Size"), m_fontSize);
    }
    if (m_rows.text) {
        m_text = new QPlainTextEdit;
        m_text->setPlaceholderText(m_rows.textTitle);
        m_text->setAccessibleName(m_rows.textTitle);
        m_text->setTabChangesFocus(true);
        m_text->setPlainText(m_annotation->contents());
        m_text->installEventFilter(this);
        connect(m_text->document(), &QTextDocument::contentsChanged, this, &SelectionSection::fitTextHeight);
        addWidget(m_text);
        fitTextHeight();
    }
    m_delete = new QPushButton(tr("Delete %1").arg(kindName(m_annotation)));
    m_delete->setAccessibleName(m_delete->text());
    QPalette destructive = m_delete->palette();
    destructive.setColor(QPalette::ButtonText, QColor(255, 59, 48));
    m_delete->setPalette(destructive);
    connect(m_delete, &QPushButton::clicked, this, &SelectionSection::deleteAnnotation);
    addWidget(m_delete);

    if (editor)
        connect(editor, &Editor::annotationVersionChanged, this, &SelectionSection::annotationDidChange);
}

SelectionSection::~SelectionSection()
{
    // Text not yet committed is dropped with the section; losing focus on the way out commits nothing.
    m_goingAway = true;
    if (m_text)
        m_text->removeEventFilter(this);
}

void SelectionSection::submitText()
{
    if (m_editor && m_text && !m_goingAway)
        m_editor->editFreeText(m_text->toPlainText(), m_annotation);
}

void SelectionSection::deleteAnnotation()
{
    if (!m_editor)
        return;
    const pdf::AnnotationPtr selected = m_editor->selectedAnnotation();
    if (!selected)
        return;
    const pdf::PagePtr page = selected->page();
    if (!page)
        return;
    m_editor->removeAnnotation({{selected, page}}, tr("Delete %1").arg(kindName(selected)));
}

bool SelectionSection::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_text && !m_goingAway) {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            const bool plainReturn = (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                && !(key->modifiers() & (Qt::ShiftModifier | Qt::AltModifier));
            // Return submits; Shift or Alt with Return starts a new line.
            if (plainReturn) {
                submitText();
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            submitText();
        }
    }
    return FormSection::eventFilter(watched, event);
}

void SelectionSection::annotationDidChange()
{
    if (m_text && !m_text->hasFocus() && m_text->toPlainText() != m_annotation->contents())
        m_text->setPlainText(m_annotation->contents());
    if (m_color)
        m_color->setCurrent(selectionColor(*m_annotation));
    if (m_width && !m_width->isSliderDown())
        m_width->showValue(selectionLineWidth(*m_annotation));
    if (m_fontSize)
        m_fontSize->showValue(selectionFontSize(*m_annotation));
}

void SelectionSection::fitTextHeight()
{
    // The field grows with its text from three to eight lines.
    const QFontMetrics metrics(m_text->font());
    int lines = 0;
    for (QTextBlock block = m_text->document()->begin(); block.isValid(); block = block.next())
        lines += std::max(1, block.layout() ? block.layout()->lineCount() : 1);
    lines = std::clamp(lines, 3, 8);
    const int frame = 2 * (m_text->frameWidth() + int(m_text->document()->documentMargin())) + 2;
    m_text->setFixedHeight(lines * metrics.lineSpacing() + frame);
}

} // namespace vmk::panels
