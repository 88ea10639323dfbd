#pragma once

#include "editor/EditorTypes.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace vmk {
class Editor;
}

namespace vmk::panels {

class PaletteButton;

// Pages mode: rotate, duplicate, delete, insert and extract the pages selected in the grid, and how many
// are selected. The buttons act on the selection captured when the bar was built; the palette rebuilds
// the bar whenever the selection changes.
class PagesBar : public QWidget {
    Q_OBJECT
public:
    explicit PagesBar(Editor* editor, QWidget* parent = nullptr);
    const QList<PaletteButton*>& buttons() const { return m_buttons; }
    QLabel* countLabel() const { return m_count; }

private:
    QList<PaletteButton*> m_buttons;
    QLabel* m_count = nullptr;
};

// Redact mode: how many areas are marked and, once there are some, Clear and Redact….
class RedactBar : public QWidget {
    Q_OBJECT
public:
    // confirm runs "Redact…"; it decides itself how to ask before anything is destroyed.
    RedactBar(Editor* editor, int markCount, std::function<void()> confirm, QWidget* parent = nullptr);
    QLabel* statusLabel() const { return m_status; }
    QPushButton* clearButton() const { return m_clear; }
    QPushButton* redactButton() const { return m_redact; }

private:
    QLabel* m_status = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_redact = nullptr;
};

// The count a pages or redact bar shows (empty for any other bar).
QString paletteCountText(const QWidget* bar);
// On a bar rebuilt in place of one that showed `shown`: its count rolls on from that text, as counters
// do, on the spring that never overshoots. Nothing happens for other bars or an unchanged count.
void countOnFrom(QWidget* bar, const QString& shown);

// Beside the annotate bar while a crop rectangle waits: Cancel, All Pages, Crop Page.
class CropBar : public QWidget {
    Q_OBJECT
public:
    explicit CropBar(Editor* editor, QWidget* parent = nullptr);
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* allPagesButton() const { return m_all; }
    QPushButton* cropPageButton() const { return m_page; }

private:
    QPushButton* m_cancel = nullptr;
    QPushButton* m_all = nullptr;
    QPushButton* m_page = nullptr;
};

} // namespace vmk::panels
