#pragma once

#include "editor/EditorModel.h"
#include "panels/FormParts.h"
#include "panels/StyleRowChoice.h"

#include <QPointer>

class QLabel;
class QPushButton;

namespace vmk {
class Editor;
}

namespace vmk::panels {

class ContinuousSlider;
class PointStepper;
class SwatchRow;

// The mode's symbol, title and tip at the top of the inspector.
class ModeHeaderSection : public FormSection {
    Q_OBJECT
public:
    explicit ModeHeaderSection(EditorMode mode, QWidget* parent = nullptr);
    void setMode(EditorMode mode);
    EditorMode mode() const { return m_mode; }
    QLabel* titleLabel() const { return m_title; }
    QLabel* tipLabel() const { return m_tip; }

private:
    EditorMode m_mode;
    QLabel* m_icon;
    QLabel* m_title;
    QLabel* m_tip;
};

// The style new annotations of the current tool get (Annotate mode, nothing selected): colour, line
// width and font size where the tool uses them, then the tool's tip. The controls change only the
// Editor's fields for the next annotation; nothing existing changes and no undo is registered.
class ToolStyleSection : public FormSection {
    Q_OBJECT
public:
    ToolStyleSection(Editor* editor, Tool tool, QWidget* parent = nullptr);
    Tool tool() const { return m_tool; }
    SwatchRow* colorRow() const { return m_color; }
    ContinuousSlider* lineWidthSlider() const { return m_width; }
    QLabel* lineWidthText() const { return m_widthText; }
    PointStepper* fontSizeStepper() const { return m_fontSize; }
    QLabel* tipLabel() const { return m_tip; }

private:
    void refresh();

    QPointer<Editor> m_editor;
    Tool m_tool;
    SwatchRow* m_color = nullptr;
    ContinuousSlider* m_width = nullptr;
    QLabel* m_widthText = nullptr;
    PointStepper* m_fontSize = nullptr;
    QLabel* m_tip = nullptr;
};

// Redact mode: what applying does, and the button that asks and applies (only with marks to apply).
class RedactionSection : public FormSection {
    Q_OBJECT
public:
    explicit RedactionSection(Editor* editor, QWidget* parent = nullptr);
    QPushButton* applyButton() const { return m_apply; }

private:
    void refresh();

    QPointer<Editor> m_editor;
    QPushButton* m_apply;
};

} // namespace vmk::panels
