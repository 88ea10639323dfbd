#include "platform/services/Logger.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMutex>
#include <QRegularExpression>

#include <cstdio>

namespace vmk::platform {

namespace {
QMutex& sinkMutex()
{
    static QMutex mutex;
    return mutex;
}

double monotonicMs()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return double(timer.nsecsElapsed()) / 1e6;
}

QString quoted(const QString& name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QStringLiteral("'"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}
} // namespace

Logger::Logger() = default;

Logger& Logger::shared()
{
    static Logger logger;
    return logger;
}

void Logger::emitLine(const QString& category, const QString& line)
{
    std::map<int, Sink> sinks;
    bool console;
    {
        QMutexLocker lock(&sinkMutex());
        sinks = m_sinks;
        console = m_console;
    }
    if (console) {
        // Qt's categories let the user filter lines with QT_LOGGING_RULES ("vmk.perf.info=false").
        const QByteArray name = "vmk." + category.toUtf8();
        QLoggingCategory logCategory(name.constData(), QtInfoMsg);
        if (logCategory.isInfoEnabled())
            std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    }
    for (auto& [handle, sink] : sinks)
        sink(line);
}

void Logger::log(const QString& category, const QString& message)
{
    emitLine(category, category + QStringLiteral(": ") + message);
}

quint64 Logger::beginInterval(const QString& name)
{
    const quint64 id = m_nextId++;
    m_openIntervals[id] = nowMs();
    emitLine(QStringLiteral("signpost"),
             QStringLiteral("signpost begin %1 id=%2").arg(quoted(name)).arg(id));
    return id;
}

void Logger::endInterval(const QString& name, quint64 id)
{
    auto it = m_openIntervals.find(id);
    QString line = QStringLiteral("signpost end %1 id=%2").arg(quoted(name)).arg(id);
    if (it != m_openIntervals.end()) {
        line += QStringLiteral(" ms=%1").arg(nowMs() - it->second, 0, 'f', 1);
        m_openIntervals.erase(it);
    }
    emitLine(QStringLiteral("signpost"), line);
}

void Logger::event(const QString& name)
{
    const quint64 id = m_nextId++;
    emitLine(QStringLiteral("signpost"), QStringLiteral("signpost event %1 id=%2").arg(quoted(name)).arg(id));
}

int Logger::addSink(Sink sink)
{
    QMutexLocker lock(&sinkMutex());
    const int handle = m_nextSink++;
    m_sinks.emplace(handle, std::move(sink));
    return handle;
}

void Logger::removeSink(int handle)
{
    QMutexLocker lock(&sinkMutex());
    m_sinks.erase(handle);
}

void Logger::setConsoleOutput(bool on)
{
    QMutexLocker lock(&sinkMutex());
    m_console = on;
}

void Logger::setClock(Clock clock) { m_clock = std::move(clock); }

double Logger::nowMs() const { return m_clock ? m_clock() : monotonicMs(); }

// --- SignpostInterval ----------------------------------------------------------------------------------

SignpostInterval::SignpostInterval(const QString& name, Logger& logger)
    : m_logger(logger), m_name(name), m_id(logger.beginInterval(name))
{
}

SignpostInterval::~SignpostInterval() { end(); }

void SignpostInterval::end()
{
    if (m_ended)
        return;
    m_ended = true;
    m_logger.endInterval(m_name, m_id);
}

// --- LogCapture ----------------------------------------------------------------------------------------

LogCapture::LogCapture(Logger& logger)
    : m_logger(logger), m_handle(logger.addSink([this](const QString& line) { m_lines.append(line); }))
{
}

LogCapture::~LogCapture() { m_logger.removeSink(m_handle); }

QStringList LogCapture::linesWithPrefix(const QString& prefix) const
{
    QStringList out;
    for (const QString& line : m_lines) {
        if (line.startsWith(prefix))
            out.append(line);
    }
    return out;
}

// --- Parsing -------------------------------------------------------------------------------------------

std::optional<ParsedLogLine> parseLogLine(const QString& line)
{
    ParsedLogLine parsed;
    QString rest;
    static const QRegularExpression signpost(QStringLiteral("^signpost (begin|end|event) \"([^\"]*)\"(.*)$"));
    static const QRegularExpression plain(QStringLiteral("^([A-Za-z0-9_.-]+): (.*)$"));
    if (const auto m = signpost.match(line); m.hasMatch()) {
        parsed.head = QStringLiteral("signpost ") + m.captured(1);
        parsed.name = m.captured(2);
        rest = m.captured(3);
    } else if (const auto m2 = plain.match(line); m2.hasMatch()) {
        parsed.head = m2.captured(1);
        rest = m2.captured(2);
    } else {
        return std::nullopt;
    }
    const QStringList words = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& word : words) {
        const qsizetype eq = word.indexOf(QLatin1Char('='));
        if (eq > 0)
            parsed.fields.insert(word.left(eq), word.mid(eq + 1));
        else if (parsed.message.isEmpty())
            parsed.message = word;
    }
    return parsed;
}

} // namespace vmk::platform
