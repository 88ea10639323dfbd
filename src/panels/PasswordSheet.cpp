#include "panels/PasswordSheet.h"

#include "chrome/ChromeStyle.h"
#include "chrome/Glass.h"
#include "editor/Editor.h"
#include "panels/PasswordRules.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace vmk::panels {

namespace {

QLineEdit* secureField(const QString& name, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setEchoMode(QLineEdit::Password);
    field->setAccessibleName(name);
    return field;
}

} // namespace

PasswordSheet::PasswordSheet(Editor* editor, std::function<void()> dismiss, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_dismiss(std::move(dismiss))
{
    setWindowTitle(tr("Password Protect"));
    setFixedWidth(440);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(16);

    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(chrome::makeSymbolLabel(QStringLiteral("lock.fill"), 26, chrome::accentColor(palette()), this));
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    auto* title = new QLabel(tr("Password Protect"), this);
    title->setFont(chrome::titleFont(1.3));
    auto* subtitle = new QLabel(tr("Anyone opening this PDF will need the password."), this);
    QPalette secondary = subtitle->palette();
    secondary.setColor(QPalette::WindowText, chrome::secondaryTextColor(secondary));
    subtitle->setPalette(secondary);
    titles->addWidget(title);
    titles->addWidget(subtitle);
    header->addLayout(titles, 1);
    column->addLayout(header);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    m_password = secureField(tr("Password"), this);
    m_confirm = secureField(tr("Verify"), this);
    m_separate = new QCheckBox(tr("Use a different password for editing and printing"), this);
    m_owner = secureField(tr("Owner password"), this);
    m_ownerLabel = new QLabel(tr("Owner password"), this);
    form->addRow(tr("Password"), m_password);
    form->addRow(tr("Verify"), m_confirm);
    form->addRow(QString(), m_separate);
    form->addRow(m_ownerLabel, m_owner);
    column->addLayout(form);

    m_hint = new QLabel(this);
    m_hint->setFont(chrome::captionFont());
    m_hint->setWordWrap(true);
    column->addWidget(m_hint);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_protect = new QPushButton(tr("Protect"), this);
    m_cancel->setAutoDefault(false);
    m_protect->setAutoDefault(false);
    chrome::applyProminentButton(m_protect);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_protect);
    column->addLayout(buttons);

    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_dismiss)
            m_dismiss();
    });
    connect(m_protect, &QPushButton::clicked, this, &PasswordSheet::protect);
    for (QLineEdit* field : {m_password, m_confirm, m_owner})
        connect(field, &QLineEdit::textChanged, this, &PasswordSheet::refresh);
    connect(m_separate, &QCheckBox::toggled, this, &PasswordSheet::refresh);
    refresh();
}

void PasswordSheet::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_password->setFocus();
}

void PasswordSheet::keyPressEvent(QKeyEvent* event)
{
    // Escape cancels; Return protects only when "Protect" is enabled.
    if (event->key() == Qt::Key_Escape) {
        m_cancel->click();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (m_protect->isEnabled())
            m_protect->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PasswordSheet::protect()
{
    const QString password = m_password->text();
    if (!canProtect(password, m_confirm->text(), m_separate->isChecked(), m_owner->text()))
        return;
    // Owner text typed before the toggle was turned off again is not used.
    const std::optional<QString> owner = m_separate->isChecked() ? std::optional<QString>(m_owner->text()) : std::nullopt;
    if (m_editor)
        m_editor->passwordProtect(password, owner);
    if (m_dismiss)
        m_dismiss();
}

void PasswordSheet::refresh()
{
    const bool separate = m_separate->isChecked();
    m_ownerLabel->setVisible(separate);
    m_owner->setVisible(separate);
    m_warning = showsMismatch(m_password->text(), m_confirm->text());
    m_hint->setText(m_warning ? tr("Those don’t match yet.")
                              : tr("Encrypted when the document saves. Forget it and nobody can recover it, us included."));
    QPalette pal = m_hint->palette();
    pal.setColor(QPalette::WindowText, m_warning ? QColor(255, 59, 48) : chrome::secondaryTextColor(palette()));
    m_hint->setPalette(pal);
    m_protect->setEnabled(canProtect(m_password->text(), m_confirm->text(), separate, m_owner->text()));
    adjustSize();
}

} // namespace vmk::panels
