#include "LongTaskTestSupport.h"

#include "editor/LongTask.h"
#include "support/PaintedPdf.h"
#include "support/Wait.h"

#include <QFont>
#include <QPainter>
#include <QThreadPool>

#include <gtest/gtest.h>

namespace vmk::test {

void HeldRunner::run(QObject* context, std::function<void()> work, std::function<void()> done)
{
    m_jobs.push_back(Job{context, std::move(work), std::move(done)});
}

bool HeldRunner::runNext() { return runJob(0); }

bool HeldRunner::runJob(int position)
{
    if (position < 0 || position >= int(m_jobs.size()))
        return false;
    Job job = std::move(m_jobs[size_t(position)]);
    m_jobs.erase(m_jobs.begin() + position);
    job.work();
    if (job.context)
        job.done();
    return true;
}

void HeldRunner::runAll()
{
    while (runNext()) {
    }
}

bool HeldRunner::finish(const Editor& editor, int timeoutMs)
{
    runAll();
    return eventually(
        [&] {
            runAll();
            return !editor.progress().has_value();
        },
        timeoutMs);
}

PoolSize::PoolSize(int threads) : m_previous(DetachedRunner::taskPool().maxThreadCount())
{
    DetachedRunner::taskPool().setMaxThreadCount(threads);
}

PoolSize::~PoolSize() { DetachedRunner::taskPool().setMaxThreadCount(m_previous); }

PanelWindow::PanelWindow() : m_widget(std::make_unique<QWidget>()) {}

void PanelWindow::runAlert(const AlertRequest& request, std::function<void(int)> completion)
{
    alerts << request;
    completion(alertAnswer);
}

void PanelWindow::runSavePanel(const SavePanelRequest& request, std::function<void(std::optional<QString>)> completion)
{
    savePanels << request;
    completion(saveAnswer);
}

void PanelWindow::runImageExportPanel(const FolderPanelRequest& request,
                                      const std::shared_ptr<ImageExportOptions>& options, int pageCount,
                                      std::function<void(std::optional<QString>)> completion)
{
    folderPanels << request;
    lastOptions = options;
    lastPageCount = pageCount;
    if (chooseOptions)
        chooseOptions(*options);
    completion(folderAnswer);
}

void PanelWindow::showErrorAlert(const QString& message, const QString& detail)
{
    errors << message + QStringLiteral(": ") + detail;
}

QByteArray makeScannedPdf(const QStringList& texts, const QSizeF& pageSize)
{
    return paintedPdf(int(texts.size()), pageSize, [&](QPainter& painter, int i) {
        QImage picture((pageSize * 4).toSize(), QImage::Format_RGB32);
        picture.fill(Qt::white);
        if (!texts[i].isEmpty()) {
            QPainter ink(&picture);
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setPixelSize(int(pageSize.height() * 4 / 5));
            ink.setFont(font);
            ink.setPen(Qt::black);
            ink.drawText(picture.rect(), Qt::AlignCenter, texts[i]);
        }
        painter.drawImage(QRectF(QPointF(0, 0), pageSize), picture);
    });
}

bool makeSearchableDecided(const Editor& editor, int timeoutMs)
{
    return eventually([&] { return editor.progress().has_value() || editor.toast().has_value(); }, timeoutMs);
}

pdf::DocumentPtr openPdf(const QByteArray& bytes)
{
    pdf::Result<pdf::DocumentPtr> opened = pdf::Document::fromData(bytes);
    EXPECT_TRUE(opened.ok()) << opened.error().toStdString();
    return opened ? opened.value() : pdf::Document::createEmpty();
}

} // namespace vmk::test
