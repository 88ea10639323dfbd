#include "chrome/ToastView.h"

#include "chrome/FeedbackMarks.h"
#include "chrome/Motion.h"
#include "editor/Editor.h"
#include "platform/icons/SymbolIcons.h"
#include "platform/services/ReduceMotion.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>

namespace vmk::chrome {

namespace {

// How far a toast rises as it comes in and sinks as it goes.
constexpr double kTravel = 24.0;
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
    connect(&m_enter, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_enterValue = v.toDouble();
        layoutViews();
    });
    connect(&m_exit, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_exitValue = v.toDouble();
        layoutViews();
    });
    connect(&m_exit, &QVariantAnimation::finished, this, [this] { dropLeaving(); });
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
    if (m_leaving)
        m_leaving->deleteLater();
    m_leaving = nullptr;
    emit contentChanged();
}

void ToastOverlay::follow()
{
    const std::optional<Toast> toast = m_editor ? m_editor->toast() : std::nullopt;
    if (toast && m_current && m_current->toast().id == toast->id)
        return;
    const bool reduce = reduceMotion();
    if (toast && m_leaving) {
        // A new toast takes the place of one still on its way out, too.
        m_exit.stop();
        dropLeaving();
    }
    if (m_current) {
        m_exit.stop();
        dropLeaving();
        if (toast) {
            // A newer toast takes the place at once.
            m_current->deleteLater();
        } else {
            m_leaving = m_current;
            const MotionSpec motion = curveMotion(smoothCurve, 0.25, reduce);
            m_exit.setDuration(motion.durationMs);
            m_exit.setEasingCurve(motion.easing);
            m_exit.setStartValue(0.0);
            m_exit.setEndValue(1.0);
            m_exitValue = 0.0;
            m_exit.start();
        }
        m_current = nullptr;
    }
    if (toast) {
        m_current = new ToastView(*toast, reduce, this);
        m_current->fitWidth(m_availableWidth);
        const MotionSpec motion = curveMotion(overshootCurve, 0.42, reduce);
        m_enter.stop();
        m_enter.setDuration(motion.durationMs);
        m_enter.setEasingCurve(motion.easing);
        m_enter.setStartValue(0.0);
        m_enter.setEndValue(1.0);
        m_enterValue = 0.0;
        m_current->show();
        m_enter.start();
    }
    updateGeometry();
    layoutViews();
    emit contentChanged();
}

QSize ToastOverlay::sizeHint() const
{
    QSize size(0, 0);
    for (ToastView* view : {m_current.data(), m_leaving.data()}) {
        if (view)
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
    const bool reduce = reduceMotion();
    auto place = [this, reduce](ToastView* view, double shown) {
        if (!view)
            return;
        const QSize hint = view->sizeHint();
        const int w = std::min(hint.width(), width());
        const int h = view->hasHeightForWidth() ? std::max(hint.height(), view->heightForWidth(w)) : hint.height();
        // Under reduced motion toasts only fade.
        const double drop = reduce ? 0.0 : kTravel * (1.0 - shown);
        view->setGeometry((width() - w) / 2, height() - h + int(std::lround(drop)), w, h);
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect());
        if (shown >= 1.0) {
            if (effect)
                view->setGraphicsEffect(nullptr);
            return;
        }
        if (!effect) {
            effect = new QGraphicsOpacityEffect(view);
            view->setGraphicsEffect(effect);
        }
        effect->setOpacity(std::clamp(shown, 0.0, 1.0));
    };
    place(m_current, m_enterValue);
    place(m_leaving, 1.0 - m_exitValue);
}

} // namespace vmk::chrome
