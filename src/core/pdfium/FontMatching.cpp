#include "core/pdfium/FontMatching.h"

#include "core/pdfium/EditTextRules.h"

#include "platform/fonts/FontService.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>

namespace vmk::core::fontmatching {

using platform::Font;
using platform::FontService;

namespace {
constexpr quint32 glyf = 0x676C7966;
constexpr quint32 cff = 0x43464620; // "CFF "
} // namespace

FontLookup FontLookup::installed()
{
    FontLookup l;
    l.named = [](const QString& name, qreal size) { return FontService::fontNamed(name, size); };
    l.family = [](const QString& family, bool bold, bool italic, qreal size) {
        return FontService::fontForFamily(family, bold, italic, size);
    };
    l.substitute = [](const QString& family, bool bold, bool italic, qreal size) {
        return FontService::substituteForFamily(family, bold, italic, size);
    };
    l.system = [](qreal size) { return FontService::systemFont(size); };
    return l;
}

QString platformName(const QString& pdfFontName)
{
    QString name = editrules::stripSubsetPrefix(pdfFontName);
    name.replace(QLatin1Char(','), QLatin1Char('-'));
    return name;
}

QString familyPart(const QString& name)
{
    QString family = name.section(QLatin1Char('-'), 0, 0);
    family.remove(QStringLiteral("MT"));
    family.remove(QStringLiteral("PS"));
    return family;
}

QString spacedFamily(const QString& family)
{
    static const QRegularExpression camel(QStringLiteral("([a-z])([A-Z])"));
    QString spaced = family;
    spaced.replace(camel, QStringLiteral("\\1 \\2"));
    return spaced;
}

QString fallbackFamily(const QString& name, int32_t flags)
{
    const QString lower = name.toLower();
    auto containsAny = [&](std::initializer_list<const char*> words) {
        return std::any_of(words.begin(), words.end(), [&](const char* w) { return lower.contains(QLatin1String(w)); });
    };
    if ((flags & 1) || containsAny({"mono", "courier", "consol"}))
        return QStringLiteral("Menlo");
    if ((flags & 2)
        || containsAny({"times", "serif", "georgia", "garamond", "roman", "cambria", "minion", "palatino", "book"}))
        return QStringLiteral("Times New Roman");
    return QStringLiteral("Helvetica");
}

bool hasTrueTypeOutlines(const Font& font)
{
    return font.isValid() && font.tableTags().contains(glyf);
}

Font embeddableStandIn(const Font& found, const QString& pdfFontName, qreal size, bool bold, bool italic,
                       int32_t flags, const FontLookup& lookup)
{
    if (hasTrueTypeOutlines(found))
        return found;
    // A face with CFF or Type 1 outlines cannot be embedded as the TrueType program the engine writes:
    // take a TrueType face of the same kind (serif, sans or fixed pitch), weight and slant instead.
    const QString kind = fallbackFamily(
        platformName(pdfFontName) + QLatin1Char(' ') + (found.isValid() ? found.familyName() : QString()),
        flags | (found.isValid() && found.isFixedPitch() ? 1 : 0));
    QStringList families;
    if (kind == QLatin1String("Menlo"))
        families = {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")};
    else if (kind == QLatin1String("Times New Roman"))
        families = {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")};
    else
        families = {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
    for (const QString& family : families) {
        const Font f = lookup.family(family, bold, italic, size);
        if (hasTrueTypeOutlines(f))
            return f;
    }
    return {};
}

Font matchSystemFont(const QString& pdfFontName, qreal size, bool bold, bool italic, int32_t flags,
                     const FontLookup& lookup)
{
    const Font found = matchAnySystemFont(pdfFontName, size, bold, italic, flags, lookup);
    const Font standIn = embeddableStandIn(found, pdfFontName, size, bold, italic, flags, lookup);
    return standIn.isValid() ? standIn : found;
}

Font matchAnySystemFont(const QString& pdfFontName, qreal size, bool bold, bool italic, int32_t flags,
                        const FontLookup& lookup)
{
    const QString name = platformName(pdfFontName);
    if (!name.isEmpty()) {
        const Font exact = lookup.named(name, size);
        if (exact.isValid()
            && (exact.postScriptName().compare(name, Qt::CaseInsensitive) == 0
                || exact.familyName().compare(name, Qt::CaseInsensitive) == 0))
            return exact;
    }

    const QString family = familyPart(name);
    if (!family.isEmpty()) {
        for (const QString& candidate : {family, spacedFamily(family)}) {
            const Font f = lookup.family(candidate, bold, italic, size);
            if (f.isValid())
                return f;
        }
    }

    const QString fallback = fallbackFamily(name, flags);
    if (Font f = lookup.family(fallback, bold, italic, size); f.isValid())
        return f;
    if (Font f = lookup.named(fallback, size); f.isValid())
        return f;
    // The fallback families are rarely installed here; fontconfig's stand-ins keep the serif, sans or
    // fixed-pitch look (a metric-compatible face where one is configured) before the plain system font.
    if (lookup.substitute) {
        // "Courier New" leads fontconfig to a metric-compatible fixed-pitch face where one is installed.
        const QString generic = fallback == QLatin1String("Menlo") ? QStringLiteral("Courier New") : fallback;
        if (Font f = lookup.substitute(generic, bold, italic, size); f.isValid())
            return f;
    }
    return lookup.system(size);
}

std::optional<QByteArray> makeFontFile(QList<std::pair<quint32, QByteArray>> tables)
{
    std::stable_sort(tables.begin(), tables.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const bool hasGlyf = std::any_of(tables.begin(), tables.end(), [](const auto& t) { return t.first == glyf; });
    const bool hasCff = std::any_of(tables.begin(), tables.end(), [](const auto& t) { return t.first == cff; });
    if (tables.isEmpty() || (!hasGlyf && !hasCff))
        return std::nullopt;

    const quint16 numTables = quint16(tables.size());
    quint16 power = 1, log2 = 0;
    while (power * 2 <= numTables) {
        power *= 2;
        ++log2;
    }
    QByteArray file(12 + 16 * numTables, '\0');
    auto put32 = [&](qsizetype at, quint32 v) { qToBigEndian(v, file.data() + at); };
    auto put16 = [&](qsizetype at, quint16 v) { qToBigEndian(v, file.data() + at); };
    put32(0, hasCff ? 0x4F54544F : 0x00010000);
    put16(4, numTables);
    put16(6, quint16(16 * power));
    put16(8, log2);
    put16(10, quint16(16 * numTables - 16 * power));

    for (qsizetype i = 0; i < tables.size(); ++i) {
        QByteArray data = tables[i].second;
        const qsizetype length = data.size();
        data.append(QByteArray((4 - length % 4) % 4, '\0'));
        quint32 sum = 0;
        for (qsizetype at = 0; at < data.size(); at += 4)
            sum += qFromBigEndian<quint32>(data.constData() + at);
        const qsizetype record = 12 + 16 * i;
        put32(record, tables[i].first);
        put32(record + 4, sum);
        put32(record + 8, quint32(file.size()));
        put32(record + 12, quint32(length));
        file.append(data);
    }
    return file;
}

std::optional<QByteArray> makeFontFile(const Font& font)
{
    if (!font.isValid())
        return std::nullopt;
    QList<std::pair<quint32, QByteArray>> tables;
    for (quint32 tag : font.tableTags()) {
        QByteArray data = font.tableData(tag);
        if (!data.isEmpty())
            tables.append({tag, data});
    }
    return makeFontFile(tables);
}

std::optional<QByteArray> renamedNameTable(const QByteArray& table, const QString& postScriptName)
{
    if (table.size() < 6)
        return std::nullopt;
    QByteArray out = table;
    const quint16 count = qFromBigEndian<quint16>(out.constData() + 2);
    const quint16 storage = qFromBigEndian<quint16>(out.constData() + 4);
    if (6 + 12 * qsizetype(count) > out.size() || storage > out.size())
        return std::nullopt;
    QByteArray utf16;
    for (QChar c : postScriptName) {
        char be[2];
        qToBigEndian(c.unicode(), be);
        utf16.append(be, 2);
    }
    const QByteArray ascii = postScriptName.toLatin1();
    qsizetype wideAt = -1, narrowAt = -1; // where each form of the new name was appended, from storage
    for (quint16 i = 0; i < count; ++i) {
        const qsizetype record = 6 + 12 * qsizetype(i);
        if (qFromBigEndian<quint16>(out.constData() + record + 6) != 6)
            continue;
        const quint16 platform = qFromBigEndian<quint16>(out.constData() + record);
        const bool wide = platform == 0 || platform == 3;
        qsizetype& at = wide ? wideAt : narrowAt;
        const QByteArray& bytes = wide ? utf16 : ascii;
        if (at < 0) {
            at = out.size() - storage;
            out.append(bytes);
        }
        if (at > 0xFFFF || bytes.size() > 0xFFFF)
            return std::nullopt;
        // Written only now: appending may have moved the table's bytes.
        qToBigEndian(quint16(bytes.size()), out.data() + record + 8);
        qToBigEndian(quint16(at), out.data() + record + 10);
    }
    return out;
}

QString taggedName(const QString& postScriptName)
{
    QString tag;
    for (int i = 0; i < 6; ++i)
        tag += QChar(u'A' + QRandomGenerator::global()->bounded(26));
    return tag + QLatin1Char('+') + postScriptName;
}

std::optional<QByteArray> makeFontFile(const Font& font, const QString& postScriptName)
{
    if (!font.isValid())
        return std::nullopt;
    QList<std::pair<quint32, QByteArray>> tables;
    for (quint32 tag : font.tableTags()) {
        QByteArray data = font.tableData(tag);
        if (tag == Font::tag("name"))
            data = renamedNameTable(data, postScriptName).value_or(data);
        if (!data.isEmpty())
            tables.append({tag, data});
    }
    return makeFontFile(tables);
}

} // namespace vmk::core::fontmatching
