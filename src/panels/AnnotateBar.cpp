#include "panels/AnnotateBar.h"

#include "editor/Editor.h"
#include "panels/ColorControls.h"
#include "panels/PaletteButton.h"
#include "panels/PaletteParts.h"
#include "platform/icons/SymbolIcons.h"
#include "platform/pdf/Annotation.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionToolButton>

namespace vmk::panels {

namespace {

QColor withAlpha(QColor c, double alpha)
{
    c.setAlphaF(alpha);
    return c;
}

} // namespace

PaletteMenuButton::PaletteMenuButton(const QString& symbol, const QString& help, QWidget* parent)
    : QToolButton(parent), m_symbol(symbol)
{
    setFixedSize(30, 30);
    setToolTip(help);
    setAccessibleName(help);
    setPopupMode(QToolButton::InstantPopup);
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
    setAttribute(Qt::WA_Hover);
}

void PaletteMenuButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(rect());
    if (underMouse()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(palette().color(QPalette::WindowText), 0.07));
        painter.drawEllipse(frame);
    }
    const int side = 17;
    painter.drawPixmap(QPointF(frame.center().x() - side / 2.0, frame.center().y() - side / 2.0),
                       platform::symbolPixmap(m_symbol, side, palette().color(QPalette::WindowText), devicePixelRatioF()));
}

ShapesMenuButton::ShapesMenuButton(Editor* editor, QWidget* parent) : QToolButton(parent), m_editor(editor)
{
    setFixedSize(42, 30);
    const QString help = tr("Shapes (R, O, L, A)");
    setToolTip(help);
    setAccessibleName(help);
    setFocusPolicy(Qt::NoFocus);
    setPopupMode(QToolButton::MenuButtonPopup);
    auto* menu = new QMenu(this);
    for (Tool shape : paletteShapes()) {
        QAction* item = menu->addAction(platform::symbolIcon(toolSymbol(shape), palette().color(QPalette::WindowText)),
                                        toolTitle(shape));
        item->setData(toolIndex(shape));
        connect(item, &QAction::triggered, this, [this, shape] {
            if (!m_editor)
                return;
            m_editor->setTool(shape);
            m_editor->setLastShape(shape);
        });
    }
    setMenu(menu);
    connect(this, &QToolButton::clicked, this, [this] {
        if (m_editor)
            m_editor->setTool(m_editor->lastShape());
    });
}

bool ShapesMenuButton::isActive() const
{
    return m_editor && isShape(m_editor->tool());
}

QString ShapesMenuButton::shownSymbol() const
{
    if (!m_editor)
        return toolSymbol(Tool::rectangle);
    return toolSymbol(shapesControlTool(m_editor->tool(), m_editor->lastShape()));
}

void ShapesMenuButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(rect());
    const QColor accent = palette().color(QPalette::Highlight);
    const QColor primary = palette().color(QPalette::WindowText);
    const bool active = isActive();
    if (active) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(accent, 0.18));
        painter.drawRoundedRect(frame, frame.height() / 2, frame.height() / 2);
    } else if (underMouse()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(primary, 0.07));
        painter.drawRoundedRect(frame, frame.height() / 2, frame.height() / 2);
    }
    const QColor tint = active ? accent : primary;
    const int side = 17;
    painter.drawPixmap(QPointF(7, frame.center().y() - side / 2.0),
                       platform::symbolPixmap(shownSymbol(), side, tint, devicePixelRatioF()));
    // The menu indicator: a small chevron at the trailing end.
    const QPixmap chevron = platform::symbolPixmap(QStringLiteral("chevron.down"), 9, tint, devicePixelRatioF());
    painter.drawPixmap(QPointF(frame.right() - 14, frame.center().y() - 4.5), chevron);
}

AnnotateBar::AnnotateBar(Editor* editor, QWidget* parent) : QWidget(parent), m_editor(editor)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(2);
    if (!editor)
        return;

    auto addTool = [&](Tool tool) {
        auto* button = new PaletteButton(toolSymbol(tool), toolHelpText(tool), editor->tool() == tool, ButtonRole::none,
                                         [e = QPointer<Editor>(editor), tool] {
                                             if (e)
                                                 e->setTool(tool);
                                         });
        m_toolButtons.append({tool, button});
        row->addWidget(button);
    };
    addTool(Tool::select);
    row->addWidget(new PaletteDivider);
    addTool(Tool::highlight);
    addTool(Tool::underline);
    addTool(Tool::strikeOut);
    row->addWidget(new PaletteDivider);
    addTool(Tool::pen);
    m_shapes = new ShapesMenuButton(editor);
    row->addWidget(m_shapes);
    addTool(Tool::note);
    addTool(Tool::text);
    row->addWidget(new PaletteDivider);
    addTool(Tool::crop);

    const pdf::AnnotationPtr selected = editor->selectedAnnotation();
    const StyleGroupLayout style = styleGroupLayout(editor->tool(), bool(selected), selected ? selected->type() : QString());
    if (!style.shown)
        return;
    row->addWidget(new PaletteDivider);
    m_colorRow = new SwatchRow(paletteCurrentColor(selected, editor->currentToolColor()),
                               [e = QPointer<Editor>(editor)](const QColor& c) {
                                   if (e)
                                       e->changeColor(c);
                               },
                               editor);
    row->addWidget(m_colorRow);
    if (style.strokeWidth) {
        m_strokeMenu = makeSizeMenu(QStringLiteral("lineweight"), tr("Line width"), paletteLineWidths(),
                                    shownStrokeWidth(selected, editor->strokeWidth()),
                                    [e = QPointer<Editor>(editor)](double w) {
                                        if (e)
                                            e->changeLineWidth(w, true);
                                    });
        row->addWidget(m_strokeMenu);
    } else if (style.fontSize) {
        m_fontMenu = makeSizeMenu(QStringLiteral("textformat.size"), tr("Font size"), paletteFontSizes(),
                                  shownFontSize(selected, editor->fontSize()),
                                  [e = QPointer<Editor>(editor)](double s) {
                                      if (e)
                                          e->changeFontSize(s);
                                  });
        row->addWidget(m_fontMenu);
    }
}

PaletteMenuButton* AnnotateBar::makeSizeMenu(const QString& symbol, const QString& help, const QList<double>& values,
                                             double current, std::function<void(double)> choose)
{
    auto* button = new PaletteMenuButton(symbol, help);
    auto* menu = new QMenu(button);
    for (const SizeMenuItem& entry : sizeMenuItems(values, current)) {
        QAction* item = menu->addAction(entry.title);
        item->setCheckable(entry.checked);
        item->setChecked(entry.checked);
        item->setData(entry.value);
        const double value = entry.value;
        connect(item, &QAction::triggered, button, [choose, value] { choose(value); });
    }
    button->setMenu(menu);
    return button;
}

PaletteButton* AnnotateBar::toolButton(Tool tool) const
{
    for (const auto& [t, button] : m_toolButtons) {
        if (t == tool)
            return button;
    }
    return nullptr;
}

} // namespace vmk::panels
