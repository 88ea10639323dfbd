#include "panels/SignBar.h"

#include "chrome/Glass.h"
#include "chrome/Motion.h"
#include "editor/Editor.h"
#include "panels/PaletteButton.h"
#include "panels/PaletteRules.h"
#include "panels/SignatureSheet.h"
#include "platform/icons/SymbolIcons.h"
#include "signatures/SignatureStore.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>

namespace vmk::panels {

namespace {
constexpr QSizeF kArtworkBox{84, 26};
constexpr double kHoverScale = 1.05;
// Long enough for a spring of response 0.25 s and damping 0.6 to settle.
constexpr int kHoverSpringMs = 500;

qreal chipSpring(qreal progress)
{
    return chrome::springValue(0.25, 0.6, progress * kHoverSpringMs / 1000.0);
}
} // namespace

QRectF fitArtwork(const QSizeF& artwork, const QRectF& box)
{
    if (artwork.width() <= 0 || artwork.height() <= 0)
        return QRectF(box.center(), QSizeF(0, 0));
    const QSizeF fitted = artwork.scaled(box.size(), Qt::KeepAspectRatio);
    return QRectF(box.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted);
}

SignatureChip::SignatureChip(const signatures::SavedSignature& signature, std::function<void()> place,
                             std::function<void()> remove, QWidget* parent)
    : QAbstractButton(parent), m_signature(signature), m_remove(std::move(remove))
{
    // The artwork box with 8 of room on each side and 2 above and below.
    setFixedSize(int(kArtworkBox.width()) + 16, int(kArtworkBox.height()) + 4);
    const QString help = tr("Place this signature");
    setToolTip(help);
    setAccessibleName(help);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    QEasingCurve spring;
    spring.setCustomType(&chipSpring);
    m_hoverAnimation.setEasingCurve(spring);
    m_hoverAnimation.setDuration(kHoverSpringMs);
    connect(&m_hoverAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_hoverAmount = v.toDouble();
        update();
    });
    connect(this, &QAbstractButton::clicked, this, [place = std::move(place)] {
        if (place)
            place();
    });
}

QRectF SignatureChip::artworkRect() const
{
    const QRectF box(QPointF(8, 2), kArtworkBox);
    return fitArtwork(QSizeF(m_signature.image.size()), box);
}

void SignatureChip::removeSignature()
{
    if (m_remove)
        m_remove();
}

void SignatureChip::setHovering(bool hovering)
{
    if (hovering == m_hovering)
        return;
    m_hovering = hovering;
    m_hoverAnimation.stop();
    m_hoverAnimation.setStartValue(m_hoverAmount);
    m_hoverAnimation.setEndValue(hovering ? 1.0 : 0.0);
    m_hoverAnimation.start();
}

void SignatureChip::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    setHovering(true);
}

void SignatureChip::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    setHovering(false);
}

void SignatureChip::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* remove = menu.addAction(tr("Delete Signature"));
    remove->setProperty("destructive", true);
    if (menu.exec(event->globalPos()) == remove)
        removeSignature();
}

void SignatureChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF frame = QRectF(rect()).adjusted(1, 1, -1, -1);
    const double scale = 1.0 + (kHoverScale - 1.0) * m_hoverAmount;
    painter.translate(frame.center());
    painter.scale(scale, scale);
    painter.translate(-frame.center());
    const QRectF body = frame.adjusted(2, 1, -2, -1);
    const double r = body.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(1, 1, 1, std::clamp(0.8 + 0.15 * m_hoverAmount, 0.0, 1.0)));
    painter.drawRoundedRect(body, r, r);
    QColor edge = palette().color(QPalette::WindowText);
    edge.setAlphaF(0.1);
    painter.setPen(QPen(edge, 0.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(body.adjusted(0.25, 0.25, -0.25, -0.25), r, r);
    painter.drawImage(artworkRect(), m_signature.image);
}

SignBar::SignBar(Editor* editor, signatures::SignatureStore& store, std::function<void()> newSignature, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_store(store), m_newSignature(std::move(newSignature))
{
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    connect(&store, &signatures::SignatureStore::signaturesChanged, this, [this] { rebuild(); });
    rebuild();
}

void SignBar::rebuild()
{
    if (m_content) {
        // Deferred: a chip's own menu command may be what changed the list.
        m_content->hide();
        layout()->removeWidget(m_content);
        m_content->deleteLater();
    }
    m_chips.clear();
    m_new = nullptr;
    m_create = nullptr;
    m_content = new QWidget(this);
    auto* row = new QHBoxLayout(m_content);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(6);
    auto startNew = [this] {
        if (m_newSignature)
            m_newSignature();
    };
    const QList<signatures::SavedSignature>& all = m_store.signatures();
    if (all.isEmpty()) {
        auto* hint = new QLabel(tr("No signature yet. Make one; it takes five seconds."));
        hint->setForegroundRole(QPalette::PlaceholderText);
        hint->setContentsMargins(10, 0, 0, 0);
        row->addWidget(hint);
        m_create = new QPushButton(platform::symbolIcon(QStringLiteral("signature"), Qt::white), tr("Create Signature"));
        m_create->setAccessibleName(m_create->text());
        m_create->setFocusPolicy(Qt::NoFocus);
        chrome::applyProminentButton(m_create);
        connect(m_create, &QPushButton::clicked, this, startNew);
        row->addWidget(m_create);
    } else {
        signatures::SignatureStore* store = &m_store;
        for (int i = 0; i < std::min<int>(int(all.size()), kSignBarChipLimit); ++i) {
            const signatures::SavedSignature signature = all[i];
            const QPointer<Editor> editor = m_editor;
            auto* chip = new SignatureChip(
                signature,
                [editor, signature] {
                    if (editor)
                        editor->addSignature(signaturePlacement(signature));
                },
                [store, id = signature.id] { store->remove(id); });
            m_chips.append(chip);
            row->addWidget(chip);
        }
        m_new = new PaletteButton(QStringLiteral("plus"), tr("New Signature"), false, ButtonRole::none, startNew);
        row->addWidget(m_new);
    }
    layout()->addWidget(m_content);
    updateGeometry();
    emit contentChanged();
}

} // namespace vmk::panels
