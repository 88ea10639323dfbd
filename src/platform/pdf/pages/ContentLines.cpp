#include "platform/pdf/pages/ContentSplit.h"

#include <QHash>

#include <cmath>
#include <vector>

namespace vmk::pdf {

namespace {

bool white(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'; }
bool delimiter(char c)
{
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' || c == '/'
        || c == '%';
}

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
QByteArray kindOf(const QByteArray& op)
{
    static const QHash<QByteArray, QByteArray> kinds{
        {"w", "w"},     {"J", "J"},     {"j", "j"},     {"M", "M"},     {"d", "d"},    {"ri", "ri"},
        {"i", "i"},     {"CS", "CS"},   {"cs", "cs"},   {"SC", "SC"},   {"SCN", "SC"}, {"sc", "sc"},
        {"scn", "sc"},  {"G", "SC"},    {"RG", "SC"},   {"K", "SC"},    {"g", "sc"},   {"rg", "sc"},
        {"k", "sc"},    {"Tc", "Tc"},   {"Tw", "Tw"},   {"Tz", "Tz"},   {"TL", "TL"},  {"Tf", "Tf"},
        {"Ts", "Ts"},   {"Tr", "Tr"},
    };
    return kinds.value(op);
}

bool paints(const QByteArray& op)
{
    return op == "S" || op == "s" || op == "f" || op == "F" || op == "f*" || op == "B" || op == "B*" || op == "b"
        || op == "b*";
}
bool buildsPath(const QByteArray& op)
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
        return num(a) + ' ' + num(b) + ' ' + num(c) + ' ' + num(d) + ' ' + num(e) + ' ' + num(f) + " Tm";
    }
};

} // namespace

QByteArray withLinesApart(const QByteArray& content)
{
    const char* s = content.constData();
    const qsizetype n = content.size();
    QList<std::pair<qsizetype, QByteArray>> inserts;
    std::vector<StateOps> states(1); // what each open group set itself
    // Per open group: whether it drew since it was last reopened, and whether a drawing unit just ended.
    std::vector<char> drawn(1, 0), afterUnit(1, 0);
    int depth = 0, marks = 0, marksAtScope = 0, marksAtText = 0;
    bool inText = false, shown = false, clipPending = false;
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
    QByteArray path;         // the path under construction, for a clip to be replayed
    QList<qsizetype> operands; // where the current operator's operands start
    auto lookup = [&](const QByteArray& kind) {
        for (auto it = states.rbegin(); it != states.rend(); ++it)
            if (const QByteArray op = it->find(kind); !op.isEmpty())
                return op;
        return QByteArray();
    };
    auto number = [&](int fromEnd, qsizetype end) {
        const qsizetype at = operands[operands.size() - fromEnd];
        qsizetype to = at;
        while (to < end && !white(s[to]) && !delimiter(s[to]))
            ++to;
        return content.mid(at, to - at).toDouble();
    };
    for (qsizetype i = 0; i < n;) {
        const char c = s[i];
        const qsizetype begin = i;
        if (white(c)) {
            ++i;
            continue;
        }
        if (c == '%') {
            while (i < n && s[i] != '\n' && s[i] != '\r')
                ++i;
            continue;
        }
        if (c == '(') {
            int nest = 0;
            for (; i < n; ++i) {
                if (s[i] == '\\')
                    ++i;
                else if (s[i] == '(')
                    ++nest;
                else if (s[i] == ')' && --nest == 0) {
                    ++i;
                    break;
                }
            }
            if (nest != 0)
                return content;
            operands.append(begin);
            continue;
        }
        if (c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}') {
            // Arrays and dictionaries are walked token by token; their start counts as one operand start.
            if (c == '<' && i + 1 < n && s[i + 1] != '<') {
                const qsizetype close = content.indexOf('>', i);
                if (close < 0)
                    return content;
                i = close + 1;
            } else {
                i += (c == '<' || c == '>') && i + 1 < n && s[i + 1] == c ? 2 : 1;
            }
            operands.append(begin);
            continue;
        }
        ++i;
        while (i < n && !white(s[i]) && !delimiter(s[i]))
            ++i;
        const QByteArray word = content.mid(begin, i - begin);
        if (c == '/' || c == '-' || c == '+' || c == '.' || (c >= '0' && c <= '9') || word == "true"
            || word == "false" || word == "null") {
            operands.append(begin);
            continue;
        }
        const qsizetype opStart = operands.isEmpty() ? begin : operands.front();
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
                next = line.moved(number(2, i), number(1, i));
            else if (word == "Tm" && operands.size() >= 6)
                next = {number(6, i), number(5, i), number(4, i), number(3, i), number(2, i), number(1, i)};
            else
                next = line.moved(0, -lookup("TL").split(' ').value(0).toDouble());
            if (!line.sameLine(next)) {
                // The text object ends here and a new one begins with the same line and text state.
                QByteArray cut = "\nET" + reopen() + "BT\n" + line.op() + '\n';
                for (const char* kind : {"Tf", "Tc", "Tw", "Tz", "TL", "Ts", "Tr"})
                    if (const QByteArray op = lookup(kind); !op.isEmpty())
                        cut += op + '\n';
                inserts.append({opStart, cut});
                shown = false;
            }
        }
        if (word == "BI") {
            const qsizetype id = content.indexOf("ID", i);
            if (id < 0)
                return content;
            qsizetype at = id + 3, ei = -1;
            while ((at = content.indexOf("EI", at)) >= 0) {
                if (white(s[at - 1]) && (at + 2 >= n || white(s[at + 2]) || delimiter(s[at + 2]))) {
                    ei = at;
                    break;
                }
                ++at;
            }
            if (ei < 0)
                return content;
            i = ei + 2;
            drawn[depth] = afterUnit[depth] = true;
        } else if (word == "q") {
            if (inText)
                return content;
            states.push_back({});
            drawn.push_back(0);
            afterUnit.push_back(0);
            if (++depth == 1)
                marksAtScope = marks;
        } else if (word == "Q") {
            if (depth == 0 || inText)
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
            shown = false;
            line = {};
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
        } else if (buildsPath(word)) {
            path += whole + '\n';
        } else if (word == "W" || word == "W*") {
            clipPending = true;
            path += word + '\n';
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
            if (word == "Tr" && (operands.isEmpty() || number(1, i) >= 4))
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
            states.back().set("TL", num(-number(1, i)) + " TL");
        if (word == "\"" && operands.size() >= 3) {
            states.back().set("Tw", num(number(3, i)) + " Tw");
            states.back().set("Tc", num(number(2, i)) + " Tc");
        }
        if (startsLine) {
            if ((word == "Td" || word == "TD") && operands.size() >= 2)
                line = line.moved(number(2, i), number(1, i));
            else if (word == "Tm" && operands.size() >= 6)
                line = {number(6, i), number(5, i), number(4, i), number(3, i), number(2, i), number(1, i)};
            else
                line = line.moved(0, -lookup("TL").split(' ').value(0).toDouble());
            if (word == "'" || word == "\"")
                shown = true;
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

} // namespace vmk::pdf
