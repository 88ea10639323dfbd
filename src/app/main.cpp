#include "app/AppDelegate.h"
#include "app/AppDocumentController.h"

#include "platform/services/Secrets.h"
#include "platform/services/SingleInstance.h"
#include "platform/services/TempFiles.h"
#include "platform/services/ThreadStarter.h"
#include "platform/services/UserDefaults.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

int main(int argc, char** argv)
{
    // Open documents' passwords and contents stay in this process.
    vmk::platform::keepProcessMemoryPrivate();
    // Tesseract's OpenMP threads oversubscribe the workers that recognise pages in parallel.
    qputenv("OMP_THREAD_LIMIT", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellumark"));
    QApplication::setOrganizationName(QStringLiteral("Vellumark"));
    QApplication::setDesktopFileName(QStringLiteral("vellumark"));
    // Before any other thread competes for the memory map.
    vmk::platform::prepareThreadStarter();

    // Arguments are files to open; "-VMKKey value" pairs are launch switches, not files.
    QStringList files = vmk::platform::UserDefaults::argumentsWithoutDomain(QApplication::arguments()).mid(1);
    for (QString& file : files)
        file = QFileInfo(file).absoluteFilePath();

    // One process per session: a later launch gives its files to the running one and ends.
    vmk::platform::SingleInstance instance;
    if (!instance.claim() && vmk::platform::SingleInstance::handOver(QStringLiteral("vellumark"), files))
        return 0;
    // Copies a crashed run left behind; only the session's own process may judge them stale.
    if (instance.isListening())
        vmk::platform::removeStaleTemporaryFiles();

    // The document controller first, so that it is the shared one.
    vmk::app::DocumentController controller;
    vmk::app::AppDelegate delegate(&controller);
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    instance.setHandler([&delegate](const QStringList& paths) { return delegate.openHandedOver(paths); });

    QTimer::singleShot(0, &delegate, [&delegate, files] { delegate.launch(files); });
    return app.exec();
}
