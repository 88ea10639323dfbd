#include "platform/fonts/FontService.h"

#include "platform/fonts/FontData.h"
#include "platform/fonts/FreeTypeFace.h"

#include <fontconfig/fontconfig.h>

#include <QHash>
#include <QSet>

#include <algorithm>
#include <mutex>
#include <vector>

namespace vmk::platform {

namespace {

using DataPtr = std::shared_ptr<const Font::Data>;

QString fcString(FcPattern* p, const char* object, int n = 0)
{
    FcChar8* value = nullptr;
    if (FcPatternGetString(p, object, n, &value) == FcResultMatch && value)
        return QString::fromUtf8(reinterpret_cast<const char*>(value));
    return {};
}

int fcInt(FcPattern* p, const char* object, int fallback)
{
    int value = 0;
    return FcPatternGetInteger(p, object, 0, &value) == FcResultMatch ? value : fallback;
}

QStringList fcStrings(FcPattern* p, const char* object)
{
    QStringList values;
    for (int n = 0;; ++n) {
        const QString v = fcString(p, object, n);
        if (v.isEmpty())
            break;
        values.append(v);
    }
    return values;
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Everything below runs with this lock held: fontconfig's configuration is shared process state, and the
// face cache keeps one Data per face so that equal faces compare equal.
std::mutex& lock()
{
    static std::mutex m;
    return m;
}

struct Registry {
    QHash<QString, DataPtr> byFace; // "path\nindex"
    std::vector<DataPtr> listed;    // every installed face, filled on first use
    bool listedOnce = false;
};

Registry& registry()
{
    static Registry r;
    return r;
}

// The face a fontconfig pattern describes, read once and shared afterwards.
DataPtr dataFor(FcPattern* p)
{
    const QString file = fcString(p, FC_FILE);
    if (file.isEmpty())
        return nullptr;
    const int index = fcInt(p, FC_INDEX, 0);
    const QString key = file + QLatin1Char('\n') + QString::number(index);
    auto& cache = registry().byFace;
    if (auto it = cache.find(key); it != cache.end())
        return *it;

    auto d = std::make_shared<Font::Data>();
    d->filePath = file;
    d->faceIndex = index;
    d->postScriptName = fcString(p, FC_POSTSCRIPT_NAME);
    d->families = fcStrings(p, FC_FAMILY);
    d->fullNames = fcStrings(p, FC_FULLNAME);
    d->styleName = fcString(p, FC_STYLE);
    double fcWeight = FC_WEIGHT_REGULAR;
    FcPatternGetDouble(p, FC_WEIGHT, 0, &fcWeight);
    d->weight = int(FcWeightToOpenTypeDouble(fcWeight) + 0.5);
    d->italic = fcInt(p, FC_SLANT, FC_SLANT_ROMAN) != FC_SLANT_ROMAN;
    d->fixedPitch = fcInt(p, FC_SPACING, FC_PROPORTIONAL) >= FC_MONO;
    const auto metrics = freetype::readMetrics(file, index);
    d->unitsPerEm = metrics.unitsPerEm;
    d->ascender = metrics.ascender;
    d->descender = metrics.descender;
    cache.insert(key, d);
    return d;
}

const std::vector<DataPtr>& installedFaces()
{
    auto& r = registry();
    if (r.listedOnce)
        return r.listed;
    r.listedOnce = true;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FULLNAME, FC_POSTSCRIPT_NAME, FC_FILE,
                                            FC_INDEX, FC_WEIGHT, FC_SLANT, FC_SPACING, FC_OUTLINE, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    if (set) {
        // Outline faces first, so that a name shared with a bitmap face resolves to the scalable one.
        std::vector<std::pair<bool, FcPattern*>> patterns;
        for (int i = 0; i < set->nfont; ++i) {
            FcBool outline = FcFalse;
            FcPatternGetBool(set->fonts[i], FC_OUTLINE, 0, &outline);
            patterns.emplace_back(outline == FcTrue, set->fonts[i]);
        }
        std::stable_sort(patterns.begin(), patterns.end(),
                         [](const auto& a, const auto& b) { return a.first && !b.first; });
        for (const auto& [outline, p] : patterns)
            if (DataPtr d = dataFor(p))
                r.listed.push_back(d);
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return r.listed;
}

// Fontconfig's best face for a family and style; always some face when any font is installed.
DataPtr bestMatch(const QString& family, bool bold, bool italic)
{
    FcPattern* pattern = FcPatternCreate();
    const QByteArray utf8 = family.toUtf8();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(utf8.constData()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    DataPtr d;
    if (match) {
        d = dataFor(match);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return d;
}

} // namespace

Font FontService::make(std::shared_ptr<const Font::Data> data, qreal pointSize)
{
    if (!data)
        return {};
    Font f;
    f.d = std::move(data);
    f.m_pointSize = pointSize;
    return f;
}

Font FontService::fontNamed(const QString& name, qreal pointSize)
{
    const QString wanted = name.trimmed();
    if (wanted.isEmpty())
        return {};
    std::lock_guard guard(lock());
    const auto& faces = installedFaces();
    for (const auto& d : faces)
        if (sameName(d->postScriptName, wanted))
            return make(d, pointSize);
    for (const auto& d : faces)
        for (const QString& full : d->fullNames)
            if (sameName(full, wanted))
                return make(d, pointSize);
    return {};
}

Font FontService::fontForFamily(const QString& family, bool bold, bool italic, qreal pointSize)
{
    const QString wanted = family.trimmed();
    if (wanted.isEmpty())
        return {};
    std::lock_guard guard(lock());
    DataPtr d = bestMatch(wanted, bold, italic);
    if (!d)
        return {};
    // Fontconfig answers with a configured substitute for an unknown family; only the family itself counts.
    const bool real = std::any_of(d->families.cbegin(), d->families.cend(),
                                  [&](const QString& f) { return sameName(f, wanted); });
    return real ? make(d, pointSize) : Font();
}

Font FontService::substituteForFamily(const QString& family, bool bold, bool italic, qreal pointSize)
{
    std::lock_guard guard(lock());
    return make(bestMatch(family.trimmed().isEmpty() ? QStringLiteral("sans-serif") : family.trimmed(), bold, italic),
                pointSize);
}

Font FontService::systemFont(qreal pointSize, bool bold, bool italic)
{
    return substituteForFamily(QStringLiteral("sans-serif"), bold, italic, pointSize);
}

QStringList FontService::installedFamilies()
{
    std::lock_guard guard(lock());
    QSet<QString> seen;
    QStringList families;
    for (const auto& d : installedFaces())
        for (const QString& f : d->families)
            if (!seen.contains(f)) {
                seen.insert(f);
                families.append(f);
            }
    families.sort(Qt::CaseInsensitive);
    return families;
}

} // namespace vmk::platform
