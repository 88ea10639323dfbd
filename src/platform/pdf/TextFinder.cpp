#include "platform/pdf/TextFinder.h"

#include "platform/pdf/Document.h"
#include "platform/pdf/Page.h"

#include <QPointer>
#include <QTimer>

namespace vmk::pdf {

namespace {

// Folds one UTF-16 unit for matching: compatibility decomposition (ligatures become letters), combining
// marks dropped, case folded, line breaks as spaces.
QString fold(QChar ch)
{
    if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r') || ch == QLatin1Char('\t'))
        return QStringLiteral(" ");
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

} // namespace

struct TextFinder::State {
    DocumentPtr document;
    QString needle;
    int nextPage = 0;
    bool running = false;
    quint64 generation = 0;
};

TextFinder::TextFinder(QObject* parent) : QObject(parent), m_state(std::make_unique<State>()) {}

TextFinder::~TextFinder() = default;

QList<QPair<int, int>> TextFinder::matchesIn(const QString& haystack, const QString& needle)
{
    QString foldedNeedle;
    for (QChar ch : needle)
        foldedNeedle += fold(ch);
    QList<QPair<int, int>> result;
    if (foldedNeedle.trimmed().isEmpty())
        return result;
    QString folded;
    QList<int> source; // folded index -> haystack index
    folded.reserve(haystack.size());
    source.reserve(haystack.size());
    for (int i = 0; i < haystack.size(); ++i) {
        const QString piece = fold(haystack[i]);
        folded += piece;
        for (qsizetype k = 0; k < piece.size(); ++k)
            source.append(i);
    }
    qsizetype from = 0;
    while (true) {
        const qsizetype at = folded.indexOf(foldedNeedle, from);
        if (at < 0)
            break;
        const int start = source[at];
        int end = source[at + foldedNeedle.size() - 1] + 1;
        // Combining marks after the last matched letter belong to it ("e" + U+0301).
        while (end < haystack.size() && fold(haystack[end]).isEmpty())
            ++end;
        result.append({start, end - start});
        from = at + foldedNeedle.size();
    }
    return result;
}

void TextFinder::start(const DocumentPtr& document, const QString& needle)
{
    cancel();
    m_state->document = document;
    m_state->needle = needle;
    m_state->nextPage = 0;
    m_state->running = true;
    const quint64 generation = ++m_state->generation;
    QPointer<TextFinder> self(this);
    QTimer::singleShot(0, this, [self, generation] {
        if (self && self->m_state->generation == generation)
            self->step();
    });
}

void TextFinder::cancel()
{
    ++m_state->generation;
    m_state->running = false;
    m_state->document.reset();
}

bool TextFinder::isRunning() const { return m_state->running; }

void TextFinder::step()
{
    if (!m_state->running)
        return;
    const DocumentPtr document = m_state->document;
    const bool done = !document || document->isLocked() || m_state->needle.trimmed().isEmpty()
        || m_state->nextPage >= document->pageCount();
    if (done) {
        m_state->running = false;
        m_state->document.reset();
        emit finished();
        return;
    }
    const quint64 generation = m_state->generation;
    PagePtr page = document->page(m_state->nextPage++);
    if (page) {
        const QString text = page->text();
        const QList<Character>& chars = page->characters();
        // Text indices equal character indices unless the page has characters outside the BMP.
        QList<int> charIndex;
        if (text.size() != chars.size()) {
            for (int i = 0; i < chars.size(); ++i) {
                for (qsizetype k = 0; k < chars[i].text.size(); ++k)
                    charIndex.append(i);
            }
        }
        QList<Selection> matches;
        for (const auto& [start, length] : matchesIn(text, m_state->needle)) {
            int first = start, last = start + length - 1;
            if (!charIndex.isEmpty()) {
                first = charIndex.value(first);
                last = charIndex.value(last);
            }
            matches.append(page->selection(first, last - first + 1));
        }
        if (!matches.isEmpty())
            emit matchesFound(matches);
    }
    // A slot connected to matchesFound may have cancelled or restarted the find.
    if (m_state->generation != generation || !m_state->running)
        return;
    QPointer<TextFinder> self(this);
    QTimer::singleShot(0, this, [self, generation] {
        if (self && self->m_state->generation == generation)
            self->step();
    });
}

} // namespace vmk::pdf
