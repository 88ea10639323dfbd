#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    // Tesseract's OpenMP threads oversubscribe the workers that recognise pages in parallel.
    qputenv("OMP_THREAD_LIMIT", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vellumark");
    QMainWindow window;
    window.resize(900, 700);
    window.show();
    return app.exec();
}
