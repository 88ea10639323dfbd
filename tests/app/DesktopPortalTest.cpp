// The "system" appearance and the animations switch against a real message bus: a private dbus-daemon
// with a stand-in for the desktop's settings portal. Each case runs in a process of its own, because a
// process connects to its session bus once and for good.

#include "WindowFixture.h"

#include "app/Appearance.h"
#include "platform/services/DesktopAnimations.h"
#include "platform/services/DesktopColorScheme.h"
#include "platform/services/ReduceMotion.h"
#include "support/MainThreadStall.h"
#include "support/Slowdown.h"
#include "support/Wait.h"

#include <QApplication>
#include <QAtomicInt>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::app;
using namespace vmk::app::test;

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kInterface = QStringLiteral("org.gnome.desktop.interface");
const char* kCaseVariable = "VMK_PORTAL_CASE";

// The settings portal as the desktop serves it: Read (the value in two variants, as the first versions
// of the portal answer) and ReadOne (one variant), NotFound for settings it does not have, and the
// SettingChanged signal. An older portal knows no ReadOne; a stuck one never answers.
class FakeSettingsPortal : public QDBusVirtualObject {
public:
    enum class Kind { current, withoutReadOne, silent };

    FakeSettingsPortal(QDBusConnection connection, Kind kind) : m_connection(std::move(connection)), m_kind(kind) {}

    void set(const QString& group, const QString& key, const QVariant& value)
    {
        QMutexLocker lock(&m_mutex);
        m_values[group + QLatin1Char('\n') + key] = value;
    }

    // Sets the value and announces it, as the portal does when the user changes it.
    void change(const QString& group, const QString& key, const QVariant& value)
    {
        set(group, key, value);
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kSettings, QStringLiteral("SettingChanged"));
        signal << group << key << QVariant::fromValue(QDBusVariant(value));
        m_connection.send(signal);
    }

    int calls() const { return m_calls.loadAcquire(); }

    QString introspect(const QString&) const override { return {}; }

    // Called on the bus connection's own thread.
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != kSettings)
            return false;
        m_calls.ref();
        const QString method = message.member();
        if (m_kind == Kind::silent)
            return true; // never answers
        if (method == QLatin1String("ReadOne") && m_kind == Kind::withoutReadOne) {
            connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                                     QStringLiteral("No such method")));
            return true;
        }
        if (method != QLatin1String("ReadOne") && method != QLatin1String("Read"))
            return false;
        const QList<QVariant> args = message.arguments();
        QVariant value;
        {
            QMutexLocker lock(&m_mutex);
            if (args.size() == 2)
                value = m_values.value(args[0].toString() + QLatin1Char('\n') + args[1].toString());
        }
        if (!value.isValid()) {
            connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                                                     QStringLiteral("Requested setting not found")));
            return true;
        }
        QVariant answer = QVariant::fromValue(QDBusVariant(value));
        if (method == QLatin1String("Read"))
            answer = QVariant::fromValue(QDBusVariant(answer));
        connection.send(message.createReply(answer));
        return true;
    }

private:
    QDBusConnection m_connection;
    Kind m_kind;
    QMutex m_mutex;
    QHash<QString, QVariant> m_values;
    QAtomicInt m_calls;
};

// A private bus for one case: no activatable services, so a portal is there only when a case puts one there.
struct PrivateBus {
    QTemporaryDir dir;
    QProcess daemon;
    QString address;

    bool start(const QString& program)
    {
        const QString config = dir.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                                  "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                  "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                                  "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                       .arg(dir.path())
                       .toUtf8());
        file.close();
        daemon.start(program, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                               QStringLiteral("--print-address=1")});
        if (!daemon.waitForStarted(5000))
            return false;
        QElapsedTimer clock;
        clock.start();
        while (!daemon.canReadLine() && clock.elapsed() < 5000)
            daemon.waitForReadyRead(100);
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        return !address.isEmpty();
    }

    ~PrivateBus()
    {
        if (daemon.state() != QProcess::NotRunning) {
            daemon.terminate();
            if (!daemon.waitForFinished(2000))
                daemon.kill();
            daemon.waitForFinished(2000);
        }
    }
};

bool isDarkWindow(QWidget* window)
{
    return window->palette().color(QPalette::Window) == darkPalette().color(QPalette::Window);
}

bool isLightWindow(QWidget* window)
{
    return window->palette().color(QPalette::Window) == lightPalette().color(QPalette::Window);
}

// How long a portal that never answers may hold the application up, at most: its calls time out and
// the defaults stand.
constexpr int kGiveUpMs = vmk::test::scaledMs(6000);

// Six windows start at once, one per case; on a loaded machine each may take seconds to come up.
constexpr int kArriveMs = vmk::test::scaledMs(10000);

} // namespace

// --- What each case does, in a process of its own on its own bus ------------------------------------------

TEST(DesktopPortalCase, Run)
{
    const QString name = qEnvironmentVariable(kCaseVariable);
    if (name.isEmpty())
        GTEST_SKIP() << "runs only as a case of DesktopPortal.*";
    const QPalette platformPalette = QApplication::palette();

    // The portal, when the case has one, is up before the application starts.
    std::unique_ptr<FakeSettingsPortal> portal;
    QDBusConnection server = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                                                           QStringLiteral("settings-portal"));
    ASSERT_TRUE(server.isConnected());
    const bool present = name != QLatin1String("absent");
    uint initial = 0;
    if (present) {
        const auto kind = name == QLatin1String("silent")           ? FakeSettingsPortal::Kind::silent
                          : name.startsWith(QLatin1String("older")) ? FakeSettingsPortal::Kind::withoutReadOne
                                                                    : FakeSettingsPortal::Kind::current;
        initial = name.right(1).toUInt();
        portal = std::make_unique<FakeSettingsPortal>(server, kind);
        portal->set(kAppearance, QStringLiteral("color-scheme"), QVariant::fromValue(initial));
        portal->set(kInterface, QStringLiteral("enable-animations"), false);
        ASSERT_TRUE(server.registerVirtualObject(kPath, portal.get(), QDBusConnection::SingleNode));
        ASSERT_TRUE(server.registerService(kService));
    }

    // The application starts with the appearance left to the system; nothing it does waits on the portal.
    QElapsedTimer clock;
    clock.start();
    OneWindow app(1, QStringLiteral("portal.pdf"));
    QMainWindow* window = app.w->documentWindow();
    window->show();
    // A launch that waited on the silent portal would wait out the bus's 25 s call time-out.
    EXPECT_LT(clock.elapsed(), vmk::test::scaledMs(10000)) << "the launch waited on the bus";
    auto& scheme = platform::DesktopColorScheme::shared();
    auto& animations = platform::DesktopAnimations::shared();

    if (!present || name == QLatin1String("silent")) {
        // Its questions end (answered with an error, or timed out) while the window keeps answering, and
        // the defaults stand: the platform's palette, animations on. A question that waited on the silent
        // portal would hold the window for the whole of its two-second time-out.
        const auto asking = [] {
            return platform::DesktopColorScheme::shared().findChildren<QObject*>().size()
                   + platform::DesktopAnimations::shared().findChildren<QObject*>().size();
        };
        const int portalsOnly = 2; // each follows its one setting
        const qint64 stall = vmk::test::longestMainThreadStall([&] { return asking() != portalsOnly; }, kGiveUpMs);
        EXPECT_EQ(asking(), portalsOnly) << "the portal's questions never ended";
        EXPECT_LT(stall, vmk::test::scaledMs(400)) << "the event loop stalled while the portal was asked";
        if (portal) {
            EXPECT_GE(portal->calls(), 2);
        }
        EXPECT_EQ(scheme.scheme(), platform::ColorScheme::noPreference);
        EXPECT_EQ(window->palette().color(QPalette::Window), platformPalette.color(QPalette::Window));
        EXPECT_TRUE(animations.enabled());
        return;
    }

    // The preference the portal holds at launch is applied.
    ASSERT_TRUE(vmk::test::eventually([&] { return !animations.enabled(); }, kArriveMs)) << "animations never read";
    EXPECT_TRUE(platform::reduceMotionEnabled());
    switch (initial) {
    case 1:
        ASSERT_TRUE(vmk::test::eventually([&] { return isDarkWindow(window); }, kArriveMs));
        EXPECT_EQ(scheme.scheme(), platform::ColorScheme::dark);
        break;
    case 2:
        ASSERT_TRUE(vmk::test::eventually([&] { return isLightWindow(window); }, kArriveMs));
        EXPECT_EQ(scheme.scheme(), platform::ColorScheme::light);
        break;
    default:
        // Both settings are asked together: once the animations have arrived, so has the preference.
        app.settle();
        EXPECT_EQ(scheme.scheme(), platform::ColorScheme::noPreference);
        EXPECT_EQ(window->palette().color(QPalette::Window), platformPalette.color(QPalette::Window));
    }

    // Changes on the desktop reach the open window at once.
    portal->change(kAppearance, QStringLiteral("color-scheme"), QVariant::fromValue(uint(initial == 1 ? 2 : 1)));
    if (initial == 1)
        EXPECT_TRUE(vmk::test::eventually([&] { return isLightWindow(window); }, kArriveMs)) << "no switch to light";
    else
        EXPECT_TRUE(vmk::test::eventually([&] { return isDarkWindow(window); }, kArriveMs)) << "no switch to dark";
    portal->change(kInterface, QStringLiteral("enable-animations"), true);
    EXPECT_TRUE(vmk::test::eventually([&] { return animations.enabled(); }, kArriveMs));
    EXPECT_FALSE(platform::reduceMotionEnabled());
    // Other settings of the same groups change nothing here (signals arrive in order: they are handled
    // once the next change has arrived).
    portal->change(kAppearance, QStringLiteral("accent-color"), QVariant::fromValue(uint(1)));
    portal->change(kInterface, QStringLiteral("enable-hot-corners"), false);
    // Withdrawing the preference puts the platform's palette back, as at a launch without one.
    portal->change(kAppearance, QStringLiteral("color-scheme"), QVariant::fromValue(uint(0)));
    EXPECT_TRUE(vmk::test::eventually([&] {
        return scheme.scheme() == platform::ColorScheme::noPreference
               && window->palette().color(QPalette::Window) == platformPalette.color(QPalette::Window);
    }, kArriveMs)) << "the platform's palette did not come back";
    EXPECT_TRUE(animations.enabled());
}

// --- The cases, each on a fresh bus in a fresh process --------------------------------------------------

TEST(DesktopPortal, PreferenceAtLaunchLiveChangesAndAMissingOrStuckPortal)
{
    if (!qEnvironmentVariableIsEmpty(kCaseVariable))
        GTEST_SKIP();
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    const QStringList cases{QStringLiteral("dark 1"), QStringLiteral("light 2"), QStringLiteral("none 0"),
                            QStringLiteral("older portal 1"), QStringLiteral("absent"), QStringLiteral("silent")};
    std::vector<std::unique_ptr<PrivateBus>> buses;
    std::vector<std::unique_ptr<QProcess>> runs;
    for (const QString& name : cases) {
        auto bus = std::make_unique<PrivateBus>();
        ASSERT_TRUE(bus->start(daemon)) << "no private bus";
        auto run = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus->address);
        env.insert(QString::fromLatin1(kCaseVariable), name);
        env.remove(QStringLiteral("VMK_REDUCE_MOTION")); // the desktop's switch decides
        run->setProcessEnvironment(env);
        run->setProcessChannelMode(QProcess::MergedChannels);
        run->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=DesktopPortalCase.Run")});
        buses.push_back(std::move(bus));
        runs.push_back(std::move(run));
    }
    for (size_t i = 0; i < runs.size(); ++i) {
        QProcess& run = *runs[i];
        const bool finished = run.waitForFinished(vmk::test::scaledMs(40000));
        const QString output = QString::fromLocal8Bit(run.readAll());
        if (!finished)
            run.kill();
        EXPECT_TRUE(finished && run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0)
            << "case " << cases[int(i)].toStdString() << ":\n" << output.right(4000).toStdString();
    }
}
