#include "platform/pdfview/FieldEditing.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdfview/PDFView.h"

#include <QAbstractScrollArea>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <algorithm>

namespace vmk::pdfview {

namespace {

// How far Tab looks for the next text field: a long document without fields must not be read page by page.
constexpr int kPagesLookedAhead = 50;

bool fillable(const pdf::Annotation& annotation)
{
    if (!annotation.isWidget())
        return false;
    const pdf::FieldFacts f = pdf::form::facts(annotation);
    return f.kind == pdf::FieldKind::Text && !f.readOnly;
}

} // namespace

FieldEditing::FieldEditing(PDFView& view, std::function<void(int)> changed)
    : m_view(view)
    , m_changed(std::move(changed))
{
    connect(&view, &PDFView::scrolled, this, [this] { place(); });
    connect(&view, &PDFView::scaleChanged, this, [this] { place(); });
    connect(&view, &PDFView::displayModeChanged, this, [this] { place(); });
}

FieldEditing::~FieldEditing()
{
    if (m_box)
        m_box->removeEventFilter(this);
}

bool FieldEditing::press(const pdf::AnnotationPtr& widget, int pageIndex)
{
    if (!widget || !widget->isWidget())
        return false;
    if (m_box && widget == m_widget)
        return true;
    commit();
    const pdf::FieldFacts f = pdf::form::facts(*widget);
    if (f.readOnly)
        return false;
    switch (f.kind) {
    case pdf::FieldKind::Text:
        openBox(widget, pageIndex);
        return true;
    case pdf::FieldKind::CheckBox:
    case pdf::FieldKind::RadioButton:
        apply(pdf::form::toggle(*widget), pageIndex);
        return true;
    case pdf::FieldKind::ComboBox:
    case pdf::FieldKind::ListBox:
        chooseFrom(widget, pageIndex, f);
        return true;
    case pdf::FieldKind::PushButton:
        if (!f.resetsForm)
            return false;
        apply(pdf::form::press(*widget), pageIndex);
        return true;
    default:
        return false;
    }
}

void FieldEditing::openBox(const pdf::AnnotationPtr& widget, int pageIndex)
{
    const pdf::FieldFacts f = pdf::form::facts(*widget);
    m_widget = widget;
    m_page = pageIndex;
    m_original = f.value;
    QWidget* box = nullptr;
    if (f.multiline) {
        auto* edit = new QPlainTextEdit(m_view.viewport());
        edit->setPlainText(f.value);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setFrameShape(QFrame::NoFrame);
        edit->moveCursor(QTextCursor::End);
        box = edit;
    } else {
        auto* edit = new QLineEdit(m_view.viewport());
        edit->setText(f.value);
        edit->setFrame(false);
        if (f.maxLength > 0)
            edit->setMaxLength(f.maxLength);
        if (f.password)
            edit->setEchoMode(QLineEdit::Password);
        edit->setAlignment(f.alignment == 1 ? Qt::AlignHCenter : f.alignment == 2 ? Qt::AlignRight : Qt::AlignLeft);
        edit->selectAll();
        box = edit;
    }
    box->setObjectName(QStringLiteral("formFieldBox"));
    // The page is paper whatever the window's colours: the box shows dark text on white like the page.
    box->setStyleSheet(QStringLiteral("background: #ffffff; color: #000000; border: 1px solid palette(highlight);"));
    box->installEventFilter(this);
    m_box = box;
    place();
    box->show();
    box->setFocus(Qt::MouseFocusReason);
}

void FieldEditing::place()
{
    if (!m_box || !m_widget)
        return;
    const pdf::FieldFacts f = pdf::form::facts(*m_widget);
    const QRectF bounds = m_widget->bounds();
    const QRectF rect = m_view.convertRectFromPage(bounds, m_page);
    const double scale = m_view.scaleFactor();
    const double points = f.fontSize > 0 ? f.fontSize : std::clamp(std::min(bounds.width(), bounds.height()) * 0.6, 6.0, 14.0);
    QFont font = m_box->font();
    font.setPixelSize(std::max(6, int(points * scale + 0.5)));
    m_box->setFont(font);
    const int minHeight = QFontMetrics(font).height() + 2;
    QRect r = rect.toAlignedRect();
    if (r.height() < minHeight)
        r.setHeight(minHeight);
    m_box->setGeometry(r);
}

void FieldEditing::chooseFrom(const pdf::AnnotationPtr& widget, int pageIndex, const pdf::FieldFacts& facts)
{
    if (facts.choices.isEmpty())
        return;
    auto* menu = new QMenu(&m_view);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const pdf::FieldChoice& choice : facts.choices) {
        QAction* action = menu->addAction(choice.label.isEmpty() ? choice.value : choice.label);
        action->setCheckable(true);
        action->setChecked(choice.value == facts.value);
        const QString value = choice.value;
        connect(action, &QAction::triggered, this, [this, widget, pageIndex, value] {
            apply(pdf::form::choose(*widget, value), pageIndex);
        });
    }
    const QRectF rect = m_view.convertRectFromPage(widget->bounds(), pageIndex);
    menu->setMinimumWidth(int(rect.width()));
    menu->popup(m_view.viewport()->mapToGlobal(rect.bottomLeft().toPoint()));
}

QString FieldEditing::typedText() const
{
    if (auto* line = qobject_cast<QLineEdit*>(m_box.data()))
        return line->text();
    if (auto* text = qobject_cast<QPlainTextEdit*>(m_box.data()))
        return text->toPlainText();
    return m_original;
}

void FieldEditing::commit()
{
    if (!m_box || m_closing)
        return;
    m_closing = true;
    const QString typed = typedText();
    const pdf::AnnotationPtr widget = std::move(m_widget);
    const int page = m_page;
    QWidget* box = m_box;
    m_box = nullptr;
    m_widget.reset();
    box->removeEventFilter(this);
    box->hide();
    box->deleteLater();
    if (typed != m_original && widget && widget->page())
        apply(pdf::form::setText(*widget, typed), page);
    m_closing = false;
    m_view.setFocus(Qt::OtherFocusReason);
}

void FieldEditing::cancel()
{
    if (!m_box)
        return;
    m_original = typedText(); // nothing to put in
    commit();
}

void FieldEditing::apply(const pdf::FieldChange& change, int pageIndex)
{
    for (const pdf::PagePtr& page : change.pages) {
        const int index = m_view.indexOfPage(page);
        if (index >= 0)
            m_view.annotationsChanged(index);
    }
    if (change.changed && m_changed)
        m_changed(pageIndex);
}

std::pair<pdf::AnnotationPtr, int> FieldEditing::neighbour(bool backwards) const
{
    const pdf::DocumentPtr document = m_view.document();
    if (!document || !m_widget)
        return {};
    const int count = document->pageCount();
    for (int step = 0; step <= kPagesLookedAhead && step < count; ++step) {
        const int index = backwards ? m_page - step : m_page + step;
        if (index < 0 || index >= count)
            break;
        const pdf::PagePtr page = document->page(index);
        if (!page)
            continue;
        std::vector<pdf::AnnotationPtr> annotations = page->annotations();
        if (backwards)
            std::reverse(annotations.begin(), annotations.end());
        auto from = annotations.begin();
        if (step == 0) {
            from = std::find(annotations.begin(), annotations.end(), m_widget);
            if (from != annotations.end())
                ++from;
        }
        for (auto it = from; it != annotations.end(); ++it)
            if (fillable(**it) && (*it)->shouldDisplay())
                return {*it, index};
    }
    return {};
}

bool FieldEditing::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_box)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::FocusOut) {
        auto* focus = static_cast<QFocusEvent*>(event);
        // A context menu of the box keeps the typing going.
        if (focus->reason() != Qt::PopupFocusReason) {
            const QPointer<QWidget> box = m_box;
            QMetaObject::invokeMethod(this, [this, box] {
                if (box && box == m_box && !box->hasFocus())
                    commit();
            }, Qt::QueuedConnection);
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const bool multiline = qobject_cast<QPlainTextEdit*>(m_box.data()) != nullptr;
    switch (key->key()) {
    case Qt::Key_Escape:
        cancel();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (multiline && !(key->modifiers() & Qt::ControlModifier))
            return false;
        commit();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        const bool backwards = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
        const auto [next, page] = neighbour(backwards);
        commit();
        if (next) {
            m_view.goToRect(page, next->bounds());
            openBox(next, page);
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace vmk::pdfview
