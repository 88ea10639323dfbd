#include "app/Presenters.h"

#include "platform/services/PlainText.h"
#include "platform/services/WindowDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace vmk::app {

namespace {

class MessageBoxPresenter : public AlertPresenter {
public:
    void presentError(const platform::DocumentError& error, QWidget* parent) override
    {
        QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), error.message, QMessageBox::Ok,
                        parent ? parent : QApplication::activeWindow());
        box.setInformativeText(error.recoverySuggestion);
        // Messages carry file names, which may hold anything.
        platform::makePlain(box);
        if (box.parentWidget())
            platform::belongToWindow(&box);
        box.exec();
    }
};

class FileDialogPanel : public OpenPanel {
public:
    std::optional<QStringList> choosePdfFiles(QWidget* parent) override
    {
        const QStringList files = QFileDialog::getOpenFileNames(parent, QStringLiteral("Open"), QString(),
                                                                QStringLiteral("PDF documents (*.pdf *.PDF)"));
        if (files.isEmpty())
            return std::nullopt;
        return files;
    }
};

AlertPresenter* g_alerts = nullptr;
OpenPanel* g_panel = nullptr;

} // namespace

AlertPresenter& alertPresenter()
{
    static MessageBoxPresenter standard;
    return g_alerts ? *g_alerts : standard;
}

void setAlertPresenter(AlertPresenter* presenter)
{
    g_alerts = presenter;
}

OpenPanel& openPanel()
{
    static FileDialogPanel standard;
    return g_panel ? *g_panel : standard;
}

void setOpenPanel(OpenPanel* panel)
{
    g_panel = panel;
}

} // namespace vmk::app
