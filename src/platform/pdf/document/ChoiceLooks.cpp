#include "platform/pdf/document/ChoiceLooks.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vmk::pdf::detail {

namespace {

// Damaged forms may nest or list without end.
constexpr int kMaxDepth = 32;
constexpr int kMaxOptions = 10000;

// What the engine's list drawing begins with; a list drawn by anyone else (the file's own look) is left.
constexpr char kEngineListStart[] = "/Tx BMC\nq\n";
// Marks a list already given its bands, so that a second pass does not lay them twice.
constexpr char kBandsMark[] = "% chosen rows\n";
// The band colour other readers use for a chosen row.
constexpr char kBandColour[] = "0.6 0.75 0.87 rg\n";

// Option i's export value and label; a plain string is both. Throws MuPDF errors.
void optionAt(fz_context* c, pdf_obj* options, int i, const char** exported, const char** label)
{
    pdf_obj* entry = pdf_array_get(c, options, i);
    if (pdf_is_array(c, entry)) {
        *exported = pdf_array_get_text_string(c, entry, 0);
        *label = pdf_array_get_text_string(c, entry, 1);
    } else {
        *exported = *label = pdf_to_text_string(c, entry);
    }
}

// The dictionary the widget takes its value from: itself or the nearest parent holding /V.
pdf_obj* valueHolder(fz_context* c, pdf_obj* widget)
{
    pdf_obj* node = widget;
    for (int depth = 0; pdf_is_dict(c, node) && depth < kMaxDepth; ++depth) {
        if (pdf_dict_get(c, node, PDF_NAME(V)))
            return node;
        node = pdf_dict_get(c, node, PDF_NAME(Parent));
    }
    return nullptr;
}

bool isChosen(fz_context* c, pdf_obj* value, const char* exported)
{
    if (pdf_is_array(c, value)) {
        for (int i = 0, n = std::min(pdf_array_len(c, value), kMaxOptions); i < n; ++i)
            if (!std::strcmp(pdf_array_get_text_string(c, value, i), exported))
                return true;
        return false;
    }
    return pdf_is_string(c, value) && !std::strcmp(pdf_to_text_string(c, value), exported);
}

// Where the rows of a list the engine drew lie: it writes the options top down from /TI as lines of
// text, inside twice the border width, one line height (1.116 times the font size, 12 points when the
// field asks for automatic size) apart.
struct ListRows {
    float left = 0, width = 0; // of a band
    float firstBaseline = 0, lineHeight = 0, fontSize = 0;
    int top = 0; // the option shown in the first row
};

// The bands behind a list's chosen rows, as path operators; empty when none is chosen or on error.
QByteArray chosenBands(fz_context* c, pdf_annot* list)
{
    ListRows rows;
    std::vector<int> chosen; // outside the guard: nothing with a destructor lives inside it
    guarded(c, [&] {
        pdf_obj* obj = pdf_annot_obj(c, list);
        const fz_rect rect = pdf_dict_get_rect(c, obj, PDF_NAME(Rect));
        const int turn = pdf_dict_get_int(c, pdf_dict_get(c, obj, PDF_NAME(MK)), PDF_NAME(R)) % 360;
        float w = rect.x1 - rect.x0;
        float h = rect.y1 - rect.y0;
        if (turn == 90 || turn == 270)
            std::swap(w, h);
        const float border = pdf_annot_border(c, list);
        const char* font = nullptr;
        float size = 0;
        int colours = 0;
        float colour[4] = {0, 0, 0, 0};
        pdf_annot_default_appearance(c, list, &font, &size, &colours, colour);
        if (size <= 0)
            size = 12;
        const float padding = border * 2;
        const float inner = h - padding * 2;
        const float line = size * 1.116f;
        float baseline = line;
        if (baseline + 0.2f * size > inner)
            baseline = inner - 0.2f * size;
        rows = {border, w - border * 2, padding + inner - baseline, line, size,
                std::max(0, pdf_dict_get_int(c, obj, PDF_NAME(TI)))};

        pdf_obj* value = pdf_dict_get_inheritable(c, obj, PDF_NAME(V));
        pdf_obj* options = pdf_dict_get(c, obj, PDF_NAME(Opt)); // the engine lists the widget's own
        const int count = std::min(pdf_array_len(c, options), kMaxOptions);
        for (int i = rows.top; i < count; ++i) {
            const char* exported = nullptr;
            const char* label = nullptr;
            optionAt(c, options, i, &exported, &label);
            if (isChosen(c, value, exported))
                chosen.push_back(i - rows.top);
        }
    });
    QByteArray bands;
    for (const int row : chosen) {
        const float baseline = rows.firstBaseline - float(row) * rows.lineHeight;
        if (baseline + rows.fontSize < 0)
            break; // rows below the box are not drawn
        // From a little below the baseline (descenders) to a line height above that.
        const float bottom = baseline - 0.25f * rows.fontSize;
        bands += QByteArray::number(rows.left, 'g', 6) + ' ' + QByteArray::number(bottom, 'g', 6) + ' '
            + QByteArray::number(rows.width, 'g', 6) + ' ' + QByteArray::number(rows.lineHeight, 'g', 6) + " re\n";
    }
    return bands;
}

// Lays the bands into the list's appearance, behind its text and inside its border.
void layBands(fz_context* c, pdf_annot* list)
{
    const QByteArray bands = chosenBands(c, list);
    if (bands.isEmpty())
        return;
    pdf_obj* stream = nullptr;
    fz_buffer* old = nullptr;
    QByteArray content;
    guarded(c, [&] {
        stream = pdf_dict_getp(c, pdf_annot_obj(c, list), "AP/N");
        if (pdf_is_stream(c, stream))
            old = pdf_load_stream(c, stream);
    });
    if (!old)
        return;
    unsigned char* data = nullptr;
    const size_t length = fz_buffer_storage(c, old, &data);
    content = QByteArray(reinterpret_cast<const char*>(data), qsizetype(length));
    fz_drop_buffer(c, old);
    if (!content.startsWith(kEngineListStart) || content.contains(kBandsMark))
        return;
    const qsizetype clip = content.indexOf("W\nn\n");
    const qsizetype at = clip < 0 ? qsizetype(std::strlen(kEngineListStart)) : clip + 4;
    content.insert(at, QByteArray(kBandsMark) + "q\n" + kBandColour + bands + "f\nQ\n");
    fz_buffer* updated = nullptr;
    guarded(c, [&] {
        updated = fz_new_buffer_from_copied_data(c, reinterpret_cast<const unsigned char*>(content.constData()),
                                                 size_t(content.size()));
        pdf_update_stream(c, pdf_get_bound_document(c, stream), stream, updated, 0);
    });
    fz_drop_buffer(c, updated);
}

} // namespace

ChoiceLooks::~ChoiceLooks()
{
    if (!shown_.empty() || !lists_.empty())
        finish(ctx());
}

void ChoiceLooks::prepare(fz_context* c, pdf_annot* widget)
{
    const int type = pdf_widget_type(c, widget);
    if (type == PDF_WIDGET_TYPE_LISTBOX) {
        lists_.push_back(pdf_keep_annot(c, widget));
        return;
    }
    if (type != PDF_WIDGET_TYPE_COMBOBOX)
        return;
    pdf_obj* obj = pdf_annot_obj(c, widget);
    pdf_obj* holder = valueHolder(c, obj);
    // Two widgets of one field on the page: the first already shows the label.
    if (!holder || std::any_of(shown_.begin(), shown_.end(), [&](const Shown& s) { return s.holder == holder; }))
        return;
    pdf_obj* value = pdf_dict_get(c, holder, PDF_NAME(V));
    if (!pdf_is_string(c, value))
        return;
    const char* current = pdf_to_text_string(c, value);
    pdf_obj* options = pdf_dict_get_inheritable(c, obj, PDF_NAME(Opt));
    for (int i = 0, n = std::min(pdf_array_len(c, options), kMaxOptions); i < n; ++i) {
        const char* exported = nullptr;
        const char* label = nullptr;
        optionAt(c, options, i, &exported, &label);
        if (std::strcmp(exported, current))
            continue;
        if (!std::strcmp(label, current) || !*label)
            return;
        shown_.push_back({pdf_keep_obj(c, holder), pdf_keep_obj(c, value), pdf_keep_obj(c, obj)});
        pdf_dict_put_text_string(c, holder, PDF_NAME(V), label);
        return;
    }
}

void ChoiceLooks::finish(fz_context* c)
{
    for (auto it = shown_.rbegin(); it != shown_.rend(); ++it) {
        guarded(c, [&] {
            pdf_dict_put(c, it->holder, PDF_NAME(V), it->value);
            // Putting the value back is no change the engine must draw again.
            pdf_clean_obj(c, it->holder);
            pdf_clean_obj(c, it->widget);
        });
        pdf_drop_obj(c, it->holder);
        pdf_drop_obj(c, it->value);
        pdf_drop_obj(c, it->widget);
    }
    shown_.clear();
    for (pdf_annot* list : lists_) {
        layBands(c, list);
        pdf_drop_annot(c, list);
    }
    lists_.clear();
}

} // namespace vmk::pdf::detail
