#pragma once

#include "chrome/Glass.h"
#include "chrome/RollingLabel.h"

#include <QPointer>

#include <functional>

class QLabel;
class QLineEdit;
class QToolButton;

namespace vmk {
class Editor;
}

namespace vmk::chrome {

class SizeMorph;

// The capsule at the bottom of the window that says which page shows and how many there are, steps to
// the previous or next page and takes a typed page number. Go to Page opens its field through the
// "Vellumark.beginGoToPage" notification, for this pill's editor only. It changes no page itself: the
// editor moves the canvas and the pill follows the editor's page.

class PagePill : public GlassSurface {
    Q_OBJECT
public:
    explicit PagePill(Editor* editor, QWidget* parent = nullptr);

    // Read at each page change; the desktop's setting unless given.
    void setReduceMotionProvider(std::function<bool()> provider) { m_reduceMotion = std::move(provider); }
    bool isEditing() const { return m_editing; }
    QLineEdit* field() const { return m_field; }
    // The page number, which rolls to each new page.
    RollingLabel* pageLabel() const { return m_page; }
    QLabel* totalLabel() const { return m_total; }
    QToolButton* previousButton() const { return m_previous; }
    QToolButton* nextButton() const { return m_next; }
    // A new page rolls the number and resizes the pill together, in one motion.
    SizeMorph* resizing() const { return m_morph; }
    QSize sizeHint() const override;

    // Shows the field with the current page number; it takes the focus one main-loop turn later.
    void beginEditing();
    // Return in the field: goes to a typed page, reports one out of reach, drops anything else.
    void commit();
    // Escape, or the field lost the focus: closes the field without going anywhere.
    void cancelEditing();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void setEditing(bool editing);

    QPointer<Editor> m_editor;
    QToolButton* m_previous = nullptr;
    RollingLabel* m_page = nullptr;
    QLineEdit* m_field = nullptr;
    QLabel* m_total = nullptr;
    QToolButton* m_next = nullptr;
    SizeMorph* m_morph = nullptr;
    bool m_editing = false;
    int m_shownIndex = -1;
    std::function<bool()> m_reduceMotion;
};

} // namespace vmk::chrome
