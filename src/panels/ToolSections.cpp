#include "panels/ToolSections.h"

#include "chrome/ChromeStyle.h"
#include "editor/Editor.h"
#include "panels/ColorControls.h"
#include "panels/SectionControls.h"
#include "platform/icons/SymbolIcons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vmk::panels {

ModeHeaderSection::ModeHeaderSection(EditorMode mode, QWidget* parent)
    : FormSection(QString(), parent), m_mode(mode)
{
    auto* label = new QWidget;
    auto* row = new QHBoxLayout(label);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    m_icon = new QLabel(label);
    m_icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    m_icon->setFixedWidth(24);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_title = new QLabel(label);
    m_title->setFont(chrome::titleFont(1.0));
    m_tip = makeCaption(QString(), label);
    texts->addWidget(m_title);
    texts->addWidget(m_tip);
    row->addWidget(m_icon);
    row->addLayout(texts, 1);
    addWidget(label);
    setMode(mode);
}

void ModeHeaderSection::setMode(EditorMode mode)
{
    m_mode = mode;
    const ModeHeaderInfo info = modeHeader(mode);
    m_icon->setPixmap(platform::symbolPixmap(info.symbol, 20, chrome::accentColor(palette()), devicePixelRatioF()));
    m_title->setText(info.title);
    m_tip->setText(info.tip);
    setAccessibleName(info.title);
}

ToolStyleSection::ToolStyleSection(Editor* editor, Tool tool, QWidget* parent)
    : FormSection(toolTitle(tool), parent), m_editor(editor), m_tool(tool)
{
    const ToolStyleRows rows = toolStyleRows(tool);
    if (rows.color) {
        QPointer<Editor> e(editor);
        m_color = new SwatchRow(editor ? editor->currentToolColor() : QColor(), [e](const QColor& color) {
            if (e)
                e->changeColor(color);
        }, editor);
        addRow(tr("Color"), m_color);
    }
    if (rows.lineWidth) {
        auto* control = new QWidget;
        auto* h = new QHBoxLayout(control);
        h->setContentsMargins(0, 0, 0, 0);
        m_width = new ContinuousSlider(kMinLineWidth, kMaxLineWidth, control);
        m_width->setFixedWidth(120);
        m_width->setAccessibleName(tr("Line Width"));
        m_widthText = new QLabel(control);
        m_widthText->setFixedWidth(36);
        m_widthText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        h->addWidget(m_width);
        h->addWidget(m_widthText);
        // The slider stores whole widths, and reads its position back from the Editor, so it settles on them.
        connect(m_width, &ContinuousSlider::continuousValueChanged, this, [this](double value) {
            if (m_editor)
                m_editor->setStrokeWidth(roundedSliderValue(value));
        });
        addRow(tr("Line Width"), control);
    }
    if (rows.fontSize) {
        m_fontSize = new PointStepper(kMinFontSize, kMaxFontSize, editor ? editor->fontSize() : 16.0);
        m_fontSize->setAccessibleName(tr("Font Size"));
        connect(m_fontSize, &PointStepper::valueChanged, this, [this](double size) {
            if (m_editor)
                m_editor->setFontSize(size);
        });
        addRow(tr("Font Size"), m_fontSize);
    }
    m_tip = makeCaption(rows.tip);
    addWidget(m_tip);

    if (editor) {
        connect(editor, &Editor::strokeWidthChanged, this, &ToolStyleSection::refresh);
        connect(editor, &Editor::fontSizeChanged, this, &ToolStyleSection::refresh);
        connect(editor, &Editor::toolColorsChanged, this, &ToolStyleSection::refresh);
    }
    refresh();
}

void ToolStyleSection::refresh()
{
    if (!m_editor)
        return;
    if (m_color)
        m_color->setCurrent(m_editor->currentToolColor());
    if (m_width) {
        m_width->showValue(m_editor->strokeWidth());
        m_widthText->setText(pointsText(m_editor->strokeWidth()));
    }
    if (m_fontSize)
        m_fontSize->showValue(m_editor->fontSize());
}

RedactionSection::RedactionSection(Editor* editor, QWidget* parent)
    : FormSection(tr("Redaction"), parent), m_editor(editor)
{
    addWidget(makeCaption(tr("Marked areas are removed for real when you apply them: the page is re-rendered without "
                             "the content, then re-read so the rest stays searchable.")));
    m_apply = new QPushButton(tr("Apply Redactions…"));
    m_apply->setAccessibleName(m_apply->text());
    connect(m_apply, &QPushButton::clicked, this, [this] {
        if (m_editor)
            m_editor->confirmRedactions();
    });
    addWidget(m_apply);
    if (editor) {
        connect(editor, &Editor::annotationVersionChanged, this, &RedactionSection::refresh);
        connect(editor, &Editor::documentVersionChanged, this, &RedactionSection::refresh);
    }
    refresh();
}

void RedactionSection::refresh()
{
    m_apply->setEnabled(m_editor && !m_editor->redactionMarks().isEmpty());
}

} // namespace vmk::panels
