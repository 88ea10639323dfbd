#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vmk {
class Editor;
}

namespace vmk::panels {

// "Password Protect": the password twice and, optionally, a separate owner password for editing and
// printing. "Protect" records them on the document through the Editor (encrypted on the next save).
class PasswordSheet : public QWidget {
    Q_OBJECT
public:
    PasswordSheet(Editor* editor, std::function<void()> dismiss, QWidget* parent = nullptr);

    QLineEdit* passwordField() const { return m_password; }
    QLineEdit* verifyField() const { return m_confirm; }
    QCheckBox* separateOwnerToggle() const { return m_separate; }
    QLineEdit* ownerField() const { return m_owner; }
    QLabel* hint() const { return m_hint; }
    bool hintIsWarning() const { return m_warning; }
    QPushButton* protectButton() const { return m_protect; }
    QPushButton* cancelButton() const { return m_cancel; }

    // The action of "Protect"; nothing unless the input is complete.
    void protect();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();

    QPointer<Editor> m_editor;
    std::function<void()> m_dismiss;
    QLineEdit* m_password;
    QLineEdit* m_confirm;
    QCheckBox* m_separate;
    QLabel* m_ownerLabel;
    QLineEdit* m_owner;
    QLabel* m_hint;
    bool m_warning = false;
    QPushButton* m_cancel;
    QPushButton* m_protect;
};

} // namespace vmk::panels
