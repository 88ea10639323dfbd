#include "platform/pdf/scrub/RedactionScrub.h"
#include "platform/pdf/scrub/ObjectEdits.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/ClearMetadata.h"
#include "platform/pdf/document/State.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace vmk::pdf {

using namespace detail;

// ---- word removal ------------------------------------------------------------------------------------

namespace {

QRegularExpression wordPattern(const QStringList& words)
{
    QStringList sorted;
    for (const QString& w : words)
        if (!w.isEmpty())
            sorted.append(QRegularExpression::escape(w));
    sorted.removeDuplicates();
    // Longer words first, so that a word is not cut short by one of its own beginnings.
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    return QRegularExpression(QStringLiteral("(?<![\\p{L}\\p{N}_])(?:%1)(?![\\p{L}\\p{N}_])").arg(sorted.join(u'|')),
                              QRegularExpression::CaseInsensitiveOption
                                  | QRegularExpression::UseUnicodePropertiesOption);
}

QString removeMatches(const QString& text, const QRegularExpression& pattern, bool tidy)
{
    if (!pattern.isValid() || pattern.pattern().contains(QLatin1String("(?:)")))
        return text;
    QString out = text;
    out.replace(pattern, QString());
    if (out == text || !tidy)
        return out;
    static const QRegularExpression spaces(QStringLiteral("[ \\t]{2,}"));
    static const QRegularExpression spaceBeforeMark(QStringLiteral(" +([,.;:!?)])"));
    out.replace(spaces, QStringLiteral(" "));
    out.replace(spaceBeforeMark, QStringLiteral("\\1"));
    return out.trimmed();
}

QString removeMatchesFromXml(const QString& xml, const QRegularExpression& pattern)
{
    QString out;
    out.reserve(xml.size());
    QString run;
    bool inTag = false;
    QChar quote;
    auto flush = [&] {
        out += removeMatches(run, pattern, false);
        run.clear();
    };
    for (QChar ch : xml) {
        if (!inTag) {
            if (ch == u'<') {
                flush();
                inTag = true;
                out += ch;
            } else {
                run += ch;
            }
        } else if (!quote.isNull()) {
            if (ch == quote) {
                flush();
                quote = QChar();
                out += ch;
            } else {
                run += ch;
            }
        } else {
            if (ch == u'"' || ch == u'\'')
                quote = ch;
            else if (ch == u'>')
                inTag = false;
            out += ch;
        }
    }
    flush();
    return out;
}

bool hasWord(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar ch) { return ch.isLetterOrNumber(); });
}

} // namespace

QStringList splitWords(const QString& text)
{
    static const QRegularExpression word(QStringLiteral("[\\p{L}\\p{N}]{2,}"),
                                         QRegularExpression::UseUnicodePropertiesOption);
    QStringList words;
    for (auto it = word.globalMatch(text); it.hasNext();)
        words.append(it.next().captured());
    return words;
}

QString removeWords(const QString& text, const QStringList& words)
{
    return removeMatches(text, wordPattern(words), true);
}

QString removeWordsFromXml(const QString& xml, const QStringList& words)
{
    return removeMatchesFromXml(xml, wordPattern(words));
}

// ---- the scrub ---------------------------------------------------------------------------------------

namespace {

constexpr int kMaxDepth = 64;
const QString kRedactedTitle = QStringLiteral("Redacted");

pdf_obj* newText(fz_context* c, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return pdf_new_text_string(c, utf8.constData());
}

class Scrubber {
public:
    Scrubber(pdf_document* doc, ObjectEdits::Impl& edits) : m_doc(doc), m_edits(edits) {}
    ~Scrubber()
    {
        for (const Work& w : m_work)
            pdf_drop_obj(ctx(), w.obj);
    }
    Scrubber(const Scrubber&) = delete;
    Scrubber& operator=(const Scrubber&) = delete;

    // What costs as much as the marks: their widgets and dropped annotations, and the words to look for.
    // The walk through the rest of the document is queued for step().
    void start(QStringList words, const std::vector<AnnotationPtr>& emptiedWidgets,
               const std::vector<AnnotationPtr>& dropped)
    {
        fz_context* c = ctx();
        for (const AnnotationPtr& annotation : dropped)
            strip(c, annotation->state().ref.obj);
        // A value that lay under a mark is as secret as the page's text there.
        QStringList values;
        for (const AnnotationPtr& widget : emptiedWidgets)
            emptyField(c, widget->state().ref.obj, values);
        for (const QString& value : values)
            words += splitWords(value);
        words.removeDuplicates();
        if (words.isEmpty())
            return;
        m_pattern = wordPattern(words);
        documentInformation(c);
        metadata(c);
        // Last in, first out: the outline first, the structure tree last.
        guarded(c, [&] {
            pdf_obj* root = pdf_dict_get(c, pdf_trailer(c, m_doc), PDF_NAME(Root));
            queue(c, Work::Kind::structure, pdf_dict_getp(c, root, "StructTreeRoot/K"), 0);
            queue(c, Work::Kind::fields, pdf_dict_getp(c, root, "AcroForm/Fields"), 0);
            for (int i = pdf_count_pages(c, m_doc) - 1; i >= 0; --i)
                m_work.push_back(Work{Work::Kind::page, nullptr, i});
            queue(c, Work::Kind::outline, pdf_dict_getp(c, root, "Outlines/First"), 0);
        });
    }

    // Walks on until the walk is done (true) or the time is up.
    bool step(const QDeadlineTimer& deadline)
    {
        fz_context* c = ctx();
        while (!m_work.empty()) {
            if (deadline.hasExpired())
                return false;
            const Work w = m_work.back();
            m_work.pop_back();
            switch (w.kind) {
            case Work::Kind::outline: outline(c, w.obj, w.depth); break;
            case Work::Kind::page: annotations(c, w.depth); break;
            case Work::Kind::fields: formFields(c, w.obj, w.depth); break;
            case Work::Kind::structure: structureElement(c, w.obj, w.depth); break;
            }
            pdf_drop_obj(c, w.obj);
        }
        return true;
    }

    const ScrubCounts& counts() const { return m_counts; }

private:
    // Returns whether the text string at dict/key changed; records the cleaned value (or the removal).
    bool cleanText(fz_context* c, pdf_obj* root, const char* path, pdf_obj* dict, const char* key, bool xml,
                   const QString& whenEmpty = QString())
    {
        pdf_obj* value = nullptr;
        guarded(c, [&] { value = pdf_dict_gets(c, dict, key); });
        if (!pdf_is_string(c, value))
            return false;
        const QString text = textOf(c, value);
        QString cleaned = xml ? removeMatchesFromXml(text, m_pattern) : removeMatches(text, m_pattern, true);
        if (cleaned == text)
            return false;
        if (!xml && !hasWord(cleaned))
            cleaned = whenEmpty;
        return guarded(c, [&] {
            m_edits.set(c, root, path, key, cleaned.isEmpty() ? nullptr : newText(c, cleaned));
        });
    }

    void documentInformation(fz_context* c)
    {
        pdf_obj* trailer = nullptr;
        pdf_obj* info = nullptr;
        QList<QByteArray> keys;
        guarded(c, [&] {
            trailer = pdf_trailer(c, m_doc);
            info = pdf_dict_get(c, trailer, PDF_NAME(Info));
            for (int i = 0, n = pdf_dict_len(c, info); i < n; ++i)
                if (pdf_is_string(c, pdf_dict_get_val(c, info, i)))
                    keys.append(QByteArray(pdf_to_name(c, pdf_dict_get_key(c, info, i))));
        });
        const bool indirect = pdf_is_indirect(c, info);
        for (const QByteArray& key : keys) {
            if (cleanText(c, indirect ? info : trailer, indirect ? "" : "Info", pdf_resolve_indirect(c, info),
                          key.constData(), false))
                ++m_counts.documentInformation;
        }
    }

    void metadata(fz_context* c)
    {
        pdf_obj* catalog = nullptr;
        pdf_obj* stream = nullptr;
        fz_buffer* data = nullptr;
        guarded(c, [&] {
            catalog = pdf_dict_get(c, pdf_trailer(c, m_doc), PDF_NAME(Root));
            stream = pdf_dict_get(c, catalog, PDF_NAME(Metadata));
        });
        if (!stream)
            return;
        guarded(c, [&] {
            if (pdf_is_stream(c, stream) && pdf_is_indirect(c, stream))
                data = detail::loadStreamAsStored(c, m_doc, stream);
        });
        QString xml;
        bool readable = data != nullptr;
        if (data) {
            unsigned char* bytes = nullptr;
            const size_t size = fz_buffer_storage(c, data, &bytes);
            QStringDecoder utf8(QStringDecoder::Utf8);
            xml = utf8(QByteArrayView(bytes, qsizetype(size)));
            readable = !utf8.hasError() && !xml.contains(QChar(0));
            fz_drop_buffer(c, data);
        }
        if (!readable) {
            // Metadata that cannot be read cannot be checked for the words: it leaves the document.
            guarded(c, [&] {
                const bool indirect = pdf_is_indirect(c, catalog);
                m_edits.set(c, indirect ? catalog : pdf_trailer(c, m_doc), indirect ? "" : "Root", "Metadata", nullptr);
                ++m_counts.metadata;
            });
            return;
        }
        const QString cleaned = removeMatchesFromXml(xml, m_pattern);
        if (cleaned == xml)
            return;
        const QByteArray utf8 = cleaned.toUtf8();
        guarded(c, [&] {
            fz_buffer* buffer = fz_new_buffer_from_copied_data(c, reinterpret_cast<const unsigned char*>(utf8.constData()),
                                                                size_t(utf8.size()));
            m_edits.streams.push_back({pdf_keep_obj(c, stream), buffer});
            ++m_counts.metadata;
        });
    }

    // One outline entry; its next sibling and first child are queued.
    void outline(fz_context* c, pdf_obj* item, int depth)
    {
        const int num = pdf_to_num(c, item);
        if (!pdf_is_indirect(c, item) || m_seenOutline.contains(num))
            return;
        m_seenOutline.insert(num);
        if (cleanText(c, item, "", pdf_resolve_indirect(c, item), "Title", false, kRedactedTitle))
            ++m_counts.outlineTitles;
        guarded(c, [&] {
            queue(c, Work::Kind::outline, pdf_dict_get(c, item, PDF_NAME(Next)), depth);
            queue(c, Work::Kind::outline, pdf_dict_get(c, item, PDF_NAME(First)), depth + 1);
        });
    }

    // The annotations of one page.
    void annotations(fz_context* c, int page)
    {
        pdf_obj* annots = nullptr;
        guarded(c, [&] {
            if (page < pdf_count_pages(c, m_doc))
                annots = pdf_dict_get(c, pdf_lookup_page_obj(c, m_doc, page), PDF_NAME(Annots));
        });
        for (int k = 0, n = pdf_array_len(c, annots); k < n; ++k) {
            pdf_obj* annot = pdf_array_get(c, annots, k);
            if (!pdf_is_indirect(c, annot))
                continue;
            pdf_obj* dict = pdf_resolve_indirect(c, annot);
            const bool widget = pdf_name_eq(c, pdf_dict_get(c, dict, PDF_NAME(Subtype)), PDF_NAME(Widget));
            bool changed = cleanText(c, annot, "", dict, "Contents", false);
            // A widget's /T is its field's name, not text shown to anyone.
            if (!widget) {
                changed = cleanText(c, annot, "", dict, "T", false) || changed;
                changed = cleanText(c, annot, "", dict, "Subj", false) || changed;
                changed = cleanText(c, annot, "", dict, "RC", true) || changed;
            }
            if (changed)
                ++m_counts.annotationTexts;
        }
    }

    void strip(fz_context* c, pdf_obj* annotation)
    {
        static const char* const kCarriers[] = {"Contents", "RC", "T", "Subj", "A", "Dest", "AP", "AA"};
        guarded(c, [&] {
            pdf_obj* dict = pdf_resolve_indirect(c, annotation);
            if (!pdf_is_indirect(c, annotation) || !pdf_is_dict(c, dict))
                return;
            // A form widget keeps its field's wiring: its field is emptied instead.
            if (pdf_name_eq(c, pdf_dict_get(c, dict, PDF_NAME(Subtype)), PDF_NAME(Widget)))
                return;
            for (const char* key : kCarriers)
                if (pdf_dict_gets(c, dict, key))
                    m_edits.set(c, annotation, "", key, nullptr);
        });
    }

    // Structure elements: a tree of dictionaries under /K (arrays, dictionaries, or marked-content numbers).
    void structureElement(fz_context* c, pdf_obj* node, int depth)
    {
        if (pdf_is_array(c, node)) {
            guarded(c, [&] {
                for (int i = pdf_array_len(c, node) - 1; i >= 0; --i)
                    queue(c, Work::Kind::structure, pdf_array_get(c, node, i), depth + 1);
            });
            return;
        }
        if (!pdf_is_indirect(c, node) || !pdf_is_dict(c, node) || m_seenStructure.contains(pdf_to_num(c, node)))
            return;
        m_seenStructure.insert(pdf_to_num(c, node));
        pdf_obj* dict = pdf_resolve_indirect(c, node);
        // Marked-content and object references lead to pages and annotations, which are cleaned elsewhere.
        pdf_obj* type = pdf_dict_get(c, dict, PDF_NAME(Type));
        const bool element = !type || strcmp(pdf_to_name(c, type), "StructElem") == 0;
        if (!element)
            return;
        bool changed = false;
        for (const char* key : {"Alt", "ActualText", "E", "T"})
            changed = cleanText(c, node, "", dict, key, false) || changed;
        if (changed)
            ++m_counts.structureTexts;
        guarded(c, [&] { queue(c, Work::Kind::structure, pdf_dict_get(c, dict, PDF_NAME(K)), depth + 1); });
    }

    // The field that holds a widget's value: the widget itself when it is merged with its field, else the
    // nearest ancestor with a name.
    static pdf_obj* fieldOf(fz_context* c, pdf_obj* widget)
    {
        pdf_obj* node = widget;
        for (int depth = 0; depth < kMaxDepth && node; ++depth) {
            if (pdf_dict_get(c, node, PDF_NAME(T)) || !pdf_dict_get(c, node, PDF_NAME(Parent)))
                return node;
            node = pdf_dict_get(c, node, PDF_NAME(Parent));
        }
        return widget;
    }

    // The widgets of a field: itself when merged, and its kids that are widgets without names.
    static std::vector<pdf_obj*> widgetsOf(fz_context* c, pdf_obj* field)
    {
        std::vector<pdf_obj*> widgets;
        if (pdf_name_eq(c, pdf_dict_get(c, field, PDF_NAME(Subtype)), PDF_NAME(Widget)))
            widgets.push_back(field);
        pdf_obj* kids = pdf_dict_get(c, field, PDF_NAME(Kids));
        for (int i = 0, n = pdf_array_len(c, kids); i < n; ++i) {
            pdf_obj* kid = pdf_array_get(c, kids, i);
            if (pdf_is_indirect(c, kid) && !pdf_dict_get(c, kid, PDF_NAME(T))
                && pdf_name_eq(c, pdf_dict_get(c, kid, PDF_NAME(Subtype)), PDF_NAME(Widget)))
                widgets.push_back(kid);
        }
        return widgets;
    }

    void emptyField(fz_context* c, pdf_obj* widget, QStringList& values)
    {
        pdf_obj* value = nullptr;
        guarded(c, [&] {
            value = pdf_dict_get_inheritable(c, fieldOf(c, widget), PDF_NAME(V));
        });
        if (pdf_is_string(c, value))
            values.append(textOf(c, value));
        for (int i = 0, n = pdf_is_array(c, value) ? pdf_array_len(c, value) : 0; i < n; ++i)
            values.append(textOf(c, pdf_array_get(c, value, i)));
        guarded(c, [&] {
            pdf_obj* field = fieldOf(c, widget);
            if (!pdf_is_indirect(c, field) || m_emptiedFields.contains(pdf_to_num(c, field)))
                return;
            m_emptiedFields.insert(pdf_to_num(c, field));
            const bool button = pdf_name_eq(c, pdf_dict_get_inheritable(c, field, PDF_NAME(FT)), PDF_NAME(Btn));
            const bool hadValue = pdf_dict_get(c, field, PDF_NAME(V)) != nullptr;
            if (button) {
                m_edits.set(c, field, "", "V", hadValue ? PDF_NAME(Off) : nullptr);
                for (pdf_obj* w : widgetsOf(c, field))
                    if (pdf_dict_get(c, w, PDF_NAME(AS)))
                        m_edits.set(c, w, "", "AS", PDF_NAME(Off));
            } else {
                m_edits.set(c, field, "", "V", nullptr);
                m_edits.set(c, field, "", "DV", nullptr);
                m_edits.set(c, field, "", "RV", nullptr);
                for (pdf_obj* w : widgetsOf(c, field))
                    m_edits.set(c, w, "", "AP", nullptr);
            }
            ++m_counts.fieldValues;
        });
    }

    // Cleans a choice field's list of selected values; returns whether it changed.
    bool cleanValueArray(fz_context* c, pdf_obj* field, pdf_obj* array)
    {
        QStringList values;
        for (int i = 0, n = pdf_array_len(c, array); i < n; ++i)
            values.append(textOf(c, pdf_array_get(c, array, i)));
        QStringList cleaned;
        for (const QString& v : values) {
            const QString clean = removeMatches(v, m_pattern, true);
            if (hasWord(clean))
                cleaned.append(clean);
        }
        if (cleaned == values)
            return false;
        return guarded(c, [&] {
            pdf_obj* out = pdf_new_array(c, m_doc, int(cleaned.size()));
            for (const QString& v : cleaned)
                pdf_array_push_drop(c, out, newText(c, v));
            m_edits.set(c, field, "", "V", out);
        });
    }

    // One level of the form's field tree; the kids' lists are queued.
    void formFields(fz_context* c, pdf_obj* fields, int depth)
    {
        for (int i = 0, n = pdf_array_len(c, fields); i < n; ++i) {
            pdf_obj* field = pdf_array_get(c, fields, i);
            const int num = pdf_to_num(c, field);
            if (!pdf_is_indirect(c, field) || m_seenFields.contains(num))
                continue;
            m_seenFields.insert(num);
            pdf_obj* dict = pdf_resolve_indirect(c, field);
            if (!m_emptiedFields.contains(num)) {
                bool changed = false;
                pdf_obj* value = pdf_dict_get(c, dict, PDF_NAME(V));
                if (pdf_is_array(c, value))
                    changed = cleanValueArray(c, field, value);
                else
                    changed = cleanText(c, field, "", dict, "V", false);
                changed = cleanText(c, field, "", dict, "RV", true) || changed;
                const bool defaultChanged = cleanText(c, field, "", dict, "DV", false);
                if (changed) {
                    ++m_counts.fieldValues;
                    // The appearances show the old value; readers draw them anew from the cleaned one.
                    guarded(c, [&] {
                        for (pdf_obj* w : widgetsOf(c, field))
                            m_edits.set(c, w, "", "AP", nullptr);
                        needAppearances(c);
                    });
                } else if (defaultChanged) {
                    ++m_counts.fieldValues;
                }
            }
            guarded(c, [&] { queue(c, Work::Kind::fields, pdf_dict_get(c, dict, PDF_NAME(Kids)), depth + 1); });
        }
    }

    // Throws MuPDF errors.
    void needAppearances(fz_context* c)
    {
        pdf_obj* root = pdf_dict_get(c, pdf_trailer(c, m_doc), PDF_NAME(Root));
        pdf_obj* form = pdf_dict_get(c, root, PDF_NAME(AcroForm));
        if (pdf_is_indirect(c, form))
            m_edits.set(c, form, "", "NeedAppearances", PDF_TRUE);
        else if (pdf_is_dict(c, form))
            m_edits.set(c, root, "AcroForm", "NeedAppearances", PDF_TRUE);
    }

    // A piece of the walk. Objects are held while queued: the document may change between steps.
    struct Work {
        enum class Kind { outline, page, fields, structure };
        Kind kind;
        pdf_obj* obj = nullptr;
        int depth = 0; // the page's index for a page
    };

    // Throws MuPDF errors.
    void queue(fz_context* c, Work::Kind kind, pdf_obj* obj, int depth)
    {
        if (obj && depth <= kMaxDepth)
            m_work.push_back(Work{kind, pdf_keep_obj(c, obj), depth});
    }

    pdf_document* m_doc;
    QRegularExpression m_pattern;
    ObjectEdits::Impl& m_edits;
    ScrubCounts m_counts;
    std::vector<Work> m_work;
    // What the walk has visited, by object number.
    QSet<int> m_seenOutline;
    QSet<int> m_seenFields;
    QSet<int> m_seenStructure;
    QSet<int> m_emptiedFields;
};

} // namespace

struct RedactionScrub::Impl {
    std::shared_ptr<ObjectEdits> edits = std::make_shared<ObjectEdits>();
    std::unique_ptr<Scrubber> scrubber;
};

RedactionScrub::RedactionScrub(const Document& document, const QStringList& words,
                               const std::vector<AnnotationPtr>& emptiedWidgets,
                               const std::vector<AnnotationPtr>& droppedAnnotations)
    : d(std::make_unique<Impl>())
{
    pdf_document* doc = document.state().doc;
    d->edits->impl().doc = pdf_keep_document(ctx(), doc);
    d->scrubber = std::make_unique<Scrubber>(doc, d->edits->impl());
    // Only this document's annotations: handles of another cannot be edited here.
    auto ours = [doc](const std::vector<AnnotationPtr>& annotations) {
        std::vector<AnnotationPtr> kept;
        for (const AnnotationPtr& a : annotations)
            if (a && a->state().ref.doc == doc)
                kept.push_back(a);
        return kept;
    };
    d->scrubber->start(words, ours(emptiedWidgets), ours(droppedAnnotations));
}

RedactionScrub::~RedactionScrub() = default;

bool RedactionScrub::step(const QDeadlineTimer& deadline) { return d->scrubber->step(deadline); }

std::shared_ptr<ObjectEdits> RedactionScrub::edits() const { return d->edits; }

ScrubCounts RedactionScrub::counts() const { return d->scrubber->counts(); }

std::shared_ptr<ObjectEdits> prepareRedactionScrub(const Document& document, const QStringList& words,
                                                  const std::vector<AnnotationPtr>& emptiedWidgets,
                                                  const std::vector<AnnotationPtr>& droppedAnnotations,
                                                  ScrubCounts* counts)
{
    RedactionScrub scrub(document, words, emptiedWidgets, droppedAnnotations);
    scrub.step(QDeadlineTimer(QDeadlineTimer::Forever));
    if (counts)
        *counts = scrub.counts();
    return scrub.edits();
}

} // namespace vmk::pdf
