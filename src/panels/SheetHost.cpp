#include "panels/SheetHost.h"

#include "platform/services/WindowDialogs.h"

#include <QDialog>
#include <QPointer>
#include <QVBoxLayout>

namespace vmk::panels {

QDialog* presentSheet(QWidget* window, const std::function<QWidget*(std::function<void()> dismiss)>& make)
{
    if (!window)
        return nullptr;
    auto* dialog = new QDialog(window);
    platform::belongToWindow(dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<QDialog> sheet(dialog);
    QPointer<QWidget> parent(window);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    QWidget* content = make([sheet, parent] {
        if (sheet && parent)
            sheet->close();
    });
    layout->addWidget(content);
    dialog->setWindowTitle(content->windowTitle());
    dialog->open();
    return dialog;
}

} // namespace vmk::panels
