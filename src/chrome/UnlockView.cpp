#include "chrome/UnlockView.h"

#include "chrome/ChromeStyle.h"
#include "chrome/OverlayMotion.h"

#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "platform/icons/SymbolIcons.h"
#include "platform/services/ReduceMotion.h"
#include "platform/services/Secrets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QScopeGuard>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace vmk::chrome {

namespace {
constexpr int kFieldWidth = 240;
constexpr int kShakeRoom = 24; // the field may swing this far either way inside its slot
constexpr double kShakeDistance = 10.0;
} // namespace

QString unlockTitle(const QString& displayName)
{
    const QString name = displayName.isEmpty() ? QStringLiteral("This PDF") : displayName;
    return QStringLiteral("\u201C%1\u201D is locked").arg(name);
}

BouncingSymbol::BouncingSymbol(const QString& symbol, int size, QWidget* parent)
    : QWidget(parent), m_symbol(symbol), m_size(size)
{
    setAccessibleName(symbol);
    // Room for the hop above the symbol, so it is never clipped.
    setFixedSize(sizeHint());
    m_hop.setStartValue(0.0);
    m_hop.setEndValue(1.0);
    m_hop.setDuration(420);
    connect(&m_hop, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        const double t = v.toDouble();
        // A hop up and a smaller one after it, as a dropped object settles.
        m_lift = -8.0 * std::abs(std::sin(2 * M_PI * t)) * (1.0 - t);
        update();
    });
    connect(&m_hop, &QVariantAnimation::finished, this, [this] {
        m_lift = 0;
        update();
    });
}

QSize BouncingSymbol::sizeHint() const
{
    return QSize(m_size + 4, m_size + 18);
}

void BouncingSymbol::bounce()
{
    ++m_bounces;
    m_hop.stop();
    m_hop.start();
}

void BouncingSymbol::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPixmap pixmap = platform::symbolPixmap(m_symbol, m_size, secondaryTextColor(palette()), devicePixelRatioF());
    const QPointF at((width() - m_size) / 2.0, height() - m_size - 2 + m_lift);
    painter.drawPixmap(at, pixmap);
}

UnlockView::UnlockView(Editor* editor, QWidget* parent) : QWidget(parent), m_editor(editor)
{
    setObjectName(QStringLiteral("UnlockView"));
    setAutoFillBackground(false);

    m_card = new GlassSurface(GlassShape::roundedRect(26), this);
    const int m = glassShadowMargin();
    m_card->setFixedWidth(360 + 2 * m);
    auto* column = new QVBoxLayout(m_card);
    // The surface keeps its shadow room as its own margins; the padding inside the glass comes on top.
    column->setContentsMargins(32, 32, 32, 32);
    column->setSpacing(14);

    m_lock = new BouncingSymbol(QStringLiteral("lock.fill"), 38, m_card);

    QString name;
    if (m_editor && m_editor->document())
        name = m_editor->document()->displayName();
    m_title = new QLabel(unlockTitle(name), m_card);
    m_title->setTextFormat(Qt::PlainText);
    m_title->setFont(titleFont(1.35));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);

    m_hint = new QLabel(QStringLiteral("Enter its password to open it."), m_card);
    m_hint->setAlignment(Qt::AlignCenter);
    QPalette hintPalette = m_hint->palette();
    hintPalette.setColor(QPalette::WindowText, secondaryTextColor(palette()));
    m_hint->setPalette(hintPalette);

    m_fieldSlot = new QWidget(m_card);
    m_field = new QLineEdit(m_fieldSlot);
    m_field->setEchoMode(QLineEdit::Password);
    m_field->setPlaceholderText(QStringLiteral("Password"));
    m_field->setAccessibleName(QStringLiteral("Password"));
    m_field->setFixedWidth(kFieldWidth);
    m_fieldSlot->setFixedSize(kFieldWidth + 2 * kShakeRoom, m_field->sizeHint().height());
    connect(m_field, &QLineEdit::returnPressed, this, &UnlockView::attemptUnlock);

    m_unlock = new QPushButton(QStringLiteral("Unlock"), m_card);
    m_unlock->setDefault(true);
    m_unlock->setEnabled(false);
    applyProminentButton(m_unlock);
    connect(m_unlock, &QPushButton::clicked, this, &UnlockView::attemptUnlock);
    connect(m_field, &QLineEdit::textChanged, this, [this](const QString& text) { m_unlock->setEnabled(!text.isEmpty()); });

    column->addWidget(m_lock, 0, Qt::AlignHCenter);
    column->addWidget(m_title);
    column->addWidget(m_hint);
    column->addWidget(m_fieldSlot, 0, Qt::AlignHCenter);
    column->addWidget(m_unlock, 0, Qt::AlignHCenter);

    m_offset = new SpringValue(this);
    connect(m_offset, &SpringValue::valueChanged, this, [this] { placeField(); });
    placeField();

    // The card's height follows its content at its fixed width, wrapped title lines included.
    m_card->setFixedHeight(column->totalHeightForWidth(m_card->width()));

    auto* centre = new QVBoxLayout(this);
    centre->setContentsMargins(0, 0, 0, 0);
    centre->addStretch(1);
    centre->addWidget(m_card, 0, Qt::AlignHCenter);
    centre->addStretch(1);
}

bool UnlockView::reduceMotion() const
{
    return m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
}

double UnlockView::fieldOffset() const
{
    return m_offset->value();
}

void UnlockView::placeField()
{
    m_field->move(kShakeRoom + int(std::lround(m_offset->value())), 0);
}

void UnlockView::setShake(double value, double response, double damping)
{
    if (value == m_shake)
        return;
    m_shake = value;
    // The shake is decoration: under reduced motion the field stays put, the rest of the feedback stays.
    if (reduceMotion())
        m_offset->set(0);
    else
        m_offset->animateTo(value, response, damping);
    m_lock->bounce();
}

void UnlockView::attemptUnlock()
{
    if (!m_editor)
        return;
    bool cancelled = false;
    // The typed password is overwritten once the field has let go of it (the document keeps a copy of
    // its own); while the field still holds it, it is left alone.
    QString typed = m_field->text();
    const auto forget = qScopeGuard([&typed] { platform::wipe(typed); });
    const QPointer<QLineEdit> field = m_field;
    if (m_editor->unlock(typed, &cancelled)) {
        if (field)
            field->setText(QString());
        return; // the content root takes this view away once the document is unlocked
    }
    if (cancelled)
        return; // stopped by the user, not refused: the field keeps what was typed
    m_wrong = true;
    m_hint->setText(QStringLiteral("Not quite. Try again."));
    QPalette red = m_hint->palette();
    red.setColor(QPalette::WindowText, QColor(255, 59, 48));
    m_hint->setPalette(red);
    m_field->clear();
    setShake(kShakeDistance, 0.08, 0.2);
    // Each failure brings the field back on its own time; none is cancelled by a later one.
    QPointer<UnlockView> self(this);
    m_editor->scheduler().schedule(0.12, [self] {
        if (self)
            self->setShake(0, 0.25, 0.3);
    });
}

void UnlockView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
}

void UnlockView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_field->setFocus(Qt::OtherFocusReason);
}

} // namespace vmk::chrome
