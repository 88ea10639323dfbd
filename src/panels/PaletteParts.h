#pragma once

#include <QWidget>

class QHBoxLayout;
class QPushButton;

namespace vmk::panels {

// A bar's text button a point smaller than the window's text, which never takes focus from the page.
QPushButton* smallBarButton(const QString& title, QWidget* parent = nullptr);

// The thin vertical rule between groups of palette buttons: 1 × 18 with 4 of room on each side.
class PaletteDivider : public QWidget {
    Q_OBJECT
public:
    explicit PaletteDivider(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {9, 18}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The container of a palette's glass surfaces. This platform has no blending glass container, so the
// content is shown unchanged and the spacing only records what the caller asked for.
class GlassGroup : public QWidget {
    Q_OBJECT
public:
    explicit GlassGroup(double spacing, QWidget* parent = nullptr);
    double spacing() const { return m_spacing; }
    // The row the group's surfaces stand in.
    QHBoxLayout* row() const { return m_row; }

private:
    double m_spacing;
    QHBoxLayout* m_row;
};

} // namespace vmk::panels
