#include "chrome/ToastView.h"

#include "chrome/FeedbackMarks.h"
#include "chrome/Transition.h"
#include "editor/Editor.h"
#include "platform/icons/SymbolIcons.h"
#include "platform/services/ReduceMotion.h"

#include <QHBoxLayout>
#include <QLabel>

namespace vmk::chrome {

namespace {

// A toast rises from just below its place (within the room its surface keeps for the shadow, so
// nothing of it is cut off on the way) and grows from 0.9 as it comes in; it leaves the same way.
TransitionLook toastLook()
{
    return TransitionLook::fromEdge(Qt::BottomEdge, glassShadowMargin(), 0.9);
}
constexpr int kMaxTextWidth = 440;

QFont toastFont(QFont base)
{
    base.setWeight(QFont::Medium);
    return base;
}

} // namespace

ToastView::ToastView(const Toast& toast, bool reduceMotion, QWidget* parent)
    : GlassSurface(GlassShape::capsule(), parent), m_toast(toast)
{
    setFont(toastFont(font()));
    auto* row = new QHBoxLayout(this);
    // Inside the room the surface keeps for its shadow.
    row->setContentsMargins(16, 10, 16, 10);
    row->setSpacing(8);
    switch (toast.style) {
    case Toast::Style::info: {
        auto* symbol = new QLabel;
        const int side = QFontMetrics(font()).height();
        symbol->setPixmap(platform::symbolPixmap(toast.symbol, side, palette().color(QPalette::WindowText),
                                                 devicePixelRatioF()));
        symbol->setFixedSize(side, side);
        m_mark = symbol;
        break;
    }
    case Toast::Style::success:
        m_mark = new SuccessMark(20, reduceMotion);
        break;
    case Toast::Style::merge:
    case Toast::Style::split:
        m_mark = new MergeMark(toast.style == Toast::Style::split, reduceMotion);
        break;
    }
    m_mark->setObjectName(QStringLiteral("toastMark"));
    row->addWidget(m_mark, 0, Qt::AlignVCenter);
    m_text = new QLabel(toast.text);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setFont(font());
    row->addWidget(m_text, 1, Qt::AlignVCenter);
    setAccessibleName(toast.text);
    fitWidth(0);
}

void ToastView::fitWidth(int width)
{
    const QMargins outer = contentsMargins();
    const QMargins inner = layout()->contentsMargins();
    const int chrome = outer.left() + outer.right() + inner.left() + inner.right() + m_mark->sizeHint().width()
        + layout()->spacing();
    const int oneLine = QFontMetrics(font()).horizontalAdvance(m_toast.text) + 2;
    int textWidth = std::min(oneLine, kMaxTextWidth);
    if (width > 0)
        textWidth = std::max(40, std::min(textWidth, width - chrome));
    m_text->setFixedWidth(textWidth);
    m_text->setFixedHeight(m_text->heightForWidth(textWidth));
    if (layout())
        layout()->activate();
    updateGeometry();
}

void ToastOverlay::fitToWidth(int width)
{
    if (width == m_availableWidth)
        return;
    m_availableWidth = width;
    for (ToastView* view : {m_current.data(), m_leaving.data()})
        if (view)
            view->fitWidth(width);
    updateGeometry();
    layoutViews();
}

ToastOverlay::ToastOverlay(Editor* editor, QWidget* parent) : QWidget(parent), m_editor(editor)
{
    setAttribute(Qt::WA_TranslucentBackground);
    // The overlay stacks line up visible surfaces, not the room kept for their shadows.
    setProperty("glassInset", chrome::glassShadowMargin());
    if (editor)
        connect(editor, &Editor::toastChanged, this, [this] { follow(); });
    follow();
}

bool ToastOverlay::reduceMotion() const
{
    return m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
}

void ToastOverlay::dropLeaving()
{
    if (m_leaving) {
        if (PieceTransition* transition = PieceTransition::find(m_leaving))
            transition->disconnect(this);
        m_leaving->deleteLater();
    }
    m_leaving = nullptr;
}

void ToastOverlay::leavingGone()
{
    // Let go of the view before it is deleted: a layout pass set off by its destruction must never size
    // a view that is half taken apart. The toast that left no longer takes room.
    if (m_leaving)
        if (PieceTransition* transition = PieceTransition::find(m_leaving))
            transition->disconnect(this);
    m_leaving = nullptr;
    updateGeometry();
    emit contentChanged();
}

void ToastOverlay::follow()
{
    const std::optional<Toast> toast = m_editor ? m_editor->toast() : std::nullopt;
    if (toast && m_current && m_current->toast().id == toast->id)
        return;
    const bool reduce = reduceMotion();
    // A new toast takes the place of one still on its way out, too.
    if (toast)
        dropLeaving();
    if (m_current) {
        if (toast) {
            // A newer toast takes the place at once.
            m_current->deleteLater();
        } else {
            dropLeaving();
            m_leaving = m_current;
            m_exit = pieceMotion(curveMotion(smoothCurve, 0.25, false), reduce);
            connect(PieceTransition::of(m_leaving), &PieceTransition::left, this, &ToastOverlay::leavingGone);
            PieceTransition::of(m_leaving)->leave(toastLook(), m_exit, PieceTransition::AfterLeaving::deleteWidget);
        }
        m_current = nullptr;
    }
    if (toast) {
        m_current = new ToastView(*toast, reduce, this);
        m_current->fitWidth(m_availableWidth);
        m_enter = pieceMotion(curveMotion(overshootCurve, 0.42, false), reduce);
        PieceTransition::of(m_current)->enter(toastLook(), m_enter);
    }
    updateGeometry();
    layoutViews();
    emit contentChanged();
}

QSize ToastOverlay::sizeHint() const
{
    QSize size(0, 0);
    for (ToastView* view : {m_current.data(), m_leaving.data()}) {
        if (view && !view->isHidden())
            size = size.expandedTo(view->sizeHint());
    }
    return size;
}

void ToastOverlay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutViews();
}

void ToastOverlay::layoutViews()
{
    // The views stand where they rest; their transitions only change how they are painted.
    for (ToastView* view : {m_current.data(), m_leaving.data()}) {
        if (!view)
            continue;
        const QSize hint = view->sizeHint();
        const int w = std::min(hint.width(), width());
        const int h = view->hasHeightForWidth() ? std::max(hint.height(), view->heightForWidth(w)) : hint.height();
        view->setGeometry((width() - w) / 2, height() - h, w, h);
    }
}

} // namespace vmk::chrome
