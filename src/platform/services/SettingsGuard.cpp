#include "platform/services/SettingsGuard.h"

#include "platform/services/Logger.h"

#include <QFile>
#include <QMetaType>
#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace vmk::platform::settingsguard {

namespace {

int digitValue(char c, int base)
{
    if (c >= '0' && c <= '7')
        return c - '0';
    if (base == 8)
        return -1;
    if (c >= '8' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

char simpleEscape(char c)
{
    static constexpr std::array<std::pair<char, char>, 11> codes{{{'a', '\a'}, {'b', '\b'}, {'f', '\f'},
        {'n', '\n'}, {'r', '\r'}, {'t', '\t'}, {'v', '\v'}, {'"', '"'}, {'?', '?'}, {'\'', '\''}, {'\\', '\\'}}};
    for (const auto& [letter, value] : codes) {
        if (letter == c)
            return value;
    }
    return 0;
}

// Type ids that can hold further QVariants: maps, lists, hashes, pairs, and named user types (which may name
// a container). Old streams number the pair 97 higher.
bool mayHoldVariants(quint32 id)
{
    return id == QMetaType::QVariantMap || id == QMetaType::QVariantList || id == QMetaType::QVariantHash
        || id == QMetaType::QVariantPair || id == QMetaType::QVariantPair + 97 || id == 127
        || id == QMetaType::User;
}

// Walks one serialized QVariant the way QDataStream reads it and reports how deep it nests. Streams written
// for "@Variant(" are version 4.0 (old type numbers, no null flag); "@DateTime(" streams are version 5.6.
class StreamDepth {
public:
    StreamDepth(QByteArrayView bytes, bool modern) : m_bytes(bytes), m_modern(modern) {}

    // Whether the value at the start stays within kMaxNesting levels.
    bool withinBound()
    {
        const Step step = value(1);
        return step != Step::TooDeep;
    }
    qsizetype consumed() const { return m_pos; }

private:
    // Continue: the value was read whole; Stop: the reader gives up here (data ends or is corrupt).
    enum class Step { Continue, Stop, TooDeep };

    bool skip(qsizetype count)
    {
        if (m_bytes.size() - m_pos < count) {
            m_pos = m_bytes.size();
            return false;
        }
        m_pos += count;
        return true;
    }
    bool u32(quint32& out)
    {
        if (m_bytes.size() - m_pos < 4) {
            m_pos = m_bytes.size();
            return false;
        }
        const auto* p = reinterpret_cast<const uchar*>(m_bytes.data() + m_pos);
        out = quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
        m_pos += 4;
        return true;
    }
    // QString and QByteArray: a byte length (all ones for null), then the bytes.
    bool blob(QByteArray* out = nullptr)
    {
        quint32 length = 0;
        if (!u32(length))
            return false;
        if (length == 0xffffffffu)
            return true;
        if (out && m_bytes.size() - m_pos >= qsizetype(length))
            *out = m_bytes.sliced(m_pos, length).toByteArray();
        return skip(length);
    }
    Step dateTime()
    {
        // Date (julian day), time (milliseconds), then for newer streams the kind of time (local, UTC, an offset or a named zone) and its details.
        if (!skip(m_modern ? 8 + 4 : 4 + 4) || !skip(1))
            return Step::Stop;
        if (!m_modern)
            return Step::Continue;
        const char timeKind = m_bytes.at(m_pos - 1);
        if (timeKind == 2)
            return skip(4) ? Step::Continue : Step::Stop;
        if (timeKind != 3)
            return Step::Continue;
        QByteArray zone;
        if (!blob(&zone))
            return Step::Stop;
        if (zone != QByteArray("O\0f\0f\0s\0e\0t\0F\0r\0o\0m\0U\0t\0c\0", 26))
            return Step::Continue;
        return blob() && skip(4) && blob() && blob() && skip(4) && blob() ? Step::Continue : Step::Stop;
    }
    // Something this walk doesn't take apart: it may still hold containers, so count every place in the rest
    // of the text where a container's type could begin, and allow that many more levels.
    Step unknown(int depth)
    {
        int headers = 0;
        for (qsizetype p = m_pos; p + 4 <= m_bytes.size(); ++p) {
            const auto* b = reinterpret_cast<const uchar*>(m_bytes.data() + p);
            if (mayHoldVariants(quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | quint32(b[3]))
                && depth + ++headers > kMaxNesting)
                return Step::TooDeep;
        }
        m_pos = m_bytes.size();
        return Step::Stop;
    }
    Step value(int depth)
    {
        if (depth > kMaxNesting)
            return Step::TooDeep;
        quint32 id = 0;
        if (!u32(id))
            return Step::Stop;
        if (!m_modern) {
            if (id == 127)
                id = QMetaType::User;
            else if (id >= 128 && id != QMetaType::User)
                id -= 97;
            else if (id > 75 && id <= 86)
                id -= 1;
        }
        if (m_modern && !skip(1))
            return Step::Stop;
        if (id == QMetaType::User) {
            QByteArray name;
            if (!blob(&name))
                return Step::Stop;
            id = QMetaType::fromName(name).id();
            if (id == QMetaType::UnknownType)
                return Step::Stop;
        }
        switch (id) {
        case QMetaType::UnknownType: // an invalid variant; old streams follow it with an empty string
            return m_modern || blob() ? Step::Continue : Step::Stop;
        case QMetaType::Bool:
            return skip(1) ? Step::Continue : Step::Stop;
        case QMetaType::QChar:
            return skip(2) ? Step::Continue : Step::Stop;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::QTime:
            return skip(4) ? Step::Continue : Step::Stop;
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
            return skip(8) ? Step::Continue : Step::Stop;
        case QMetaType::QDate:
            return skip(m_modern ? 8 : 4) ? Step::Continue : Step::Stop;
        case QMetaType::QDateTime:
            return dateTime();
        case QMetaType::QString:
        case QMetaType::QByteArray:
            return blob() ? Step::Continue : Step::Stop;
        case QMetaType::QStringList:
        case QMetaType::QVariantList:
        case QMetaType::QVariantMap:
        case QMetaType::QVariantHash: {
            quint32 count = 0;
            if (!u32(count))
                return Step::Stop;
            // Every element takes at least four bytes, so a count larger than the text ends by itself.
            for (quint32 i = 0; i < count; ++i) {
                if (id == QMetaType::QStringList) {
                    if (!blob())
                        return Step::Stop;
                    continue;
                }
                if (id != QMetaType::QVariantList && !blob())
                    return Step::Stop;
                if (const Step step = value(depth + 1); step != Step::Continue)
                    return step;
            }
            return Step::Continue;
        }
        default:
            return unknown(depth);
        }
    }

    QByteArrayView m_bytes;
    bool m_modern;
    qsizetype m_pos = 0;
};

} // namespace

QByteArray unescapedIniText(QByteArrayView data)
{
    QString text;
    text.reserve(data.size());
    QStringDecoder fromUtf8(QStringDecoder::Utf8);
    const qsizetype size = data.size();
    qsizetype i = 0;
    while (i < size) {
        const char ch = data.at(i);
        if (ch == '"') {
            ++i;
            continue;
        }
        if (ch != '\\') {
            qsizetype j = i + 1;
            while (j < size && data.at(j) != '\\' && data.at(j) != '"')
                ++j;
            text += fromUtf8(data.sliced(i, j - i));
            i = j;
            continue;
        }
        if (++i >= size)
            break;
        const char escaped = data.at(i++);
        if (const char plain = simpleEscape(escaped)) {
            text += QLatin1Char(plain);
        } else if (escaped == 'x' || digitValue(escaped, 8) >= 0) {
            // Hexadecimal and octal escapes run as long as digits follow; the value wraps at 16 bits.
            const int base = escaped == 'x' ? 16 : 8;
            if (base == 16 && (i >= size || digitValue(data.at(i), 16) < 0))
                continue;
            char16_t value = base == 8 ? char16_t(escaped - '0') : 0;
            for (int digit; i < size && (digit = digitValue(data.at(i), base)) >= 0; ++i)
                value = char16_t(value * base + digit);
            text += QChar(value);
        } else if (escaped == '\n' || escaped == '\r') {
            // A line continuation: \n, \r, \r\n and \n\r all end a line.
            if (i < size && (data.at(i) == '\n' || data.at(i) == '\r') && data.at(i) != escaped)
                ++i;
        }
        // Any other escaped character is dropped, as Qt drops it.
    }
    return text.toLatin1();
}

bool mayNestTooDeep(QByteArrayView iniData)
{
    const QByteArray text = unescapedIniText(iniData);
    // Hostile text can make each walk long; beyond this much work the file is not one this program wrote.
    qsizetype budget = 64 * (text.size() + 1024);
    for (const auto& [marker, modern] : {std::pair{QByteArrayView("@Variant("), false},
                                         std::pair{QByteArrayView("@DateTime("), true}}) {
        for (qsizetype at = text.indexOf(marker); at >= 0; at = text.indexOf(marker, at + 1)) {
            StreamDepth walk(QByteArrayView(text).sliced(at + marker.size()), modern);
            if (!walk.withinBound())
                return true;
            budget -= walk.consumed() + 1;
            if (budget < 0)
                return true;
        }
    }
    return false;
}

bool setAsideIfTooDeep(const QString& path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    file.close();
    if (!mayNestTooDeep(data))
        return false;
    const QString aside = path + QStringLiteral(".unreadable");
    QFile::remove(aside);
    if (!QFile::rename(path, aside))
        QFile::remove(path); // it must not be read in any case
    Logger::shared().log(QStringLiteral("settings"),
                         QStringLiteral("set aside %1: it holds values nested too deeply to read").arg(path));
    return true;
}

} // namespace vmk::platform::settingsguard
