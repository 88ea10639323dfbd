#include "platform/services/WindowDialogs.h"

#include "platform/services/PlainText.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QStandardPaths>

namespace vmk::platform {

void belongToWindow(QDialog* dialog)
{
    // A dialog with the window as its parent is "transient for" it; without the window type's default
    // hints it has a title and a close button only.
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog->setWindowModality(Qt::WindowModal);
}

QString startFolderFor(const QString& documentPath)
{
    if (!documentPath.isEmpty()) {
        const QFileInfo file(documentPath);
        if (file.absoluteDir().exists())
            return file.absolutePath();
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QDir(documents).exists())
        return documents;
    return QDir::homePath();
}

QFileDialog* windowFileDialog(QWidget* window, const QString& title, const QString& message, const QString& folder)
{
    auto* dialog = new QFileDialog(window, title, folder);
    belongToWindow(dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (message.isEmpty())
        return dialog;
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout())) {
        auto* label = new QLabel(message, dialog);
        label->setObjectName(QStringLiteral("dialogMessage"));
        makePlain(*label);
        label->setWordWrap(true);
        // Above everything else: the grid's rows move down by one.
        QList<std::tuple<QLayoutItem*, int, int, int, int>> items;
        while (grid->count() > 0) {
            int row, column, rowSpan, columnSpan;
            grid->getItemPosition(0, &row, &column, &rowSpan, &columnSpan);
            items.append({grid->takeAt(0), row, column, rowSpan, columnSpan});
        }
        const int columns = std::max(1, grid->columnCount());
        grid->addWidget(label, 0, 0, 1, columns);
        for (const auto& [item, row, column, rowSpan, columnSpan] : items)
            grid->addItem(item, row + 1, column, rowSpan, columnSpan);
    }
    return dialog;
}

} // namespace vmk::platform
