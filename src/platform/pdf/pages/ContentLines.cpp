#include "platform/pdf/pages/ContentSplit.h"
#include "platform/pdf/pages/ContentTokens.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vmk::pdf {

using content::Token;

namespace {

// Graphics state set inside a group, as the operators that set it, so that the group can be closed and
// opened again in the same state. A setting that replaces an earlier one of its kind replaces its entry (the
// order of the latest settings is kept: a parameter dictionary may set what an operator set before it);
// transformations and clips add up, so each stays where it was.
struct StateOps {
    QList<std::pair<QByteArray, QByteArray>> entries; // kind (empty: adds up) and the operator with operands

    void set(const QByteArray& kind, const QByteArray& op)
    {
        if (!kind.isEmpty())
            drop(kind);
        entries.append({kind, op});
    }
    void drop(const QByteArray& kind)
    {
        entries.removeIf([&](const auto& e) { return e.first == kind; });
    }
    QByteArray find(const QByteArray& kind) const
    {
        for (const auto& e : entries)
            if (e.first == kind)
                return e.second;
        return {};
    }
    QByteArray replay() const
    {
        QByteArray out;
        for (const auto& e : entries)
            out += e.second + '\n';
        return out;
    }
};

// Which setting an operator makes, or empty when it sets none that a regrouping would lose.
QByteArray kindOf(QByteArrayView op)
{
    static const QHash<QByteArray, QByteArray> kinds{
        {"w", "w"},     {"J", "J"},     {"j", "j"},     {"M", "M"},     {"d", "d"},    {"ri", "ri"},
        {"i", "i"},     {"CS", "CS"},   {"cs", "cs"},   {"SC", "SC"},   {"SCN", "SC"}, {"sc", "sc"},
        {"scn", "sc"},  {"G", "SC"},    {"RG", "SC"},   {"K", "SC"},    {"g", "sc"},   {"rg", "sc"},
        {"k", "sc"},    {"Tc", "Tc"},   {"Tw", "Tw"},   {"Tz", "Tz"},   {"TL", "TL"},  {"Tf", "Tf"},
        {"Ts", "Ts"},   {"Tr", "Tr"},
    };
    return kinds.value(op.toByteArray());
}

bool paints(QByteArrayView op)
{
    return op == "S" || op == "s" || op == "f" || op == "F" || op == "f*" || op == "B" || op == "B*" || op == "b"
        || op == "b*";
}
bool buildsPath(QByteArrayView op)
{
    return op == "m" || op == "l" || op == "c" || op == "v" || op == "y" || op == "h" || op == "re";
}

QByteArray num(double v)
{
    if (std::abs(v) < 1e-9)
        return "0";
    QByteArray s = QByteArray::number(v, 'f', 6);
    while (s.endsWith('0'))
        s.chop(1);
    if (s.endsWith('.'))
        s.chop(1);
    return s;
}

// A number as written, negated as written (the reader negates exactly).
QByteArray negated(QByteArrayView number)
{
    if (number.startsWith('-'))
        return number.sliced(1).toByteArray();
    return '-' + (number.startsWith('+') ? number.sliced(1) : number).toByteArray();
}

struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    // A move by (tx, ty) in this matrix's own space.
    Matrix moved(double tx, double ty) const { return {a, b, c, d, e + tx * a + ty * c, f + tx * b + ty * d}; }
    // Whether `to` stays on this matrix's line: same shape, offset along the line only.
    bool sameLine(const Matrix& to) const
    {
        const double det = a * d - b * c;
        if (std::abs(det) < 1e-12)
            return false;
        const double near = 1e-6 * (std::abs(a) + std::abs(b) + std::abs(c) + std::abs(d));
        if (std::abs(to.a - a) > near || std::abs(to.b - b) > near || std::abs(to.c - c) > near
            || std::abs(to.d - d) > near)
            return false;
        const double dx = to.e - e, dy = to.f - f;
        return std::abs((a * dy - b * dx) / det) < 1e-3;
    }
    QByteArray op() const
    {
        auto exact = [](double v) { return QByteArray::number(v, 'g', 17); };
        return exact(a) + ' ' + exact(b) + ' ' + exact(c) + ' ' + exact(d) + ' ' + exact(e) + ' ' + exact(f) + " Tm";
    }
};

// Whether the text from `at` on moves to a line of its own before it shows anything (or ends).
bool beginsLine(const QByteArray& content, qsizetype at)
{
    const QByteArray rest = QByteArray::fromRawData(content.constData() + at, content.size() - at);
    content::Tokenizer tokens(rest);
    for (Token t = tokens.next(); !t.is(Token::Kind::end); t = tokens.next()) {
        if (!t.is(Token::Kind::op))
            continue;
        if (t.text == "Td" || t.text == "TD" || t.text == "Tm" || t.text == "T*" || t.text == "'" || t.text == "\""
            || t.text == "ET")
            return true;
        if (t.text == "Tj" || t.text == "TJ" || t.text == "BT" || t.text == "q" || t.text == "Q")
            return false;
    }
    return false;
}

} // namespace

QByteArray withLinesApart(const QByteArray& content, bool spacedRunsApart)
{
    const qsizetype n = content.size();
    QList<std::pair<qsizetype, QByteArray>> inserts;
    std::vector<StateOps> states(1); // what each open group set itself
    // Per open group: whether it drew since it was last reopened, and whether a drawing unit just ended.
    std::vector<char> drawn(1, 0), afterUnit(1, 0);
    int depth = 0, marks = 0, marksAtScope = 0, marksAtText = 0;
    bool inText = false, shown = false, clipPending = false;
    bool shownSpaced = false; // text shown since the object began with spacing, scaling or rise of its own
    // Every open group closed and opened again, each in the state it had reached.
    auto reopen = [&] {
        QByteArray out = "\n";
        for (int l = 0; l < depth; ++l)
            out += "Q\n";
        for (int l = 1; l <= depth; ++l)
            out += "q\n" + states[size_t(l)].replay();
        return out;
    };
    Matrix line;
    // The moves that set the line since the text object began, as written: a new text object set by the
    // same moves places its first glyph exactly where the reader did, to the last bit of its arithmetic,
    // where one matrix written as decimals could land a hair off and shift the glyph's antialiasing.
    QList<QByteArray> moves;
    constexpr qsizetype kMostMoves = 256; // beyond that, the matrix itself, to 17 digits
    QByteArray path;       // the path under construction, for a clip to be replayed
    QList<Token> operands; // the current operator's operands (an array's or dictionary's brackets too)
    auto lookup = [&](const QByteArray& kind) {
        for (auto it = states.rbegin(); it != states.rend(); ++it)
            if (const QByteArray op = it->find(kind); !op.isEmpty())
                return op;
        return QByteArray();
    };
    auto number = [&](int fromEnd) { return operands[operands.size() - fromEnd].text.toDouble(); };
    // Character or word spacing, scaling or rise set to other than none: the editing engine writes a text
    // object again without them.
    auto spaced = [&] {
        auto value = [&](const char* kind, double none) {
            const QByteArray op = lookup(kind);
            return op.isEmpty() ? none : op.split(' ').value(0).toDouble();
        };
        return value("Tc", 0) != 0 || value("Tw", 0) != 0 || value("Tz", 100) != 100 || value("Ts", 0) != 0;
    };
    content::Tokenizer tokens(content);
    for (Token t = tokens.next(); !t.is(Token::Kind::end); t = tokens.next()) {
        if (t.is(Token::Kind::broken))
            return content;
        if (!t.is(Token::Kind::op) && !t.is(Token::Kind::inlineImage)) {
            operands.append(t);
            continue;
        }
        const QByteArrayView word = t.is(Token::Kind::inlineImage) ? QByteArrayView("BI") : t.text;
        const qsizetype begin = t.begin, i = t.end;
        const qsizetype opStart = operands.isEmpty() ? begin : operands.front().begin;
        const QByteArray whole = content.mid(opStart, i - opStart).simplified();
        // Inside a page-wide group, a new drawing unit (a text object, a group, a picture, or what follows
        // one) starts after closing the group and opening it again in the state it had reached.
        if (depth >= 1 && !inText && marks == marksAtScope && drawn[depth] && word != "Q"
            && (afterUnit[depth] || word == "BT" || word == "q" || word == "BI" || word == "Do" || word == "sh")) {
            inserts.append({opStart, reopen()});
            drawn[depth] = false;
        }
        afterUnit[depth] = false;
        const bool startsLine = word == "Td" || word == "TD" || word == "T*" || word == "Tm" || word == "'"
            || word == "\"";
        if (inText && startsLine && shown && marks == marksAtText && (depth == 0 || marks == marksAtScope)) {
            Matrix next = line;
            if ((word == "Td" || word == "TD") && operands.size() >= 2)
                next = line.moved(number(2), number(1));
            else if (word == "Tm" && operands.size() >= 6)
                next = {number(6), number(5), number(4), number(3), number(2), number(1)};
            else
                next = line.moved(0, -lookup("TL").split(' ').value(0).toDouble());
            // Text moved along the line is set apart too where spacing is in force, so that an edit beside
            // it leaves it as drawn.
            if (!line.sameLine(next) || (spacedRunsApart && (shownSpaced || spaced()))) {
                // The text object ends here and a new one begins with the same line and text state.
                QByteArray cut = "\nET" + reopen() + "BT\n"
                    + (moves.size() <= kMostMoves ? moves.join('\n') : line.op()) + '\n';
                for (const char* kind : {"Tf", "Tc", "Tw", "Tz", "TL", "Ts", "Tr"})
                    if (const QByteArray op = lookup(kind); !op.isEmpty())
                        cut += op + '\n';
                inserts.append({opStart, cut});
                shown = shownSpaced = false;
            }
        }
        // A marked sequence of its own that begins a new line (a page number's, a paragraph's) is set apart
        // like a line, whole: where no sequence is open, so that none is divided.
        if (inText && shown && (word == "BDC" || word == "BMC") && marks == marksAtText
            && (depth == 0 || marks == marksAtScope) && beginsLine(content, i)) {
            QByteArray cut = "\nET" + reopen() + "BT\n" + (moves.size() <= kMostMoves ? moves.join('\n') : line.op())
                + '\n';
            for (const char* kind : {"Tf", "Tc", "Tw", "Tz", "TL", "Ts", "Tr"})
                if (const QByteArray op = lookup(kind); !op.isEmpty())
                    cut += op + '\n';
            inserts.append({opStart, cut});
            shown = shownSpaced = false;
        }
        if (word == "BI") {
            drawn[depth] = afterUnit[depth] = true;
        } else if (word == "q") {
            if (inText)
                return content;
            states.push_back({});
            drawn.push_back(0);
            afterUnit.push_back(0);
            if (++depth == 1)
                marksAtScope = marks;
        } else if (word == "Q" && depth == 0 && !inText) {
            // A restore with nothing saved: readers pass over it.
        } else if (word == "Q") {
            if (inText)
                return content;
            states.pop_back();
            drawn.pop_back();
            afterUnit.pop_back();
            --depth;
            drawn[depth] = afterUnit[depth] = true;
        } else if (word == "BT") {
            if (inText)
                return content;
            inText = true;
            shown = shownSpaced = false;
            line = {};
            moves.clear();
            marksAtText = marks;
        } else if (word == "ET") {
            if (!inText)
                return content;
            inText = false;
            drawn[depth] = afterUnit[depth] = true;
        } else if (word == "BMC" || word == "BDC") {
            ++marks;
        } else if (word == "EMC") {
            --marks;
        } else if (word == "Do" || word == "sh") {
            drawn[depth] = afterUnit[depth] = true;
        } else if (word == "Tj" || word == "TJ") {
            shown = true;
            shownSpaced = shownSpaced || spaced();
        } else if (buildsPath(word)) {
            path += whole + '\n';
        } else if (word == "W" || word == "W*") {
            clipPending = true;
            path += word.toByteArray() + '\n';
        } else if (word == "n" || paints(word)) {
            if (clipPending)
                states.back().set({}, path + "n");
            if (paints(word))
                drawn[depth] = true;
            clipPending = false;
            path.clear();
        } else if (word == "cm" || word == "gs") {
            states.back().set({}, whole);
        } else if (const QByteArray kind = kindOf(word); !kind.isEmpty()) {
            // A text clip cannot be carried over a cut: such a page is left as it is.
            if (word == "Tr" && (operands.isEmpty() || number(1) >= 4))
                return content;
            if (kind == "cs" || kind == "CS")
                states.back().drop(kind == "cs" ? "sc" : "SC");
            if (word == "g" || word == "rg" || word == "k")
                states.back().drop("cs");
            if (word == "G" || word == "RG" || word == "K")
                states.back().drop("CS");
            states.back().set(kind, whole);
        }
        if (word == "TD" && operands.size() >= 2)
            states.back().set("TL", negated(operands.last().text) + " TL");
        if (word == "\"" && operands.size() >= 3) {
            states.back().set("Tw", num(number(3)) + " Tw");
            states.back().set("Tc", num(number(2)) + " Tc");
        }
        if (startsLine) {
            if ((word == "Td" || word == "TD") && operands.size() >= 2) {
                line = line.moved(number(2), number(1));
                moves.append(whole);
            } else if (word == "Tm" && operands.size() >= 6) {
                line = {number(6), number(5), number(4), number(3), number(2), number(1)};
                moves = {whole};
            } else {
                const QByteArray leading = lookup("TL").split(' ').value(0);
                line = line.moved(0, -leading.toDouble());
                moves.append("0 " + negated(leading.isEmpty() ? QByteArray("0") : leading) + " Td");
            }
            if (word == "'" || word == "\"") {
                shown = true;
                shownSpaced = shownSpaced || spaced();
            }
        }
        operands.clear();
    }
    if (depth != 0 || inText || inserts.isEmpty())
        return content;
    QByteArray out;
    out.reserve(n + inserts.size() * 64);
    qsizetype from = 0;
    for (const auto& [at, text] : inserts) {
        out.append(content.constData() + from, at - from);
        out.append(text);
        from = at;
    }
    out.append(content.constData() + from, n - from);
    return out;
}

QList<QByteArray> statesAtCuts(const QByteArray& content, const QList<qsizetype>& cuts)
{
    QList<QByteArray> out;
    StateOps state; // what the top level has set so far
    int depth = 0;
    QList<Token> operands;
    qsizetype next = 0;
    content::Tokenizer tokens(content);
    for (Token t = tokens.next(); !t.is(Token::Kind::end) && !t.is(Token::Kind::broken); t = tokens.next()) {
        const qsizetype start = operands.isEmpty() ? t.begin : operands.front().begin;
        while (next < cuts.size() && cuts[next] <= start) {
            out.append(state.replay());
            ++next;
        }
        if (!t.is(Token::Kind::op)) {
            if (!t.is(Token::Kind::inlineImage))
                operands.append(t);
            else
                operands.clear();
            continue;
        }
        const QByteArrayView word = t.text;
        const QByteArray whole = content.mid(start, t.end - start).simplified();
        if (word == "q") {
            ++depth;
        } else if (word == "Q") {
            depth = std::max(0, depth - 1);
        } else if (depth == 0) {
            const QByteArray kind = kindOf(word);
            // The font is carried by its own rule (a bare choice may name a font the rewritten page drops).
            if (word == "gs" && operands.size() == 1) {
                state.set("gs " + operands.front().text.toByteArray(), whole);
            } else if (!kind.isEmpty() && kind != "Tf") {
                if (kind == "cs" || kind == "CS")
                    state.drop(kind == "cs" ? "sc" : "SC");
                if (word == "g" || word == "rg" || word == "k")
                    state.drop("cs");
                if (word == "G" || word == "RG" || word == "K")
                    state.drop("CS");
                state.set(kind, whole);
            } else if (word == "TD" && operands.size() >= 2) {
                state.set("TL", negated(operands.last().text) + " TL");
            } else if (word == "\"" && operands.size() >= 3) {
                state.set("Tw", operands[0].text.toByteArray() + " Tw");
                state.set("Tc", operands[1].text.toByteArray() + " Tc");
            }
        }
        operands.clear();
    }
    while (out.size() < cuts.size())
        out.append(state.replay());
    return out;
}

} // namespace vmk::pdf
