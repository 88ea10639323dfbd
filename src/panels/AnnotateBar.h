#pragma once

#include "editor/EditorModel.h"
#include "panels/PaletteRules.h"

#include <QPointer>
#include <QToolButton>
#include <QWidget>

#include <functional>

namespace vmk {
class Editor;
}

namespace vmk::panels {

class PaletteButton;
class SwatchRow;

// A 30 × 30 palette control that drops down a menu: the size menus. Draws only its symbol and a hover
// circle; no menu indicator.
class PaletteMenuButton : public QToolButton {
    Q_OBJECT
public:
    PaletteMenuButton(const QString& symbol, const QString& help, QWidget* parent = nullptr);
    QString symbol() const { return m_symbol; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
};

// The shapes control: a click on it picks the last shape; its menu picks any of the four.
class ShapesMenuButton : public QToolButton {
    Q_OBJECT
public:
    ShapesMenuButton(Editor* editor, QWidget* parent = nullptr);
    // The symbol drawn: the current tool's when it is a shape, else the last shape's.
    QString shownSymbol() const;
    bool isActive() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<Editor> m_editor;
};

// The colour control of a condensed bar: a dot of the current colour whose menu holds the colour row.
class ColorMenuButton : public QToolButton {
    Q_OBJECT
public:
    ColorMenuButton(const QColor& current, std::function<void(const QColor&)> pick, QObject* context,
                    QWidget* parent = nullptr);
    QColor current() const { return m_current; }
    SwatchRow* row() const { return m_row; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_current;
    SwatchRow* m_row = nullptr;
};

// How the annotate bar fits its width: everything in one row; the colour row folded into a colour
// menu; or, narrower still, the colours and sizes on a second row under the tools.
enum class AnnotateFit { full, condensed, twoRows };

// The annotate bar: the tools, the shapes control and, while a tool draws or an annotation is selected,
// the colour row and the size menu that fits. It reads everything from the Editor each time it is built.
// With the select or crop tool and nothing selected it ends at the crop button.
class AnnotateBar : public QWidget {
    Q_OBJECT
public:
    explicit AnnotateBar(Editor* editor, AnnotateFit fit = AnnotateFit::full, QWidget* parent = nullptr);

    AnnotateFit fit() const { return m_fit; }
    ColorMenuButton* colorMenu() const { return m_colorMenu; }

    PaletteButton* toolButton(Tool tool) const;
    ShapesMenuButton* shapesButton() const { return m_shapes; }
    SwatchRow* colorRow() const { return m_colorRow; }
    PaletteMenuButton* strokeWidthMenu() const { return m_strokeMenu; }
    PaletteMenuButton* fontSizeMenu() const { return m_fontMenu; }

private:
    PaletteMenuButton* makeSizeMenu(const QString& symbol, const QString& help, const QList<double>& values,
                                    double current, std::function<void(double)> choose);

    QPointer<Editor> m_editor;
    AnnotateFit m_fit;
    ColorMenuButton* m_colorMenu = nullptr;
    QList<std::pair<Tool, PaletteButton*>> m_toolButtons;
    ShapesMenuButton* m_shapes = nullptr;
    SwatchRow* m_colorRow = nullptr;
    PaletteMenuButton* m_strokeMenu = nullptr;
    PaletteMenuButton* m_fontMenu = nullptr;
};

} // namespace vmk::panels
