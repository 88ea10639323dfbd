#include "platform/services/UserDefaults.h"

#include "platform/services/ThreadHandOff.h"

#include "platform/services/SettingsGuard.h"
#include "platform/services/SettingsWriter.h"

#include <QCoreApplication>
#include <QMetaType>

#include <optional>

namespace vmk::platform {

namespace {
UserDefaults* g_standardOverride = nullptr;
UserDefaults* g_builtIn = nullptr;

// The key as QSettings keeps it: no leading, trailing or doubled slashes.
QString storedKey(const QString& key)
{
    if (!key.contains(QLatin1Char('/')))
        return key;
    return key.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

// A launch switch is "-" followed by a letter: "-VMKInitialMode". Negative numbers are values, not keys.
bool isSwitch(const QString& argument)
{
    return argument.size() > 1 && argument.at(0) == QLatin1Char('-') && argument.at(1).isLetter();
}

bool isStringLike(const QVariant& v)
{
    const int id = v.metaType().id();
    return id == QMetaType::QString || id == QMetaType::QByteArray;
}

bool isNumber(const QVariant& v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}
// Launch argument values may be written as old-style property lists: "(a, b)" for an array,
// "{key = value; other = \"two words\";}" for a dictionary; anything else is a plain string. Nesting
// deeper than kMaxNesting is no property list (the parser recurses once per level, and an argument
// comes from anyone who can start the program).
class PlistText {
    static constexpr int kMaxNesting = 64;

public:
    explicit PlistText(const QString& text) : m_text(text) {}

    std::optional<QVariant> parseWhole()
    {
        std::optional<QVariant> value = parseValue();
        skipSpace();
        if (!value || m_pos != m_text.size())
            return std::nullopt;
        return value;
    }

private:
    void skipSpace()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }
    bool take(QChar c)
    {
        skipSpace();
        if (m_pos < m_text.size() && m_text.at(m_pos) == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    std::optional<QVariant> parseValue()
    {
        skipSpace();
        if (m_pos >= m_text.size())
            return std::nullopt;
        const QChar c = m_text.at(m_pos);
        if (c == QLatin1Char('(') || c == QLatin1Char('{')) {
            if (m_depth >= kMaxNesting)
                return std::nullopt;
            ++m_depth;
            std::optional<QVariant> nested = c == QLatin1Char('(') ? parseArray() : parseDictionary();
            --m_depth;
            return nested;
        }
        if (c == QLatin1Char('"'))
            return parseQuoted();
        return parseBare();
    }
    std::optional<QVariant> parseArray()
    {
        ++m_pos;
        QVariantList list;
        if (take(QLatin1Char(')')))
            return list;
        for (;;) {
            std::optional<QVariant> item = parseValue();
            if (!item)
                return std::nullopt;
            list.append(*item);
            if (take(QLatin1Char(')')))
                return list;
            if (!take(QLatin1Char(',')))
                return std::nullopt;
            if (take(QLatin1Char(')')))   // a trailing comma is allowed
                return list;
        }
    }
    std::optional<QVariant> parseDictionary()
    {
        ++m_pos;
        QVariantMap map;
        for (;;) {
            if (take(QLatin1Char('}')))
                return map;
            std::optional<QVariant> key = parseValue();
            if (!key || key->metaType().id() != QMetaType::QString || !take(QLatin1Char('=')))
                return std::nullopt;
            std::optional<QVariant> value = parseValue();
            if (!value || !take(QLatin1Char(';')))
                return std::nullopt;
            map.insert(key->toString(), *value);
        }
    }
    std::optional<QVariant> parseQuoted()
    {
        ++m_pos;
        QString out;
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos++);
            if (c == QLatin1Char('"'))
                return out;
            if (c == QLatin1Char('\\') && m_pos < m_text.size()) {
                const QChar e = m_text.at(m_pos++);
                out += e == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : e;
            } else {
                out += c;
            }
        }
        return std::nullopt;
    }
    std::optional<QVariant> parseBare()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos);
            if (c.isSpace() || QStringLiteral("(){},;=\"").contains(c))
                break;
            ++m_pos;
        }
        if (m_pos == start)
            return std::nullopt;
        return QVariant(m_text.mid(start, m_pos - start));
    }

    const QString& m_text;
    qsizetype m_pos = 0;
    int m_depth = 0;
};

QVariant argumentValue(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1Char('(')) || trimmed.startsWith(QLatin1Char('{'))) {
        if (std::optional<QVariant> parsed = PlistText(trimmed).parseWhole())
            return *parsed;
    }
    return text;
}
} // namespace

UserDefaults::UserDefaults(std::unique_ptr<QSettings> settings, QObject* parent) : QObject(parent)
{
    if (!settings)
        return;
    // Qt reads a whole section of the file at the first lookup, so a hostile file is dealt with up front.
    if (settings->format() <= QSettings::IniFormat && settingsguard::setAsideIfTooDeep(settings->fileName()))
        settings->sync();
    m_stored = SettingsWriter::everyValue(*settings);
    m_writer = std::make_unique<SettingsWriter>(std::move(settings), [this](quint64 change, const QVariantMap& stored) {
        QMetaObject::invokeMethod(this, handedOver([this, change, stored] { adoptWritten(change, stored); }),
                                  Qt::QueuedConnection);
    });
}

UserDefaults::UserDefaults(const QString& iniPath, QObject* parent)
    : UserDefaults(std::make_unique<QSettings>(iniPath, QSettings::IniFormat), parent)
{
}

UserDefaults::~UserDefaults()
{
    m_writer.reset(); // finishes writing
}

UserDefaults& UserDefaults::standard()
{
    if (g_standardOverride)
        return *g_standardOverride;
    static UserDefaults* builtIn = [] {
        auto settings = std::make_unique<QSettings>();
        // Only the program's own file: fallbacks would read further files that the guard has not seen.
        settings->setFallbacksEnabled(false);
        auto* defaults = new UserDefaults(std::move(settings));
        g_builtIn = defaults;
        if (QCoreApplication* app = QCoreApplication::instance()) {
            defaults->setArguments(QCoreApplication::arguments());
            // What was set just before quitting is on the disk before the process ends, whether the event
            // loop quits or the application object simply goes.
            QObject::connect(app, &QCoreApplication::aboutToQuit, defaults, &UserDefaults::sync);
            qAddPostRoutine(&UserDefaults::finishWritingAtExit);
        }
        return defaults;
    }();
    return *builtIn;
}

void UserDefaults::setStandard(UserDefaults* defaults) { g_standardOverride = defaults; }

void UserDefaults::finishWritingAtExit()
{
    if (g_builtIn && g_builtIn->m_writer)
        g_builtIn->m_writer->stop();
}

QVariantMap UserDefaults::parseArgumentDomain(const QStringList& arguments)
{
    QVariantMap domain;
    // The first argument is the program.
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (!isSwitch(arguments.at(i)))
            continue;
        domain.insert(arguments.at(i).mid(1), argumentValue(arguments.at(i + 1)));
        ++i;
    }
    return domain;
}

QStringList UserDefaults::argumentsWithoutDomain(const QStringList& arguments)
{
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (i > 0 && i + 1 < arguments.size() && isSwitch(arguments.at(i))) {
            ++i;
            continue;
        }
        rest.append(arguments.at(i));
    }
    return rest;
}

void UserDefaults::setArguments(const QStringList& arguments) { m_arguments = parseArgumentDomain(arguments); }

void UserDefaults::registerDefaults(const QVariantMap& defaults)
{
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_registered.insert(it.key(), it.value());
}

QVariant UserDefaults::object(const QString& key) const
{
    if (auto it = m_arguments.find(key); it != m_arguments.end())
        return *it;
    if (auto it = m_stored.find(storedKey(key)); it != m_stored.end())
        return *it;
    return m_registered.value(key);
}

bool UserDefaults::hasPersistentValue(const QString& key) const { return m_stored.contains(storedKey(key)); }

QString UserDefaults::string(const QString& key) const
{
    const QVariant v = object(key);
    if (isStringLike(v))
        return v.toString();
    if (isNumber(v) && v.metaType().id() != QMetaType::Bool)
        return v.toString();
    return {};
}

qint64 UserDefaults::integer(const QString& key) const
{
    const QVariant v = object(key);
    if (isNumber(v))
        return v.metaType().id() == QMetaType::Double || v.metaType().id() == QMetaType::Float
                   ? qint64(v.toDouble())
                   : v.toLongLong();
    if (isStringLike(v)) {
        const QString s = v.toString().trimmed();
        bool ok = false;
        const qint64 n = s.toLongLong(&ok);
        if (ok)
            return n;
        const double d = s.toDouble(&ok);
        return ok ? qint64(d) : 0;
    }
    return 0;
}

double UserDefaults::doubleValue(const QString& key) const
{
    const QVariant v = object(key);
    if (isNumber(v))
        return v.toDouble();
    if (isStringLike(v)) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok ? d : 0.0;
    }
    return 0.0;
}

bool UserDefaults::boolean(const QString& key) const
{
    const QVariant v = object(key);
    if (v.metaType().id() == QMetaType::Bool)
        return v.toBool();
    if (isNumber(v))
        return v.toDouble() != 0.0;
    if (isStringLike(v)) {
        // INI stores booleans as "true"/"false"; launch arguments say YES/NO or 1/0.
        const QString s = v.toString().trimmed().toLower();
        if (s == QLatin1String("yes") || s == QLatin1String("true"))
            return true;
        bool ok = false;
        const double d = s.toDouble(&ok);
        return ok && d != 0.0;
    }
    return false;
}

QVariantMap UserDefaults::dictionary(const QString& key) const
{
    const QVariant v = object(key);
    if (v.metaType().id() == QMetaType::QVariantMap)
        return v.toMap();
    if (v.metaType().id() == QMetaType::QVariantHash) {
        QVariantMap map;
        const QVariantHash hash = v.toHash();
        for (auto it = hash.begin(); it != hash.end(); ++it)
            map.insert(it.key(), it.value());
        return map;
    }
    return {};
}

QVariantList UserDefaults::array(const QString& key) const
{
    const QVariant v = object(key);
    if (v.metaType().id() == QMetaType::QVariantList)
        return v.toList();
    if (v.metaType().id() == QMetaType::QStringList) {
        QVariantList list;
        for (const QString& s : v.toStringList())
            list.append(s);
        return list;
    }
    return {};
}

QStringList UserDefaults::stringArray(const QString& key) const
{
    const QVariant v = object(key);
    if (v.metaType().id() == QMetaType::QStringList)
        return v.toStringList();
    QStringList out;
    for (const QVariant& item : array(key)) {
        if (!isStringLike(item))
            return {};
        out.append(item.toString());
    }
    return out;
}

void UserDefaults::set(const QString& key, const QVariant& value)
{
    if (!m_writer)
        return;
    if (!value.isValid()) {
        remove(key);
        return;
    }
    const QString stored = storedKey(key);
    applyToStored(stored, value);
    m_unwritten.push_back({++m_lastChange, stored, value});
    m_writer->change(m_lastChange, stored, value);
    emit valueChanged(key);
}

void UserDefaults::remove(const QString& key)
{
    if (!m_writer)
        return;
    const QString stored = storedKey(key);
    applyToStored(stored, QVariant());
    m_unwritten.push_back({++m_lastChange, stored, QVariant()});
    m_writer->change(m_lastChange, stored, QVariant());
    emit valueChanged(key);
}

void UserDefaults::applyToStored(const QString& key, const QVariant& value)
{
    if (value.isValid()) {
        m_stored.insert(key, value);
        return;
    }
    if (key.isEmpty()) {
        m_stored.clear();
        return;
    }
    m_stored.remove(key);
    const QString under = key + QLatin1Char('/');
    for (auto it = m_stored.lowerBound(under); it != m_stored.end() && it.key().startsWith(under);)
        it = m_stored.erase(it);
}

// The store as written, which may hold what another process wrote, with the changes made since on top.
void UserDefaults::adoptWritten(quint64 change, const QVariantMap& stored)
{
    while (!m_unwritten.empty() && m_unwritten.front().number <= change)
        m_unwritten.pop_front();
    m_stored = stored;
    for (const Change& later : m_unwritten)
        applyToStored(later.key, later.value);
}

void UserDefaults::sync()
{
    if (!m_writer)
        return;
    m_writer->requestWrite();
    m_writer->finish();
}

} // namespace vmk::platform
