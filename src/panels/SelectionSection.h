#pragma once

#include "panels/FormParts.h"
#include "panels/StyleRowChoice.h"
#include "platform/pdf/document/PdfTypes.h"

#include <QPointer>

class QPlainTextEdit;
class QPushButton;

namespace vmk {
class Editor;
}

namespace vmk::panels {

class ContinuousSlider;
class PointStepper;
class SwatchRow;

// The inspector section of the annotation selected on the canvas, made for that one annotation: its
// colour, line width, font size, text or comment, and a delete button, by kind. Every change goes
// through the Editor, with undo. The section keeps only the text being typed; it reaches the annotation
// when the field is submitted (Return) or loses focus.
class SelectionSection : public FormSection {
    Q_OBJECT
public:
    SelectionSection(Editor* editor, pdf::AnnotationPtr annotation, QWidget* parent = nullptr);
    ~SelectionSection() override;

    const pdf::AnnotationPtr& annotation() const { return m_annotation; }
    const SelectionRows& shownRows() const { return m_rows; }
    SwatchRow* colorRow() const { return m_color; }
    ContinuousSlider* lineWidthSlider() const { return m_width; }
    PointStepper* fontSizeStepper() const { return m_fontSize; }
    QPlainTextEdit* textField() const { return m_text; }
    QPushButton* deleteButton() const { return m_delete; }

    // The field's text, committed as a submit does.
    void submitText();
    void deleteAnnotation();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void annotationDidChange();
    void fitTextHeight();

    QPointer<Editor> m_editor;
    pdf::AnnotationPtr m_annotation;
    SelectionRows m_rows;
    SwatchRow* m_color = nullptr;
    ContinuousSlider* m_width = nullptr;
    PointStepper* m_fontSize = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QPushButton* m_delete = nullptr;
    bool m_goingAway = false;
};

} // namespace vmk::panels
