#include "app/AppDelegate.h"
#include "app/AppDocumentController.h"

#include "platform/services/UserDefaults.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

int main(int argc, char** argv)
{
    // Tesseract's OpenMP threads oversubscribe the workers that recognise pages in parallel.
    qputenv("OMP_THREAD_LIMIT", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellumark"));
    QApplication::setOrganizationName(QStringLiteral("Vellumark"));
    QApplication::setDesktopFileName(QStringLiteral("vellumark"));

    // The document controller first, so that it is the shared one.
    vmk::app::DocumentController controller;
    vmk::app::AppDelegate delegate(&controller);
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();

    // Arguments are files to open; "-VMKKey value" pairs are launch switches, not files.
    QStringList files = vmk::platform::UserDefaults::argumentsWithoutDomain(QApplication::arguments()).mid(1);
    for (QString& file : files)
        file = QFileInfo(file).absoluteFilePath();
    QTimer::singleShot(0, &delegate, [&delegate, files] { delegate.launch(files); });
    return app.exec();
}
