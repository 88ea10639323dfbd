#include "platform/pdf/annotations/FormField.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/document/ChoiceLooks.h"
#include "platform/pdf/document/State.h"

#include <QSet>

#include <algorithm>
#include <functional>

namespace vmk::pdf::form {

using namespace detail;

namespace {

FieldKind kindOf(int widgetType)
{
    switch (widgetType) {
    case PDF_WIDGET_TYPE_TEXT: return FieldKind::Text;
    case PDF_WIDGET_TYPE_CHECKBOX: return FieldKind::CheckBox;
    case PDF_WIDGET_TYPE_RADIOBUTTON: return FieldKind::RadioButton;
    case PDF_WIDGET_TYPE_BUTTON: return FieldKind::PushButton;
    case PDF_WIDGET_TYPE_COMBOBOX: return FieldKind::ComboBox;
    case PDF_WIDGET_TYPE_LISTBOX: return FieldKind::ListBox;
    case PDF_WIDGET_TYPE_SIGNATURE: return FieldKind::Signature;
    default: return FieldKind::Other;
    }
}

// The field whose value a widget shows: the widget itself when it carries a name, else its parent.
pdf_obj* fieldOf(fz_context* c, pdf_obj* widget)
{
    pdf_obj* field = widget;
    guarded(c, [&] {
        if (!pdf_dict_get(c, widget, PDF_NAME(T)) && pdf_is_dict(c, pdf_dict_get(c, widget, PDF_NAME(Parent))))
            field = pdf_dict_get(c, widget, PDF_NAME(Parent));
    });
    return field;
}

// Object numbers of the widgets below a field (the field itself when it is its own widget). Bounded: a
// damaged form may nest or loop.
void collectWidgets(fz_context* c, pdf_obj* field, QSet<int>& numbers, int depth = 0)
{
    if (depth > 32 || numbers.size() > 10000)
        return;
    pdf_obj* kids = nullptr;
    int count = 0;
    guarded(c, [&] {
        kids = pdf_dict_get(c, field, PDF_NAME(Kids));
        count = pdf_array_len(c, kids);
    });
    if (count == 0) {
        numbers.insert(pdf_to_num(c, field));
        return;
    }
    for (int i = 0; i < count; ++i) {
        pdf_obj* kid = nullptr;
        guarded(c, [&] { kid = pdf_array_get(c, kids, i); });
        if (kid && !numbers.contains(pdf_to_num(c, kid)))
            collectWidgets(c, kid, numbers, depth + 1);
    }
}

// The pages of the document whose annotation lists hold any of the widgets.
std::vector<PagePtr> pagesHolding(const Document& document, const QSet<int>& widgets, bool anyWidget)
{
    fz_context* c = ctx();
    std::vector<PagePtr> pages;
    for (int i = 0, n = document.pageCount(); i < n; ++i) {
        PagePtr page = document.page(i);
        if (!page)
            continue;
        pdf_obj* pageObj = page->state().ref.obj;
        bool holds = false;
        guarded(c, [&] {
            pdf_obj* annots = pdf_dict_get(c, pageObj, PDF_NAME(Annots));
            for (int k = 0, m = pdf_array_len(c, annots); k < m && !holds; ++k) {
                pdf_obj* annot = pdf_array_get(c, annots, k);
                holds = anyWidget ? pdf_name_eq(c, pdf_dict_get(c, annot, PDF_NAME(Subtype)), PDF_NAME(Widget))
                                  : widgets.contains(pdf_to_num(c, annot));
            }
        });
        if (holds)
            pages.push_back(std::move(page));
    }
    return pages;
}

// Makes the appearances of the page's widgets in `widgets` (all text and choice widgets when `anyWidget`)
// again from their fields' values. Buttons keep the appearances the file gives them: their on and off
// looks are already there, and only the state shown changes.
void refreshWidgets(const Page& page, const QSet<int>& widgets, bool anyWidget)
{
    withLoadedPage(page, [&](fz_context* c, pdf_page* loaded) {
        QString error;
        ChoiceLooks looks;
        guarded(c, [&] {
            pdf_annot* marked = nullptr;
            for (pdf_annot* w = pdf_first_widget(c, loaded); w; w = pdf_next_widget(c, w)) {
                const int type = pdf_widget_type(c, w);
                const bool drawnFromValue = type == PDF_WIDGET_TYPE_TEXT || type == PDF_WIDGET_TYPE_COMBOBOX
                    || type == PDF_WIDGET_TYPE_LISTBOX;
                if (!drawnFromValue || !(anyWidget || widgets.contains(pdf_to_num(c, pdf_annot_obj(c, w)))))
                    continue;
                pdf_dirty_annot(c, w);
                looks.prepare(c, w);
                marked = marked ? marked : w;
            }
            // One update makes every marked widget of the page (the engine goes over the whole page each time).
            if (marked)
                pdf_update_annot(c, marked);
        }, &error);
        looks.finish(c);
        if (!error.isEmpty())
            qCWarning(lcVmkPdf) << "A form field's appearance could not be made:" << error;
    });
}

// Runs fn(ctx, pdf_annot*) on the engine's widget for our handle, with its page loaded.
template <typename Fn>
bool withWidget(const Annotation& widget, Fn&& fn)
{
    PagePtr page = widget.page();
    if (!page)
        return false;
    pdf_obj* obj = widget.state().dict();
    bool found = false;
    withLoadedPage(*page, [&](fz_context* c, pdf_page* loaded) {
        pdf_annot* match = nullptr;
        guarded(c, [&] {
            for (pdf_annot* w = pdf_first_widget(c, loaded); w && !match; w = pdf_next_widget(c, w))
                if (pdf_to_num(c, pdf_annot_obj(c, w)) == pdf_to_num(c, obj))
                    match = w;
        });
        if (match) {
            found = true;
            fn(c, match);
        }
    });
    return found;
}

// After a field's value changed: the appearances of its widgets on every page, and the pages to draw again.
FieldChange finish(const Annotation& widget, bool changed, bool drawnFromValue)
{
    FieldChange change;
    change.changed = changed;
    PagePtr page = widget.page();
    DocumentPtr document = page ? page->state().document.lock() : nullptr;
    if (!changed || !document)
        return change;
    fz_context* c = ctx();
    QSet<int> widgets;
    collectWidgets(c, fieldOf(c, widget.state().dict()), widgets);
    if (widgets.size() <= 1) {
        change.pages.push_back(page);
        if (drawnFromValue)
            refreshWidgets(*page, widgets, false);
        return change;
    }
    change.pages = pagesHolding(*document, widgets, false);
    if (drawnFromValue)
        for (const PagePtr& holder : change.pages)
            refreshWidgets(*holder, widgets, false);
    return change;
}

bool editable(const Annotation& widget, FieldChange& refusal)
{
    const FieldFacts f = facts(widget);
    if (f.readOnly || f.kind == FieldKind::Signature || f.kind == FieldKind::Other) {
        refusal.error = QStringLiteral("This field can’t be changed.");
        return false;
    }
    return true;
}

} // namespace

FieldFacts facts(const Annotation& widget)
{
    FieldFacts f;
    fz_context* c = ctx();
    pdf_obj* obj = widget.state().dict();
    int type = PDF_WIDGET_TYPE_UNKNOWN;
    int flags = 0;
    const char* value = nullptr;
    const char* da = nullptr;
    const char* font = nullptr;
    float size = 0;
    int colorCount = 0;
    float color[4] = {0, 0, 0, 0};
    bool on = false;
    bool reset = false;
    guarded(c, [&] {
        type = pdf_field_type(c, obj);
        flags = pdf_field_flags(c, obj);
        value = pdf_field_value(c, obj);
        f.maxLength = pdf_to_int(c, pdf_dict_get_inheritable(c, obj, PDF_NAME(MaxLen)));
        f.alignment = pdf_to_int(c, pdf_dict_get_inheritable(c, obj, PDF_NAME(Q)));
        pdf_obj* state = pdf_dict_get(c, obj, PDF_NAME(AS));
        on = pdf_is_name(c, state) && !pdf_name_eq(c, state, PDF_NAME(Off));
        pdf_obj* action = pdf_dict_get(c, obj, PDF_NAME(A));
        reset = pdf_name_eq(c, pdf_dict_get(c, action, PDF_NAME(S)), PDF_NAME(ResetForm));
        da = pdf_to_str_buf(c, pdf_dict_get_inheritable(c, obj, PDF_NAME(DA)));
        if (!da || !*da)
            da = pdf_to_str_buf(c, pdf_dict_getp(c, pdf_trailer(c, pdf_get_bound_document(c, obj)), "Root/AcroForm/DA"));
        if (da && *da)
            pdf_parse_default_appearance(c, da, &font, &size, &colorCount, color);
    });
    f.kind = kindOf(type);
    f.value = value ? QString::fromUtf8(value) : QString();
    f.isOn = on;
    f.resetsForm = reset;
    f.readOnly = flags & PDF_FIELD_IS_READ_ONLY;
    f.multiline = f.kind == FieldKind::Text && (flags & PDF_TX_FIELD_IS_MULTILINE);
    f.password = f.kind == FieldKind::Text && (flags & PDF_TX_FIELD_IS_PASSWORD);
    f.maxLength = std::max(0, f.maxLength);
    f.alignment = std::clamp(f.alignment, 0, 2);
    f.fontSize = size > 0 && size < 1000 ? size : 0;
    if (f.kind == FieldKind::ComboBox || f.kind == FieldKind::ListBox) {
        int count = 0;
        guarded(c, [&] { count = pdf_choice_field_option_count(c, obj); });
        for (int i = 0; i < std::min(count, 10000); ++i) {
            const char* label = nullptr;
            const char* exported = nullptr;
            guarded(c, [&] {
                label = pdf_choice_field_option(c, obj, 0, i);
                exported = pdf_choice_field_option(c, obj, 1, i);
            });
            const QString shown = label ? QString::fromUtf8(label) : QString();
            f.choices.push_back({shown, exported ? QString::fromUtf8(exported) : shown});
        }
    }
    return f;
}

FieldChange setText(const Annotation& widget, const QString& text)
{
    FieldChange change;
    if (!editable(widget, change))
        return change;
    const FieldFacts before = facts(widget);
    if (before.kind != FieldKind::Text && before.kind != FieldKind::ComboBox && before.kind != FieldKind::ListBox) {
        change.error = QStringLiteral("This field doesn’t take text.");
        return change;
    }
    QString value = text;
    if (before.maxLength > 0)
        value.truncate(before.maxLength);
    if (value == before.value)
        return change;
    const QByteArray utf8 = value.toUtf8();
    const char* bytes = utf8.constData();
    const bool choice = before.kind != FieldKind::Text;
    int accepted = 0;
    QString error;
    withWidget(widget, [&](fz_context* c, pdf_annot* w) {
        guarded(c, [&] {
            accepted = choice ? pdf_set_choice_field_value(c, w, bytes) : pdf_set_text_field_value(c, w, bytes);
        }, &error);
    });
    change.error = error;
    return error.isEmpty() ? finish(widget, accepted != 0, true) : change;
}

FieldChange toggle(const Annotation& widget)
{
    FieldChange change;
    if (!editable(widget, change))
        return change;
    const FieldKind kind = facts(widget).kind;
    if (kind != FieldKind::CheckBox && kind != FieldKind::RadioButton)
        return change;
    int toggled = 0;
    QString error;
    withWidget(widget, [&](fz_context* c, pdf_annot* w) {
        guarded(c, [&] {
            toggled = pdf_toggle_widget(c, w);
            pdf_update_annot(c, w);
        }, &error);
    });
    change.error = error;
    return error.isEmpty() ? finish(widget, toggled != 0, false) : change;
}

FieldChange choose(const Annotation& widget, const QString& value) { return setText(widget, value); }

FieldChange press(const Annotation& pushButton)
{
    FieldChange change;
    const FieldFacts f = facts(pushButton);
    PagePtr page = pushButton.page();
    DocumentPtr document = page ? page->state().document.lock() : nullptr;
    if (f.kind != FieldKind::PushButton || !f.resetsForm || !document)
        return change;
    fz_context* c = ctx();
    pdf_obj* obj = pushButton.state().dict();
    pdf_document* doc = nullptr;
    pdf_obj* named = nullptr;
    bool exclude = false;
    guarded(c, [&] {
        doc = pdf_get_bound_document(c, obj);
        pdf_obj* action = pdf_dict_get(c, obj, PDF_NAME(A));
        named = pdf_dict_get(c, action, PDF_NAME(Fields));
        exclude = pdf_dict_get_int(c, action, PDF_NAME(Flags)) & 1;
    });
    // The action names fields by reference or by full name; without a list (or with "all but") it means
    // every field of the form.
    QSet<int> listed;
    int namedCount = 0;
    guarded(c, [&] { namedCount = pdf_array_len(c, named); });
    for (int i = 0; i < namedCount; ++i) {
        pdf_obj* entry = nullptr;
        guarded(c, [&] {
            entry = pdf_array_get(c, named, i);
            if (pdf_is_string(c, entry))
                entry = pdf_lookup_field(c, pdf_dict_getp(c, pdf_trailer(c, doc), "Root/AcroForm/Fields"), pdf_to_str_buf(c, entry));
        });
        if (entry)
            listed.insert(pdf_to_num(c, entry));
    }
    std::vector<pdf_obj*> fields;
    std::function<void(pdf_obj*, int)> gather = [&](pdf_obj* list, int depth) {
        int count = 0;
        guarded(c, [&] { count = pdf_array_len(c, list); });
        for (int i = 0; i < count && depth < 32 && fields.size() < 100000; ++i) {
            pdf_obj* field = nullptr;
            pdf_obj* kids = nullptr;
            bool hasName = false;
            guarded(c, [&] {
                field = pdf_array_get(c, list, i);
                kids = pdf_dict_get(c, field, PDF_NAME(Kids));
                hasName = pdf_dict_get(c, field, PDF_NAME(T)) != nullptr;
            });
            const bool chosen = namedCount == 0 || listed.contains(pdf_to_num(c, field)) != exclude;
            if (hasName && chosen)
                fields.push_back(field);
            else if (kids)
                gather(kids, depth + 1);
        }
    };
    pdf_obj* all = nullptr;
    guarded(c, [&] { all = pdf_dict_getp(c, pdf_trailer(c, doc), "Root/AcroForm/Fields"); });
    gather(all, 0);
    QString error;
    for (pdf_obj* field : fields)
        guarded(c, [&] { pdf_field_reset(c, doc, field); }, &error);
    if (!error.isEmpty()) {
        change.error = error;
        return change;
    }
    change.changed = true;
    change.pages = pagesHolding(*document, {}, true);
    for (const PagePtr& holder : change.pages)
        refreshWidgets(*holder, {}, true);
    return change;
}

} // namespace vmk::pdf::form
