#include "signatures/SignatureEditorParts.h"

#include "signatures/SignaturePadModel.h"
#include "signatures/SignaturePadView.h"

#include "platform/services/ReduceMotion.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPropertyAnimation>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>

namespace vmk::signatures {

namespace {
constexpr double cardRadius = 16.0;
constexpr int lineInset = 28;
constexpr int lineFromBottom = 46;
} // namespace

SignatureCard::SignatureCard(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(200);
}

void SignatureCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(3, 1, -3, -5);
    // A soft shadow under the card, then the card.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 20));
    painter.drawRoundedRect(card.translated(0, 2), cardRadius, cardRadius);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(card, cardRadius, cardRadius);
}

SignatureDrawArea::SignatureDrawArea(SignaturePadModel* pad, QWidget* parent)
    : SignatureCard(parent)
    , m_padView(new SignaturePadView(pad, this))
    , m_placeholder(new QLabel(tr("Sign here with your trackpad or mouse."), this))
    , m_placeholderOpacity(new QGraphicsOpacityEffect(m_placeholder))
    , m_placeholderFade(new QPropertyAnimation(m_placeholderOpacity, "opacity", this))
{
    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_placeholder->setStyleSheet(QStringLiteral("color: rgba(0, 0, 0, 89); background: transparent;"));
    m_placeholder->setGraphicsEffect(m_placeholderOpacity);
    m_placeholderFade->setDuration(200);
    m_placeholderFade->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_placeholderFade, &QPropertyAnimation::finished, this, [this] {
        if (!m_placeholderShown)
            m_placeholder->hide();
    });
    m_placeholderShown = !pad->hasInk();
    m_placeholder->setVisible(m_placeholderShown);
    connect(pad, &SignaturePadModel::hasInkChanged, this, [this](bool hasInk) { showPlaceholder(!hasInk); });
    m_padView->raise();
}

void SignatureDrawArea::showPlaceholder(bool shown)
{
    if (shown == m_placeholderShown)
        return;
    m_placeholderShown = shown;
    m_placeholderFade->stop();
    if (platform::reduceMotionEnabled() || !isVisible()) {
        m_placeholderOpacity->setOpacity(1.0);
        m_placeholder->setVisible(shown);
        return;
    }
    m_placeholder->show();
    m_placeholderFade->setStartValue(m_placeholderOpacity->opacity());
    m_placeholderFade->setEndValue(shown ? 1.0 : 0.0);
    m_placeholderFade->start();
}

void SignatureDrawArea::resizeEvent(QResizeEvent* event)
{
    SignatureCard::resizeEvent(event);
    const QRect inner = rect().adjusted(3, 1, -3, -5);
    m_padView->setGeometry(inner);
    m_placeholder->setGeometry(inner);
}

void SignatureDrawArea::paintEvent(QPaintEvent* event)
{
    SignatureCard::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The signing line: "×" followed by a faint rule, as on a paper form.
    QFont cross = font();
    cross.setPointSizeF(font().pointSizeF() * 1.4);
    painter.setFont(cross);
    const int baseline = height() - 5 - lineFromBottom;
    painter.setPen(QColor(0, 0, 0, 89));
    const QString mark = QStringLiteral("×");
    painter.drawText(QPointF(lineInset, baseline), mark);
    const int ruleStart = lineInset + painter.fontMetrics().horizontalAdvance(mark) + 6;
    painter.fillRect(QRectF(ruleStart, baseline, width() - lineInset - ruleStart, 1), QColor(0, 0, 0, 38));
}

InkDot::InkDot(const QColor& color, const QString& name, QWidget* parent)
    : QAbstractButton(parent)
    , m_color(color)
{
    setCheckable(true);
    setToolTip(name);
    setAccessibleName(name);
    setCursor(Qt::PointingHandCursor);
}

QSize InkDot::sizeHint() const
{
    return {24, 24};
}

void InkDot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(2, 2, -2, -2);
    if (isChecked()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(r.adjusted(1, 1, -1, -1));
    }
    // A hairline in the text colour keeps a black ink visible on a dark window.
    QColor edge = palette().color(QPalette::WindowText);
    edge.setAlphaF(0.35);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(m_color);
    painter.drawEllipse(r.adjusted(4, 4, -4, -4));
}

FontTile::FontTile(const QFont& font, const QString& fontName, QWidget* parent)
    : QAbstractButton(parent)
    , m_font(font)
{
    setCheckable(true);
    setToolTip(fontName);
    setAccessibleName(fontName);
    // The tiles share the row; a sample wider than its tile is drawn smaller rather than cut off.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void FontTile::setSample(const QString& text, const QColor& color)
{
    setText(text);
    m_color = color;
    updateGeometry();
    update();
}

QSize FontTile::sizeHint() const
{
    // The same for every face, so the tiles share the row evenly; the painting scales a long sample.
    return {150, 96};
}

QSize FontTile::minimumSizeHint() const
{
    return {100, 96};
}

void FontTile::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    painter.setBrush(QColor(0, 0, 0, 8));
    if (isChecked())
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    else
        painter.setPen(QPen(QColor(0, 0, 0, 20), 1));
    painter.drawRoundedRect(r, 12, 12);
    painter.setFont(m_font);
    painter.setPen(m_color);
    painter.setClipRect(r.adjusted(2, 2, -2, -2));
    const QFontMetricsF metrics(m_font);
    const QRectF ink = metrics.tightBoundingRect(text());
    const double inkWidth = std::max(ink.width(), metrics.horizontalAdvance(text()));
    const double room = r.width() - 20;
    if (inkWidth > room && inkWidth > 0) {
        const double scale = room / inkWidth;
        painter.translate(r.center());
        painter.scale(scale, scale);
        painter.translate(-r.center());
    }
    const double x = r.center().x() - (ink.isEmpty() ? metrics.horizontalAdvance(text()) / 2 : ink.center().x());
    const double baseline = r.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    painter.drawText(QPointF(x, baseline), text());
}

} // namespace vmk::signatures
