#pragma once

#include <QRectF>
#include <QString>
#include <QStringView>

#include <vector>

namespace vmk::pdf {

// A page's text, kept compact: one string and one box per character. Characters are code points; line
// ends are synthetic "\n" characters with empty boxes, and each line's characters, its "\n" included,
// share the line's index. Character and string indices differ only after characters outside the Basic
// Multilingual Plane, which take two string units. Immutable once built, so any thread may read it.
class TextLayout {
public:
    int size() const { return int(m_boxes.size()); }
    bool isEmpty() const { return m_boxes.empty(); }
    const QString& text() const { return m_text; }

    // Page space; empty for line breaks.
    QRectF bounds(int index) const;
    int line(int index) const;
    // The character's text (one code point).
    QStringView characterText(int index) const;
    // The text of `length` characters from `start` (clamped to the page).
    QString mid(int start, int length) const;
    // Where character `index` starts in text(); size() gives the text's length.
    int textIndex(int index) const;
    // The character that string unit `textIndex` belongs to.
    int characterIndex(int textIndex) const;

    // Building, in reading order. Reserving room for the characters and lines first (line ends count as
    // characters) spares the growth and the final squeeze.
    void reserve(int characters, int lines);
    void append(char32_t codePoint, const QRectF& bounds);
    // Ends the current line with its synthetic "\n".
    void endLine();
    // Releases spare capacity once built.
    void squeeze();

    // How many page texts exist in the process: a test hook showing that text goes with its document.
    static int liveCount();

private:
    // Counts the layouts alive; copies count too.
    struct Counted {
        Counted();
        Counted(const Counted&);
        ~Counted();
        Counted& operator=(const Counted&) = default;
    };
    Counted m_counted;
    struct Box {
        float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    };
    QString m_text;
    std::vector<Box> m_boxes;
    std::vector<int> m_lineStarts;  // first character of each line
    std::vector<int> m_wide;        // characters that take two string units, ascending
    bool m_lineOpen = false;
};

} // namespace vmk::pdf
