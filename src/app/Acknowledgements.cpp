#include "app/Acknowledgements.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace vmk::app {

namespace {

std::optional<QString> readUtf8(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

QString acknowledgementsText(const QString& dataDirectory)
{
    const QDir dir(dataDirectory);
    QString text = QStringLiteral("Vellumark uses PDFium for editing existing text and images.\nPDFium build %1 from %2.\n\n")
                       .arg(QLatin1String(kPdfiumBuildName), QLatin1String(kPdfiumSource));
    if (const auto licence = readUtf8(dir.filePath(QStringLiteral("LICENSE"))))
        text += QStringLiteral("PDFium\n\n") + *licence + QStringLiteral("\n\n");

    const QDir folder(dir.filePath(QStringLiteral("licenses")));
    QStringList names = folder.entryList(QDir::Files | QDir::Hidden, QDir::NoSort);
    // Plain code-point order, so that capitals come before small letters.
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseSensitive) < 0; });
    for (const QString& name : std::as_const(names)) {
        const auto body = readUtf8(folder.filePath(name));
        if (!body)
            continue;
        const QString stem = QFileInfo(name).completeBaseName();
        text += QStringLiteral("\u2014\u2014\u2014\u2014 %1 \u2014\u2014\u2014\u2014\n\n").arg(stem) + *body + QStringLiteral("\n\n");
    }
    return text;
}

QWidget* makeAcknowledgementsWindow(const QString& text)
{
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setObjectName(QStringLiteral("AcknowledgementsWindow"));
    window->setWindowTitle(QStringLiteral("Acknowledgements"));
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->resize(620, 560);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new QPlainTextEdit(window);
    view->setReadOnly(true);
    view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(10);
    view->setFont(mono);
    view->document()->setDocumentMargin(14);
    view->setPlainText(text);
    layout->addWidget(view);
    return window;
}

QString aboutCredits()
{
    return QStringLiteral(
        "<p align=\"center\">Read, mark up, edit, sign, organize, compress, protect, redact "
        "and OCR.<br>Free forever. No accounts. No tracking. Nothing leaves your computer.</p>"
        "<p align=\"center\">Text and image editing uses PDFium (BSD-3-Clause). See Help "
        "\u25B8 Acknowledgements.</p>");
}

} // namespace vmk::app
