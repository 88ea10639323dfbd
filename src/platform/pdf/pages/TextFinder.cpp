#include "platform/pdf/pages/TextFinder.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/TextReader.h"

#include <QHash>

namespace vmk::pdf {

namespace {

// Folds one UTF-16 unit for matching: compatibility decomposition (ligatures become letters), combining
// marks dropped, case folded, line breaks as spaces.
QString foldSlowly(QChar ch)
{
    if (ch.isSurrogate())
        return QString(ch);
    const QString decomposed = QString(ch).normalized(QString::NormalizationForm_KD);
    QString out;
    for (QChar d : decomposed) {
        const QChar::Category cat = d.category();
        if (cat == QChar::Mark_NonSpacing || cat == QChar::Mark_SpacingCombining || cat == QChar::Mark_Enclosing)
            continue;
        out += d.toCaseFolded();
    }
    return out;
}

// Most text is ASCII, folded inline; the rest is folded once per distinct unit of the call.
class Folder {
public:
    // Appends the folded unit and returns how many units it gave.
    qsizetype append(QChar ch, QString& out)
    {
        const char16_t u = ch.unicode();
        if (u < 0x80) {
            if (u == '\n' || u == '\r' || u == '\t')
                out += QLatin1Char(' ');
            else
                out += QChar(u >= 'A' && u <= 'Z' ? char16_t(u + 32) : u);
            return 1;
        }
        auto it = m_cache.constFind(u);
        if (it == m_cache.constEnd())
            it = m_cache.insert(u, foldSlowly(ch));
        out += *it;
        return it->size();
    }

private:
    QHash<char16_t, QString> m_cache;
};

} // namespace

struct TextFinder::State {
    QString needle;
};

TextFinder::TextFinder(QObject* parent)
    : QObject(parent), m_state(std::make_unique<State>()), m_reader(new TextReader(this))
{
    connect(m_reader, &TextReader::pageRead, this,
            [this](int, const PagePtr& page, const QList<QPair<int, int>>& found) {
                if (found.isEmpty())
                    return;
                QList<Selection> matches;
                matches.reserve(found.size());
                for (const auto& [start, length] : found)
                    matches.append(page->selection(start, length));
                emit matchesFound(matches);
            });
    connect(m_reader, &TextReader::finished, this, &TextFinder::finished);
}

TextFinder::~TextFinder() = default;

QList<QPair<int, int>> TextFinder::matchesIn(const QString& haystack, const QString& needle)
{
    Folder folder;
    QString foldedNeedle;
    for (QChar ch : needle)
        folder.append(ch, foldedNeedle);
    QList<QPair<int, int>> result;
    if (foldedNeedle.trimmed().isEmpty())
        return result;
    QString folded;
    std::vector<int> source; // folded index -> haystack index
    folded.reserve(haystack.size());
    source.reserve(size_t(haystack.size()));
    for (int i = 0; i < haystack.size(); ++i) {
        const qsizetype added = folder.append(haystack[i], folded);
        source.insert(source.end(), size_t(added), i);
    }
    QString scratch;
    qsizetype from = 0;
    while (true) {
        const qsizetype at = folded.indexOf(foldedNeedle, from);
        if (at < 0)
            break;
        const int start = source[size_t(at)];
        int end = source[size_t(at + foldedNeedle.size() - 1)] + 1;
        // Combining marks after the last matched letter belong to it ("e" + U+0301).
        while (end < haystack.size()) {
            scratch.clear();
            if (folder.append(haystack[end], scratch) != 0)
                break;
            ++end;
        }
        result.append({start, end - start});
        from = at + foldedNeedle.size();
    }
    return result;
}

void TextFinder::start(const DocumentPtr& document, const QString& needle)
{
    m_state->needle = needle;
    if (needle.trimmed().isEmpty()) {
        m_reader->start(nullptr);
        return;
    }
    // Matching runs on the workers with the text; matches come back as character ranges.
    m_reader->start(document, [needle](const TextLayout& layout) {
        QList<QPair<int, int>> ranges;
        for (const auto& [start, length] : matchesIn(layout.text(), needle)) {
            const int first = layout.characterIndex(start);
            const int last = layout.characterIndex(start + length - 1);
            ranges.append({first, last - first + 1});
        }
        return ranges;
    });
}

void TextFinder::cancel() { m_reader->cancel(); }

bool TextFinder::isRunning() const { return m_reader->isRunning(); }

} // namespace vmk::pdf
