#include "panels/AnnotateBar.h"

#include "editor/Editor.h"
#include "panels/ColorControls.h"
#include "panels/PaletteButton.h"
#include "panels/PaletteParts.h"
#include "platform/icons/SymbolIcons.h"
#include "platform/pdf/document/Annotation.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QWidgetAction>
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

// A round button's face: a faint disc of the text colour while the pointer is over it.
void paintHoverDisc(QPainter& painter, const QToolButton& button)
{
    painter.setRenderHint(QPainter::Antialiasing);
    if (!button.underMouse())
        return;
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(button.palette().color(QPalette::WindowText), 0.07));
    painter.drawEllipse(QRectF(button.rect()));
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
    paintHoverDisc(painter, *this);
    const QRectF frame(rect());
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

ColorMenuButton::ColorMenuButton(const QColor& current, std::function<void(const QColor&)> pick, QObject* context,
                                 QWidget* parent)
    : QToolButton(parent), m_current(current)
{
    setFixedSize(30, 30);
    setToolTip(tr("Colour"));
    setAccessibleName(tr("Colour"));
    setPopupMode(QToolButton::InstantPopup);
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
    setAttribute(Qt::WA_Hover);
    auto* menu = new QMenu(this);
    auto* holder = new QWidget(menu);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(8, 4, 8, 4);
    m_row = new SwatchRow(current, [menu, pick = std::move(pick)](const QColor& c) {
        menu->close();
        if (pick)
            pick(c);
    }, context);
    layout->addWidget(m_row);
    auto* action = new QWidgetAction(menu);
    action->setDefaultWidget(holder);
    menu->addAction(action);
    setMenu(menu);
}

void ColorMenuButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintHoverDisc(painter, *this);
    const QRectF frame(rect());
    paintColorDot(painter, QRectF(frame.center() - QPointF(8, 8), QSizeF(16, 16)), m_current, palette());
}

AnnotateBar::AnnotateBar(Editor* editor, AnnotateFit fit, QWidget* parent) : QWidget(parent), m_editor(editor), m_fit(fit)
{
    auto* column = new QVBoxLayout(this);
    if (fit == AnnotateFit::twoRows)
        column->setContentsMargins(2, 4, 2, 4);
    else
        column->setContentsMargins(6, 4, 6, 4);
    column->setSpacing(2);
    auto* row = new QHBoxLayout;
    row->setSpacing(fit == AnnotateFit::twoRows ? 0 : 2);
    column->addLayout(row);
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
    auto divider = [&] {
        if (fit != AnnotateFit::twoRows)
            row->addWidget(new PaletteDivider);
    };
    addTool(Tool::select);
    divider();
    addTool(Tool::highlight);
    addTool(Tool::underline);
    addTool(Tool::strikeOut);
    divider();
    addTool(Tool::pen);
    m_shapes = new ShapesMenuButton(editor);
    row->addWidget(m_shapes);
    addTool(Tool::note);
    addTool(Tool::text);
    divider();
    addTool(Tool::crop);

    const pdf::AnnotationPtr selected = editor->selectedAnnotation();
    const StyleGroupLayout style = styleGroupLayout(editor->tool(), bool(selected), selected ? selected->type() : QString());
    // With nothing to style the bar ends at the crop button: no divider, no empty room after it.
    if (!style.shown)
        return;
    const bool folded = fit != AnnotateFit::full;
    QHBoxLayout* styleRow = row;
    if (fit == AnnotateFit::twoRows) {
        styleRow = new QHBoxLayout;
        styleRow->setSpacing(2);
        styleRow->addStretch(1);
        column->addLayout(styleRow);
    } else {
        row->addWidget(new PaletteDivider);
    }
    auto pick = [e = QPointer<Editor>(editor)](const QColor& c) {
        if (e)
            e->changeColor(c);
    };
    const QColor current = paletteCurrentColor(selected, editor->currentToolColor());
    if (folded) {
        m_colorMenu = new ColorMenuButton(current, pick, editor);
        m_colorRow = m_colorMenu->row();
        styleRow->addWidget(m_colorMenu);
    } else {
        m_colorRow = new SwatchRow(current, pick, editor);
        styleRow->addWidget(m_colorRow);
    }
    row = styleRow;
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
    if (fit == AnnotateFit::twoRows)
        styleRow->addStretch(1);
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
