#include "platform/services/SingleInstance.h"

#include "platform/services/TempFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>

namespace vmk::platform {

namespace {

// A request or answer larger than this is not one of ours.
constexpr qint64 kMaxMessage = 4 * 1024 * 1024;

QStringList stringsOf(const QJsonValue& value)
{
    QStringList out;
    for (const QJsonValue& v : value.toArray())
        if (v.isString())
            out << v.toString();
    return out;
}

QByteArray message(const char* key, const QStringList& list)
{
    QJsonObject object;
    object.insert(QLatin1String(key), QJsonArray::fromStringList(list));
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// Reads one line from socket within the time left; empty on timeout or a line too long.
QByteArray readLine(QLocalSocket& socket, QElapsedTimer& clock, int timeoutMs)
{
    QByteArray buffer;
    while (!buffer.contains('\n')) {
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0 || buffer.size() > kMaxMessage)
            return {};
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(left))
            return {};
        buffer += socket.readAll();
    }
    return buffer.left(buffer.indexOf('\n'));
}

} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent), m_name(name) {}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

QString SingleInstance::socketPath(const QString& name)
{
    const QString folder = privateTemporaryFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(name + QStringLiteral(".socket"));
}

bool SingleInstance::isListening() const { return m_server && m_server->isListening(); }

bool SingleInstance::claim()
{
    const QString path = socketPath(m_name);
    if (path.isEmpty())
        return true; // no private folder: run on our own rather than not at all
    // Two launches at the same moment decide one after the other.
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.setStaleLockTime(5000);
    lock.tryLock(5000);

    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(1000)) {
        probe.disconnectFromServer();
        return false;
    }
    QLocalServer::removeServer(path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path))
        return true; // could not listen: still our own process, only without hand-overs
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::serveConnection);
    return true;
}

void SingleInstance::serveConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        QPointer<QLocalSocket> guard(socket);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, guard, buffer] {
            if (!guard)
                return;
            *buffer += guard->readAll();
            if (buffer->size() > kMaxMessage) {
                guard->abort();
                return;
            }
            const qsizetype end = buffer->indexOf('\n');
            if (end < 0)
                return;
            const QJsonObject request = QJsonDocument::fromJson(buffer->left(end)).object();
            buffer->clear();
            QStringList paths;
            for (const QString& path : stringsOf(request.value(QStringLiteral("open"))))
                if (QDir::isAbsolutePath(path))
                    paths << path;
            const QStringList open = m_handler ? m_handler(paths) : QStringList();
            if (!guard)
                return;
            guard->write(message("documents", open));
            guard->flush();
            guard->disconnectFromServer();
        });
    }
}

std::optional<QStringList> SingleInstance::handOver(const QString& name, const QStringList& paths, int timeoutMs)
{
    const QString path = socketPath(name);
    if (path.isEmpty())
        return std::nullopt;
    QElapsedTimer clock;
    clock.start();
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs))
        return std::nullopt;
    socket.write(message("open", paths));
    if (!socket.waitForBytesWritten(std::max(1, timeoutMs - int(clock.elapsed()))))
        return std::nullopt;
    // Delivered: a running process that is slow to answer (a dialog of its own open) still has the files.
    const QByteArray line = readLine(socket, clock, timeoutMs);
    const QJsonDocument answer = QJsonDocument::fromJson(line);
    if (!answer.isObject())
        return QStringList();
    return stringsOf(answer.object().value(QStringLiteral("documents")));
}

} // namespace vmk::platform
