// The real program on a real desktop: an X server of its own (Xvfb) with a window manager (openbox), both
// started here. A window manager frames windows after they ask for a place, which a test without one never
// sees.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace {

QString program() { return QStringLiteral(VMK_BUILD_DIR "/bin/vellumark"); }

// Polls `ready` every 100 ms for up to `ms`.
bool waitFor(const std::function<bool()>& ready, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        if (ready())
            return true;
        QThread::msleep(100);
    }
    return ready();
}

void stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

// An X server on a free display with openbox on it; both end with this object.
class Desktop {
public:
    bool start()
    {
        for (int n = 90 + int(QCoreApplication::applicationPid() % 200); n < 400; ++n) {
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
            if (QFileInfo::exists(socket) || QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                continue;
            m_display = QStringLiteral(":%1").arg(n);
            m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            m_server.start(QStringLiteral("Xvfb"), {m_display, QStringLiteral("-screen"), QStringLiteral("0"),
                                                    QStringLiteral("1600x1000x24"), QStringLiteral("-nolisten"),
                                                    QStringLiteral("tcp")});
            if (!m_server.waitForStarted(5000))
                return false;
            if (waitFor([&] { return QFileInfo::exists(socket) || m_server.state() != QProcess::Running; }, 10000)
                && m_server.state() == QProcess::Running)
                break;
            stop(m_server);
            m_display.clear();
        }
        if (m_display.isEmpty())
            return false;

        m_manager.setProcessEnvironment(environment());
        m_manager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        if (!m_manager.waitForStarted(5000))
            return false;
        // Running once it has claimed the screen: it names itself on the root window.
        return waitFor([&] { return run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                                        .contains(QLatin1String("window id")); },
                       10000);
    }
    ~Desktop()
    {
        stop(m_manager);
        stop(m_server);
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return env;
    }

    // A tool's output on this display.
    QString run(const QString& tool, const QStringList& arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(tool, arguments);
        process.waitForFinished(5000);
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    }

    // The visible window whose title starts with `title`, once there is one.
    std::optional<QString> window(const QString& title) const
    {
        QString id;
        waitFor([&] {
            id = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                 QStringLiteral("--name"), QLatin1Char('^') + title})
                     .section(QLatin1Char('\n'), 0, 0)
                     .trimmed();
            return !id.isEmpty();
        }, 20000);
        if (id.isEmpty())
            return std::nullopt;
        return id;
    }

    // Where the window stands once the window manager has placed it (its position stays put for a while).
    QString settledPosition(const QString& id) const
    {
        static const QRegularExpression position(QStringLiteral("Position: (\\S+)"));
        QString last, now;
        waitFor([&] {
            last = now;
            now = position.match(run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), id})).captured(1);
            return !now.isEmpty() && now == last;
        }, 5000);
        return now;
    }

private:
    QString m_display;
    QProcess m_server;
    QProcess m_manager;
};

QString onePagePdf(const QTemporaryDir& dir, const QString& name)
{
    const QString path = dir.filePath(name + QStringLiteral(".pdf"));
    QPdfWriter writer(path);
    QPainter painter(&writer);
    painter.drawText(200, 400, name);
    return path;
}

} // namespace

TEST(WindowManager, ThreeDocumentsOpenedInTurnStandInThreePlaces)
{
    if (!QFileInfo::exists(program()))
        GTEST_SKIP() << "the program is not built";
    for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it): no real window manager to try";
    Desktop desktop;
    ASSERT_TRUE(desktop.start()) << "Xvfb or openbox did not start";

    // The first launch keeps running; the next two hand their files to it, as a file manager's would.
    QTemporaryDir dir;
    QProcess first;
    first.setProcessEnvironment(desktop.environment());
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList positions;
    for (const QString& name : {QStringLiteral("Alder"), QStringLiteral("Birch"), QStringLiteral("Cedar")}) {
        const QString path = onePagePdf(dir, name);
        if (first.state() == QProcess::NotRunning) {
            first.start(program(), {path});
        } else {
            QProcess next;
            next.setProcessEnvironment(desktop.environment());
            next.start(program(), {path});
            ASSERT_TRUE(next.waitForFinished(15000));
        }
        const auto id = desktop.window(name);
        ASSERT_TRUE(id) << name.toStdString() << " never showed a window";
        positions << desktop.settledPosition(*id);
    }
    stop(first);
    EXPECT_EQ(QSet<QString>(positions.begin(), positions.end()).size(), 3) << positions.join(' ').toStdString();
}
