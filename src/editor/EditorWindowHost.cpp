// The default panels and alerts of a window host: Qt's own dialogs, window-modal over the document window.
#include "editor/EditorWindowHost.h"

#include "editor/ImageExportAccessory.h"
#include "editor/ImageExportOptions.h"
#include "platform/services/PlainText.h"
#include "platform/services/WindowDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>

namespace vmk {

namespace {

// A dialog of the document window: kept over it, blocking it alone, gone once closed.
template <class Dialog> Dialog* asSheet(Dialog* dialog)
{
    platform::belongToWindow(dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    return dialog;
}

// Opens the dialog; the completion learns the chosen path once, or nothing when the dialog is dismissed.
void openForPath(QFileDialog* dialog, std::function<void(std::optional<QString>)> completion)
{
    auto done = std::make_shared<bool>(false);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, [done, completion](const QString& path) {
        *done = true;
        if (completion)
            completion(path);
    });
    QObject::connect(dialog, &QFileDialog::rejected, dialog, [done, completion] {
        if (!*done && completion)
            completion(std::nullopt);
    });
    dialog->open();
}

} // namespace

void EditorWindowHost::runAlert(const AlertRequest& request, std::function<void(int button)> completion)
{
    QWidget* parent = window();
    if (!parent)
        return;
    auto* box = asSheet(new QMessageBox(parent));
    box->setWindowTitle(QApplication::applicationName());
    box->setIcon(request.warning ? QMessageBox::Warning : QMessageBox::Information);
    box->setText(request.message);
    box->setInformativeText(request.informativeText);
    platform::makePlain(*box);
    QList<QAbstractButton*> buttons;
    for (int i = 0; i < request.buttons.size(); ++i) {
        // The destructive button keeps the accept role; the rest reject, so Escape never destroys.
        const auto role = i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
        QPushButton* button = box->addButton(request.buttons[i], role);
        if (i == 0)
            box->setDefaultButton(button);
        buttons.append(button);
    }
    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, completion = std::move(completion)](int) {
        if (completion)
            completion(int(buttons.indexOf(box->clickedButton())));
    });
    box->open();
}

void EditorWindowHost::runPasswordAlert(const AlertRequest& request, const QString& placeholder,
                                        std::function<void(int button, const QString& password)> completion)
{
    QWidget* parent = window();
    if (!parent)
        return;
    auto* dialog = asSheet(new QInputDialog(parent));
    dialog->setWindowTitle(QApplication::applicationName());
    dialog->setLabelText(request.informativeText.isEmpty() ? request.message
                                                           : request.message + QStringLiteral("\n\n") + request.informativeText);
    dialog->setTextEchoMode(QLineEdit::Password);
    if (auto* field = dialog->findChild<QLineEdit*>())
        field->setPlaceholderText(placeholder);
    if (!request.buttons.isEmpty())
        dialog->setOkButtonText(request.buttons.value(0));
    if (request.buttons.size() > 1)
        dialog->setCancelButtonText(request.buttons.value(1));
    QObject::connect(dialog, &QInputDialog::finished, dialog, [dialog, completion = std::move(completion)](int result) {
        if (completion)
            completion(result == QDialog::Accepted ? 0 : 1, dialog->textValue());
    });
    dialog->open();
}

void EditorWindowHost::runSavePanel(const SavePanelRequest& request,
                                    std::function<void(std::optional<QString>)> completion)
{
    QWidget* parent = window();
    if (!parent)
        return;
    auto* dialog = platform::windowFileDialog(parent, request.title, request.message,
                                              platform::startFolderFor(documentPath()));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilter(QStringLiteral("%1 (*.%2)").arg(request.typeName, request.extension));
    dialog->setDefaultSuffix(request.extension);
    dialog->selectFile(request.suggestedName);
    openForPath(dialog, std::move(completion));
}

void EditorWindowHost::runImageExportPanel(const FolderPanelRequest& request,
                                           const std::shared_ptr<ImageExportOptions>& options, int pageCount,
                                           std::function<void(std::optional<QString>)> completion)
{
    QWidget* parent = window();
    if (!parent)
        return;
    // Qt's own dialog (a message makes it so), so the format and resolution row can sit under the folder list.
    auto* dialog = platform::windowFileDialog(parent, QStringLiteral("Export Images"), request.message,
                                              platform::startFolderFor(documentPath()));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setLabelText(QFileDialog::Accept, request.prompt);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
        grid->addWidget(new ImageExportAccessory(options, pageCount, dialog), grid->rowCount(), 0, 1, grid->columnCount());
    // The row under the folder list reaches the dialog's bottom right corner, where the size grip would sit
    // on it; the window's frame resizes it anyway.
    dialog->setSizeGripEnabled(false);
    // Qt's dialog fixes its navigation buttons a little smaller than the style draws them, cutting their
    // symbols' edges.
    for (QToolButton* button : dialog->findChildren<QToolButton*>())
        if (button->minimumSize() == button->maximumSize())
            button->setFixedSize(button->size().expandedTo(button->minimumSizeHint()));
    openForPath(dialog, std::move(completion));
}

void EditorWindowHost::showErrorAlert(const QString& message, const QString& detail)
{
    QWidget* parent = window();
    if (!parent)
        return;
    // The application's name for a title, as every other alert: a box grows to show its whole title, and
    // a message naming a long file would make it as wide as the screen.
    auto* box = asSheet(new QMessageBox(QMessageBox::Warning, QApplication::applicationName(), message,
                                        QMessageBox::Ok, parent));
    box->setInformativeText(detail);
    platform::makePlain(*box);
    box->open();
}

void EditorWindowHost::revealInFileViewer(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace vmk
