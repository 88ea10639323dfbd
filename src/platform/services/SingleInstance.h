#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

class QLocalServer;

namespace vmk::platform {

// One process per user session. The first process claims a local socket in the user's private runtime
// folder; a later launch connects to it, hands over the files it was asked to open and exits, so a file
// opened twice (from the file manager, the command line) comes to the one window that already shows it.
//
// Protocol: one line of compact JSON, {"open": [absolute paths]}; the running process opens them and
// answers with one line, {"documents": [the files it has open]}.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // name: the socket's name inside the private runtime folder.
    explicit SingleInstance(const QString& name = QStringLiteral("vellumark"), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Becomes the session's process unless a live one answers on the socket; false then (hand over).
    // A socket left by a process that died is replaced.
    bool claim();
    bool isListening() const;

    // Called for each hand-over with its files; answers the files now open.
    using Handler = std::function<QStringList(const QStringList& paths)>;
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    // Hands paths to the running process; its answer (the files it has open; empty when it did not
    // answer in time), or nothing when no process took the files.
    static std::optional<QStringList> handOver(const QString& name, const QStringList& paths, int timeoutMs = 5000);
    static QString socketPath(const QString& name);

private:
    void serveConnection();

    QString m_name;
    QLocalServer* m_server = nullptr;
    Handler m_handler;
};

} // namespace vmk::platform
