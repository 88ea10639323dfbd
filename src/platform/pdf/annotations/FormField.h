#pragma once

#include "platform/pdf/document/PdfTypes.h"

#include <QList>
#include <QString>

#include <vector>

namespace vmk::pdf {

// What a form field's widget is, as far as filling it in goes.
enum class FieldKind { Other, Text, CheckBox, RadioButton, PushButton, ComboBox, ListBox, Signature };

struct FieldChoice {
    QString label; // what the list shows
    QString value; // what the field stores when chosen
};

// A widget's field as the person filling the form meets it. Read when they start working with it.
struct FieldFacts {
    FieldKind kind = FieldKind::Other;
    QString value;       // the text, or the chosen value of a choice
    bool isOn = false;   // a check box or radio button shows its on state
    bool readOnly = false;
    bool multiline = false;
    bool password = false;
    int maxLength = 0;   // 0: no limit
    double fontSize = 0; // points; 0 means the text is sized to fit the box
    int alignment = 0;   // 0 left, 1 centred, 2 right
    QList<FieldChoice> choices;
    bool resetsForm = false; // a push button whose action clears the form
};

// The outcome of filling in a field.
struct FieldChange {
    bool changed = false;
    QString error;
    // The pages whose drawing changed: a field may have widgets on several pages, and a radio button's
    // neighbours turn off.
    std::vector<PagePtr> pages;
};

// Filling in form fields. The value goes into the field, and the appearance of every widget of the field
// is made again from it, so that the page, other readers and printed copies all show what was typed.
// Scripts in the file are never run.
namespace form {

FieldFacts facts(const Annotation& widget);
// A text field's (or a choice's) new text. Refused for read-only and signature fields.
FieldChange setText(const Annotation& widget, const QString& text);
// Turns a check box or radio button on or off, as a click would.
FieldChange toggle(const Annotation& widget);
// Chooses one of a choice field's values (FieldChoice::value).
FieldChange choose(const Annotation& widget, const QString& value);
// What a click on a push button does that the application supports: a reset-form action puts the named
// fields (or all) back to their default values.
FieldChange press(const Annotation& pushButton);

} // namespace form

} // namespace vmk::pdf
