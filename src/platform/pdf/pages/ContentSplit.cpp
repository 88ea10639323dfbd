#include "platform/pdf/pages/ContentSplit.h"

#include "platform/pdf/engine/Wait.h"
#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/document/ClearMetadataWrite.h"
#include "platform/pdf/engine/Fz.h"
#include "platform/pdf/pages/ContentTokens.h"
#include "platform/pdf/pages/TextPaint.h"
#include "platform/services/Secrets.h"

#include <QElapsedTimer>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>

#include <vector>

namespace vmk::pdf {

using content::Token;

namespace {

// More pieces than this and neighbouring pieces share a stream, as few to one as keeps the streams this many:
// a stream each would cost more than it saves.
constexpr qsizetype kMaxPieces = 400;

enum class Piece { graphics, text, picture };

// Filters made for pictures. Content streams are never meant to pass through them, and decoding one can
// take far longer than any content (a crafted JBIG2 stream runs for minutes with no way to stop it): a
// page whose content uses one is left whole without reading it.
bool usesPictureFilter(fz_context* c, pdf_obj* stream)
{
    pdf_obj* filter = pdf_dict_get(c, stream, PDF_NAME(Filter));
    const auto isPicture = [c](pdf_obj* name) {
        return pdf_name_eq(c, name, PDF_NAME(JBIG2Decode)) || pdf_name_eq(c, name, PDF_NAME(DCTDecode))
            || pdf_name_eq(c, name, PDF_NAME(DCT)) || pdf_name_eq(c, name, PDF_NAME(JPXDecode))
            || pdf_name_eq(c, name, PDF_NAME(CCITTFaxDecode)) || pdf_name_eq(c, name, PDF_NAME(CCF));
    };
    if (pdf_is_array(c, filter)) {
        for (int k = 0; k < pdf_array_len(c, filter); ++k)
            if (isPicture(pdf_array_get(c, filter, k)))
                return true;
        return false;
    }
    return isPicture(filter);
}

// A text object that only chooses a font ("BT /F6 12 Tf ET", as some writers leave before each line). The
// editing engine reads no object from it, so once the page is rewritten it drops the font from the resources
// as unused, and the leftover would name a font that is no longer there.
bool isFontChoiceOnly(const QByteArray& piece)
{
    static const QRegularExpression choiceOnly(
        QStringLiteral("^\\s*BT\\s*/[^\\s/\\[\\]()<>]+\\s+[-+0-9.]+\\s+Tf\\s*ET\\s*$"));
    return piece.size() < 200 && choiceOnly.match(QString::fromLatin1(piece)).hasMatch();
}

// A piece that is one text object, or one saved-state group, at the top level: what it sets ends with it
// once it is wrapped in a group of its own. Not so for text that adds to the clip (which outlasts its
// object), in the piece or in the state it inherits.
bool isOneUnit(const QByteArray& piece, const QByteArray& inherited)
{
    for (const QByteArray* part : {&inherited, &piece}) {
        QByteArrayView operand;
        content::Tokenizer tokens(*part);
        for (Token t = tokens.next(); !t.is(Token::Kind::end); t = tokens.next()) {
            if (t.isOp("Tr") && (operand.isEmpty() || operand.toByteArray().toInt() >= 4))
                return false;
            operand = t.text;
        }
    }
    QByteArrayView first, last;
    int depth = 0;
    bool closedEarly = false;
    content::Tokenizer tokens(piece);
    for (Token t = tokens.next(); !t.is(Token::Kind::end); t = tokens.next()) {
        if (t.is(Token::Kind::broken))
            return false;
        if (!t.is(Token::Kind::op) && !t.is(Token::Kind::inlineImage))
            continue;
        closedEarly = closedEarly || (depth == 0 && !first.isNull());
        if (first.isNull())
            first = t.text;
        last = t.text;
        depth += t.text == "q" || t.text == "BT" ? 1 : t.text == "Q" || t.text == "ET" ? -1 : 0;
    }
    return depth == 0 && !closedEarly && ((first == "BT" && last == "ET") || (first == "q" && last == "Q"));
}

// The state a piece inherits, less the text state where the piece shows no text.
QByteArray inheritedBy(const QByteArray& piece, const QByteArray& state)
{
    if (piece.contains("BT"))
        return state;
    QByteArray out;
    for (const QByteArray& op : state.split('\n')) {
        const QByteArray name = op.mid(op.lastIndexOf(' ') + 1);
        if (!op.isEmpty() && name != "Tc" && name != "Tw" && name != "Tz" && name != "TL" && name != "Ts" && name != "Tr")
            out += op + '\n';
    }
    return out;
}

// A piece made only of saved-state groups that set state and draw nothing, such as a group reopened around
// a bare font choice when lines were set apart. It has no effect, and the fonts it names may leave the
// resources once the page is rewritten; poppler then warns of an unknown font.
bool isGroupsWithoutEffect(const QByteArray& piece)
{
    static const QSet<QByteArray> settings{
        "BT", "ET", "Tf", "Tc", "Tw", "Tz", "TL", "Ts", "Tr", "Td", "TD", "Tm", "T*", "w",  "J",   "j", "M",
        "d",  "ri", "i",  "gs", "cm", "CS", "cs", "SC", "SCN", "sc", "scn", "G", "g",  "RG", "rg", "K", "k",
        "m",  "l",  "c",  "v",  "y",  "h",  "re", "W",  "W*",  "n"};
    int depth = 0;
    bool any = false;
    content::Tokenizer tokens(piece);
    for (Token t = tokens.next(); !t.is(Token::Kind::end); t = tokens.next()) {
        if (t.is(Token::Kind::broken) || t.is(Token::Kind::inlineImage))
            return false;
        if (!t.is(Token::Kind::op)) {
            if (depth == 0)
                return false;
            continue;
        }
        if (t.text == "q") {
            ++depth;
        } else if (t.text == "Q") {
            if (--depth < 0)
                return false;
        } else if (depth == 0 || !settings.contains(t.text.toByteArray())) {
            return false;
        }
        any = true;
    }
    return any && depth == 0;
}

// The piece with the font in effect (as "/F1 12 Tf") chosen again at the start of each text object that
// shows text before choosing a font of its own, so that a bare choice it relied on may go. `font` follows
// the piece's operators (a group restores the font it began with); `unresolved` is set when text relies on
// a font not known here. `chosenOnlyInText` is the same with every font choice outside a text object left
// out: once every text object has its font, those choose for nothing, and may name a font the rewritten
// page no longer has (a choice carried into groups reopened around pictures and rules).
QByteArray withFontChosen(const QByteArray& piece, QByteArray& font, bool& unresolved, QByteArray& chosenOnlyInText)
{
    QList<QByteArray> saved;                           // the font at each open group
    QList<std::pair<qsizetype, QByteArray>> additions; // where a text object starts, and the font it gets
    QList<std::pair<qsizetype, qsizetype>> outside;    // font choices outside text objects, [from, to)
    QList<qsizetype> operands;                         // where the current operator's operands start
    bool inText = false, chosen = false;
    qsizetype textStart = 0;
    content::Tokenizer tokens(piece);
    for (Token t = tokens.next(); !t.is(Token::Kind::end) && !t.is(Token::Kind::broken); t = tokens.next()) {
        if (!t.is(Token::Kind::op)) {
            if (!t.is(Token::Kind::inlineImage))
                operands.append(t.begin);
            else
                operands.clear();
            continue;
        }
        const QByteArrayView word = t.text;
        if (word == "q") {
            saved.append(font);
        } else if (word == "Q") {
            if (!saved.isEmpty())
                font = saved.takeLast();
        } else if (word == "BT") {
            inText = true;
            chosen = false;
            textStart = t.end;
        } else if (word == "ET") {
            inText = false;
        } else if (word == "Tf" && operands.size() >= 2) {
            font = piece.mid(operands[operands.size() - 2], t.end - operands[operands.size() - 2]).simplified();
            chosen = true;
            if (!inText)
                outside.append({operands[operands.size() - 2], t.end});
        } else if (inText && !chosen && (word == "Tj" || word == "TJ" || word == "'" || word == "\"")) {
            if (font.isEmpty())
                unresolved = true;
            else
                additions.append({textStart, font});
            chosen = true;
        }
        operands.clear();
    }
    QByteArray out = piece;
    for (qsizetype k = additions.size() - 1; k >= 0; --k)
        out.insert(additions[k].first, ' ' + additions[k].second + ' ');
    // Both kinds of edit, from the end so that earlier offsets hold (an addition is never inside a choice).
    chosenOnlyInText = piece;
    qsizetype a = additions.size() - 1, o = outside.size() - 1;
    while (a >= 0 || o >= 0) {
        if (o < 0 || (a >= 0 && additions[a].first >= outside[o].second)) {
            chosenOnlyInText.insert(additions[a].first, ' ' + additions[a].second + ' ');
            --a;
        } else {
            chosenOnlyInText.replace(outside[o].first, outside[o].second - outside[o].first, " ");
            --o;
        }
    }
    return out;
}

// Marks the embedded simple fonts of the page whose kind and untagged base name another of its fonts shares
// (see kSubsetTagMark), adding each new name with the old one to `marked`; true when any was marked.
bool markSubsetsOfOneFace(fz_context* c, pdf_obj* page, QHash<QByteArray, QByteArray>& marked)
{
    pdf_obj* fonts = pdf_dict_get(c, pdf_dict_get_inheritable(c, page, PDF_NAME(Resources)), PDF_NAME(Font));
    QHash<QByteArray, QList<pdf_obj*>> byFace;
    QSet<QByteArray> names;
    for (int k = 0, n = pdf_dict_len(c, fonts); k < n; ++k) {
        pdf_obj* font = pdf_resolve_indirect(c, pdf_dict_get_val(c, fonts, k));
        const QByteArray name(pdf_to_name(c, pdf_dict_get(c, font, PDF_NAME(BaseFont))));
        names.insert(name);
        pdf_obj* subtype = pdf_dict_get(c, font, PDF_NAME(Subtype));
        const bool trueType = pdf_name_eq(c, subtype, PDF_NAME(TrueType));
        if (!trueType && !pdf_name_eq(c, subtype, PDF_NAME(Type1)) && !pdf_name_eq(c, subtype, PDF_NAME(MMType1)))
            continue;
        // The engine leaves the tag on where it reads no program from the file.
        pdf_obj* descriptor = pdf_dict_get(c, font, PDF_NAME(FontDescriptor));
        if (name.size() <= 7 || name[6] != '+'
            || !(pdf_dict_get(c, descriptor, PDF_NAME(FontFile)) || pdf_dict_get(c, descriptor, PDF_NAME(FontFile2))
                 || pdf_dict_get(c, descriptor, PDF_NAME(FontFile3))))
            continue;
        QList<pdf_obj*>& face = byFace[(trueType ? "TrueType/" : "Type1/") + name.mid(7)];
        if (!face.contains(font))
            face.append(font);
    }
    bool any = false;
    for (const QList<pdf_obj*>& face : std::as_const(byFace)) {
        for (qsizetype k = 0; face.size() > 1 && k < face.size(); ++k) {
            const QByteArray old(pdf_to_name(c, pdf_dict_get(c, face[k], PDF_NAME(BaseFont))));
            QByteArray name = old;
            name[6] = kSubsetTagMark;
            // Subsets tagged alike (one subset given two encodings) get tags of their own; no name the page
            // has already is taken, since every marked name is restored.
            for (int tries = 0; (names.contains(name) || marked.contains(name)) && tries < 26 * 26; ++tries) {
                name[4] = char('A' + tries / 26);
                name[5] = char('A' + tries % 26);
            }
            if (names.contains(name) || marked.contains(name))
                continue;
            pdf_dict_put_name(c, face[k], PDF_NAME(BaseFont), name.constData());
            marked.insert(name, old);
            any = true;
        }
    }
    return any;
}

} // namespace

QByteArray withoutUnmatchedRestores(const QByteArray& content)
{
    QByteArray out = content;
    int depth = 0;
    bool inText = false;
    content::Tokenizer tokens(content);
    for (Token t = tokens.next(); !t.is(Token::Kind::end) && !t.is(Token::Kind::broken); t = tokens.next()) {
        if (!t.is(Token::Kind::op))
            continue;
        const QByteArrayView word = t.text;
        if (word == "q")
            ++depth;
        else if (word == "BT")
            inText = true;
        else if (word == "ET")
            inText = false;
        else if (word == "Q" && depth > 0)
            --depth;
        else if (word == "Q" && !inText)
            out.replace(t.begin, t.end - t.begin, QByteArray(t.end - t.begin, ' '));
    }
    return out;
}

QList<qsizetype> contentCutPoints(const QByteArray& content)
{
    const char* s = content.constData();
    const qsizetype n = content.size();
    int depth = 0;
    bool inText = false;
    int arrays = 0, dicts = 0;
    // Pieces as [start, end) with their kind; a new piece starts where the previous ended.
    std::vector<std::pair<qsizetype, Piece>> starts{{0, Piece::graphics}};
    Piece groupKind = Piece::graphics; // what the current depth-0 group has drawn
    auto cut = [&](qsizetype at, Piece kind) {
        // A piece of nothing but white space joins the next one.
        bool blank = true;
        for (qsizetype k = starts.back().first; k < at && blank; ++k)
            blank = content::isWhite(s[k]);
        if (blank) {
            starts.back().second = kind;
            return;
        }
        starts.push_back({at, kind});
    };
    qsizetype looked = 0;
    content::Tokenizer tokens(content);
    for (Token t = tokens.next(); !t.is(Token::Kind::end); t = tokens.next()) {
        // A page of millions of operators takes a while: a wait called off stops here, leaving it whole.
        if (looked++ % 65536 == 0 && waitCancelled())
            return {};
        const bool top = depth == 0 && !inText && arrays == 0 && dicts == 0;
        switch (t.kind) {
        case Token::Kind::broken:
            return {};
        case Token::Kind::dictOpen:
            ++dicts;
            continue;
        case Token::Kind::dictClose:
            --dicts;
            continue;
        case Token::Kind::arrayOpen:
            ++arrays;
            continue;
        case Token::Kind::arrayClose:
            --arrays;
            continue;
        case Token::Kind::inlineImage:
            if (top) {
                cut(t.begin, Piece::picture);
                cut(t.end, Piece::graphics);
            } else if (depth > 0 && !inText) {
                groupKind = Piece::picture;
            }
            continue;
        case Token::Kind::op:
            break;
        default:
            continue;
        }
        const QByteArrayView word = t.text;
        if (word == "q") {
            if (top) {
                cut(t.begin, Piece::graphics);
                groupKind = Piece::graphics;
            }
            ++depth;
        } else if (word == "Q") {
            // A restore with nothing saved is passed over here; splitting blanks it out before cutting.
            if (depth == 0 && !inText)
                continue;
            if (depth == 0)
                return {};
            --depth;
            if (depth == 0 && !inText) {
                starts.back().second = groupKind;
                cut(t.end, Piece::graphics);
            }
        } else if (word == "BT") {
            if (inText)
                return {};
            if (top)
                cut(t.begin, Piece::text);
            else if (depth > 0 && groupKind == Piece::graphics)
                groupKind = Piece::text;
            inText = true;
        } else if (word == "ET") {
            if (!inText)
                return {};
            inText = false;
            if (depth == 0)
                cut(t.end, Piece::graphics);
        } else if (word == "Do" || word == "sh") {
            if (top) {
                starts.back().second = Piece::picture;
                cut(t.end, Piece::graphics);
            } else if (depth > 0) {
                groupKind = Piece::picture;
            }
        }
    }
    if (depth != 0 || inText || arrays != 0 || dicts != 0)
        return {};
    // Merge neighbouring pieces of plain graphics; keep the others apart.
    QList<qsizetype> cuts;
    Piece previous = starts.front().second;
    for (size_t k = 1; k < starts.size(); ++k) {
        const auto [at, kind] = starts[k];
        const qsizetype end = k + 1 < starts.size() ? starts[k + 1].first : n;
        bool blank = true;
        for (qsizetype j = at; j < end && blank; ++j)
            blank = content::isWhite(s[j]);
        if (at >= n || blank)
            continue;
        if (kind == Piece::graphics && previous == Piece::graphics)
            continue;
        cuts.append(at);
        previous = kind;
    }
    return cuts;
}

QByteArray splitPageContents(const QByteArray& data, const QString& password, int budgetMs,
                             QHash<QByteArray, QByteArray>* markedSubsets, QHash<int, QList<QPointF>>* patternText)
{
    QElapsedTimer clock;
    clock.start();
    bool overBudget = false;
    using detail::ctx;
    using detail::guarded;
    fz_context* c = ctx();
    pdf_document* doc = nullptr;
    fz_buffer* input = nullptr;
    fz_stream* stream = nullptr;
    fz_buffer* output = nullptr;
    fz_output* out = nullptr;
    bool changed = false;
    QByteArray result;
    // One buffer for every page's content, outside the engine's error handling that would skip freeing it:
    // a content of megabytes is copied into memory already in use, not into fresh memory page by page.
    QByteArray joined;
    QHash<QByteArray, QByteArray> marked;
    QByteArray secret = password.toUtf8();
    const auto forgetSecret = qScopeGuard([&secret] { platform::wipe(secret); });
    const bool ok = guarded(c, [&] {
        input = fz_new_buffer_from_copied_data(c, reinterpret_cast<const unsigned char*>(data.constData()),
                                               size_t(data.size()));
        stream = fz_open_buffer(c, input);
        doc = pdf_open_document_with_stream(c, stream);
        if (pdf_needs_password(c, doc) && !pdf_authenticate_password(c, doc, secret.constData()))
            return;
        const int count = pdf_count_pages(c, doc);
        for (int p = 0; p < count; ++p) {
            if ((budgetMs >= 0 && clock.elapsed() >= budgetMs) || waitCancelled()) {
                overBudget = true;
                return;
            }
            pdf_obj* page = pdf_lookup_page_obj(c, doc, p);
            if (markedSubsets && markSubsetsOfOneFace(c, page, marked))
                changed = true;
            pdf_obj* contents = pdf_dict_get(c, page, PDF_NAME(Contents));
            // The page's content as one piece of bytes, streams joined by a newline as readers join them.
            joined.resize(0);
            bool readable = true;
            auto append = [&](pdf_obj* s) {
                if (!pdf_is_stream(c, s) || !readable)
                    return;
                if (usesPictureFilter(c, s)) {
                    readable = false;
                    return;
                }
                fz_buffer* b = pdf_load_stream(c, s);
                // Loading a stream of megabytes takes a while too: a wait called off meanwhile stops here.
                if (waitCancelled()) {
                    fz_drop_buffer(c, b);
                    readable = false;
                    return;
                }
                unsigned char* bytes = nullptr;
                const size_t len = fz_buffer_storage(c, b, &bytes);
                joined.append(reinterpret_cast<const char*>(bytes), qsizetype(len));
                joined.append('\n');
                fz_drop_buffer(c, b);
            };
            if (pdf_is_array(c, contents)) {
                for (int k = 0; k < pdf_array_len(c, contents); ++k)
                    append(pdf_array_get(c, contents, k));
            } else {
                append(contents);
            }
            if (!readable)
                continue;
            // Lines, spaced runs and page-wide groups apart when the pieces stay few enough; else lines and
            // groups alone; else as the page has them.
            joined = withoutUnmatchedRestores(joined);
            if (patternText)
                if (QList<QPointF> origins = patternTextOrigins(joined); !origins.isEmpty())
                    patternText->insert(p, origins);
            QList<qsizetype> cuts;
            for (bool spacedRunsApart : {true, false}) {
                const QByteArray apart = withLinesApart(joined, spacedRunsApart);
                cuts = apart.size() != joined.size() ? contentCutPoints(apart) : QList<qsizetype>{};
                if (!cuts.isEmpty() && (!spacedRunsApart || cuts.size() < kMaxPieces)) {
                    joined = apart;
                    break;
                }
                cuts.clear();
            }
            if (cuts.isEmpty())
                cuts = contentCutPoints(joined);
            if (cuts.isEmpty())
                continue;
            pdf_obj* pieces = pdf_new_array(c, doc, int(cuts.size()) + 1);
            pdf_dict_put_drop(c, page, PDF_NAME(Contents), pieces);
            // Each piece with the font chosen again where its text relied on an earlier bare choice; the bare
            // choices go when every text relying on one got its font so.
            QByteArray font; // the font chosen last, as "/F1 12 Tf"
            bool unresolved = false;
            // A piece, the same with no font choices outside text objects, and whether it is a bare choice.
            struct Written {
                QByteArray piece, chosenOnlyInText;
                bool bare = false;
            };
            QList<Written> written;
            const QList<QByteArray> states = statesAtCuts(joined, cuts);
            for (qsizetype k = 0, from = 0; k <= cuts.size(); ++k) {
                const qsizetype to = k < cuts.size() ? cuts[k] : joined.size();
                QByteArray piece = joined.mid(from, to - from);
                from = to;
                if (isGroupsWithoutEffect(piece))
                    continue;
                // Each piece sets again the state it inherits, which it loses should the piece before it be
                // rewritten.
                const QByteArray inherited = k > 0 ? inheritedBy(piece, states.value(k - 1)) : QByteArray();
                const bool unit = isOneUnit(piece, inherited);
                if (!inherited.isEmpty() && !isFontChoiceOnly(piece))
                    piece.prepend(inherited);
                if (isFontChoiceOnly(piece)) {
                    static const QRegularExpression choice(
                        QStringLiteral("/[^\\s/\\[\\]()<>]+\\s+[-+0-9.]+\\s+Tf"));
                    font = choice.match(QString::fromLatin1(piece)).captured().toLatin1();
                    written.append({piece, piece, true});
                } else {
                    QByteArray inText;
                    const QByteArray chosen = withFontChosen(piece, font, unresolved, inText);
                    // A text object or group keeps the state it sets to itself: the engine writes text without
                    // character or word spacing, scaling or rise, so a piece it writes again must not find
                    // those of the pieces before it in force.
                    if (unit)
                        written.append({"q\n" + chosen + "\nQ\n", "q\n" + inText + "\nQ\n", false});
                    else
                        written.append({chosen, inText, false});
                }
            }
            QList<const QByteArray*> kept;
            for (const Written& w : std::as_const(written))
                if (!w.bare || unresolved)
                    kept.append(unresolved ? &w.piece : &w.chosenOnlyInText);
            const qsizetype perStream = (kept.size() + kMaxPieces - 1) / kMaxPieces;
            for (qsizetype k = 0; k < kept.size(); k += perStream) {
                QByteArray stream;
                for (qsizetype j = k; j < std::min(k + perStream, kept.size()); ++j)
                    stream += *kept[j] + '\n';
                fz_buffer* b = fz_new_buffer_from_copied_data(
                    c, reinterpret_cast<const unsigned char*>(stream.constData()), size_t(stream.size()));
                pdf_obj* made = pdf_add_stream(c, doc, b, nullptr, 0);
                fz_drop_buffer(c, b);
                pdf_array_push_drop(c, pieces, made);
            }
            changed = true;
        }
    });
    // Streams the file holds in clear (metadata its encryption keeps so, those naming /Identity) would
    // come out as noise from the engine's writer: the document's metadata is written as stored, the
    // others encrypted like everything else, which is how the editing engine reads them right.
    detail::ClearMetadataWrite clearStreams;
    bool written = false;
    if (ok && changed && !overBudget && !waitCancelled()) {
        clearStreams.prepare(c, doc, true, detail::ClearMetadataWrite::Kept::documentMetadata);
        written = guarded(c, [&] {
            pdf_write_options opts = pdf_default_write_options;
            opts.do_compress = 1;
            opts.do_garbage = 1;
            opts.do_encrypt = doc->crypt ? PDF_ENCRYPT_KEEP : PDF_ENCRYPT_NONE;
            output = fz_new_buffer(c, size_t(data.size()) + 64 * 1024);
            out = fz_new_output_with_buffer(c, output);
            pdf_write_document(c, doc, out, &opts);
            fz_close_output(c, out);
            unsigned char* bytes = nullptr;
            const size_t len = fz_buffer_storage(c, output, &bytes);
            result = QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(len));
        });
        clearStreams.release(c);
        if (written && !clearStreams.rewrite(result))
            qCWarning(lcVmkPdf) << "Streams stored in clear stay as the engine wrote them in the split copy.";
    }
    fz_drop_output(c, out);
    fz_drop_buffer(c, output);
    fz_drop_stream(c, stream);
    fz_drop_buffer(c, input);
    detail::dropDocument(c, doc);
    if (!written || result.isEmpty() || waitCancelled())
        return data;
    if (markedSubsets)
        markedSubsets->insert(marked);
    return result;
}

} // namespace vmk::pdf
