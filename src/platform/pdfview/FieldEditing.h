#pragma once

#include "platform/pdf/annotations/FormField.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace vmk::pdfview {

class PDFView;

// Filling in a page's form fields in a view: a press on a text field opens a box over it to type in, a
// check box or radio button flips, a choice field lists its values, a reset button clears the form. What
// is typed goes into the document when the box is left (Return, Tab, a click elsewhere); Esc drops it.
// Tab and Shift+Tab go on to the next or previous text field, across pages.
class FieldEditing : public QObject {
    Q_OBJECT
public:
    // `changed(pageIndex)` is called after the document took a new value.
    FieldEditing(PDFView& view, std::function<void(int)> changed);
    ~FieldEditing() override;

    // A press on a form field's widget. True when the field took it.
    bool press(const pdf::AnnotationPtr& widget, int pageIndex);
    bool isEditing() const { return m_box != nullptr; }
    // The box being typed in, for tests.
    QWidget* box() const { return m_box; }
    // Puts what was typed into the document and closes the box.
    void commit();
    // Closes the box and keeps the field as it was.
    void cancel();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openBox(const pdf::AnnotationPtr& widget, int pageIndex);
    void place();
    void chooseFrom(const pdf::AnnotationPtr& widget, int pageIndex, const pdf::FieldFacts& facts);
    void apply(const pdf::FieldChange& change, int pageIndex);
    QString typedText() const;
    // The next (or previous) fillable text field after the one being edited, looking a bounded number of
    // pages ahead.
    std::pair<pdf::AnnotationPtr, int> neighbour(bool backwards) const;

    PDFView& m_view;
    std::function<void(int)> m_changed;
    QPointer<QWidget> m_box;
    pdf::AnnotationPtr m_widget;
    int m_page = -1;
    QString m_original;
    bool m_closing = false;
};

} // namespace vmk::pdfview
