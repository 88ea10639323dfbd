#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>

namespace vmk::platform {

// One line per message, readable by a person and parseable by a test:
//   perf: launch-to-first-window ms=412.0 window=welcome
//   signpost begin "Open Document" id=3
//   signpost end "Open Document" id=3 ms=12.5
//   signpost event "First window" id=4
// Lines go to every sink; the built-in sink writes them to standard error through Qt's logging under
// the category "vmk.<category>" (so QT_LOGGING_RULES can silence them). Main thread only for signposts;
// log() may be called from any thread.
class Logger {
public:
    using Sink = std::function<void(const QString& line)>;
    using Clock = std::function<double()>;   // milliseconds on a monotonic clock

    static Logger& shared();

    void log(const QString& category, const QString& message);

    // Signpost intervals are matched by id; ending prints the elapsed milliseconds (one decimal).
    quint64 beginInterval(const QString& name);
    void endInterval(const QString& name, quint64 id);
    void event(const QString& name);

    int addSink(Sink sink);
    void removeSink(int handle);
    // Turns the built-in standard-error sink off or on (on by default).
    void setConsoleOutput(bool on);

    // Replaces the clock for signpost durations (null restores the monotonic clock).
    void setClock(Clock clock);
    double nowMs() const;

private:
    Logger();
    void emitLine(const QString& category, const QString& line);

    std::map<int, Sink> m_sinks;
    int m_nextSink = 1;
    bool m_console = true;
    Clock m_clock;
    quint64 m_nextId = 1;
    std::map<quint64, double> m_openIntervals;
};

// An interval that ends when it goes out of scope (so every way out of a function ends it).
class SignpostInterval {
public:
    explicit SignpostInterval(const QString& name, Logger& logger = Logger::shared());
    ~SignpostInterval();
    SignpostInterval(const SignpostInterval&) = delete;
    SignpostInterval& operator=(const SignpostInterval&) = delete;
    void end();
    quint64 id() const { return m_id; }

private:
    Logger& m_logger;
    QString m_name;
    quint64 m_id;
    bool m_ended = false;
};

// Collects the lines logged while it lives (for tests).
class LogCapture {
public:
    explicit LogCapture(Logger& logger = Logger::shared());
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    const QStringList& lines() const { return m_lines; }
    QStringList linesWithPrefix(const QString& prefix) const;
    void clear() { m_lines.clear(); }

private:
    Logger& m_logger;
    int m_handle;
    QStringList m_lines;
};

// A log line taken apart: the head ("perf", or "signpost begin"/"signpost end"/"signpost event"), the
// quoted signpost name, the first bare word of a message ("launch-to-first-window") and its key=value
// fields ("ms" -> "412.0").
struct ParsedLogLine {
    QString head;
    QString name;
    QString message;
    QMap<QString, QString> fields;
};
std::optional<ParsedLogLine> parseLogLine(const QString& line);

inline const QString kPerfCategory = QStringLiteral("perf");

} // namespace vmk::platform
