#pragma once

#include "chrome/Motion.h"
#include "editor/EditTarget.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;

namespace vmk {
class Editor;
}

namespace vmk::panels {

// What the edit bar says for a selection, and which buttons it offers.
struct EditBarContent {
    QString message;
    bool secondary = false; // the nothing-selected hint, in the secondary style
    bool replace = false;
    bool remove = false;
    int maxLines = 1;
};
EditBarContent editBarContent(const std::optional<EditTarget>& selection);

// Edit mode's palette content: an I-beam and a line about the current edit selection, with Replace… and
// Delete for a picture and Delete for an editable text block. It follows only the Editor's edit selection
// (the hover never changes it); the keys its hints name are the canvas's.
class EditBar : public QWidget {
    Q_OBJECT
public:
    // reduceMotion: read on every change; the desktop setting unless given.
    explicit EditBar(Editor* editor, std::function<bool()> reduceMotion = {}, QWidget* parent = nullptr);

    QLabel* messageLabel() const { return m_message; }
    QPushButton* replaceButton() const { return m_replace; }
    QPushButton* deleteButton() const { return m_delete; }
    // The motion of the latest message change.
    const std::optional<chrome::MotionSpec>& lastMotion() const { return m_lastMotion; }

signals:
    void contentChanged();

private:
    void rebuild(bool animated);

    QPointer<Editor> m_editor;
    std::function<bool()> m_reduceMotion;
    std::optional<EditTarget> m_shown;
    QWidget* m_group = nullptr;
    QLabel* m_message = nullptr;
    QPushButton* m_replace = nullptr;
    QPushButton* m_delete = nullptr;
    std::optional<chrome::MotionSpec> m_lastMotion;
};

} // namespace vmk::panels
