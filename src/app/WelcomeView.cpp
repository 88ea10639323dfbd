#include "app/WelcomeView.h"

#include "app/WelcomeEntrance.h"
#include "chrome/Motion.h"
#include "platform/icons/SymbolIcons.h"
#include "platform/services/NotificationCenter.h"
#include "platform/services/PlainText.h"
#include "platform/services/ReduceMotion.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QStyleOption>
#include <QVBoxLayout>

namespace vmk::app {

namespace {

QColor withAlpha(QColor c, double a)
{
    c.setAlphaF(a);
    return c;
}

} // namespace

// The drop zone: the prompt, or the failure banner with its shaking page picture.
class DropZone : public QWidget {
public:
    DropZone(WelcomeView* view, WelcomeModel& model)
        : QWidget(view), m_view(view), m_model(model)
    {
        m_try = new QPushButton(QStringLiteral("Try Another File…"), this);
        m_try->hide();
        QObject::connect(m_try, &QPushButton::clicked, view, [view] { view->tryAnotherFile(); });
        setCursor(Qt::PointingHandCursor);
    }
    QPushButton* tryButton() const { return m_try; }
    double shakeOffset = 0;

    void refresh()
    {
        m_try->setVisible(m_model.failure().has_value());
        layoutTry();
        update();
    }

protected:
    void resizeEvent(QResizeEvent*) override { layoutTry(); }
    void mouseReleaseEvent(QMouseEvent*) override { m_view->dropZoneTapped(); }

    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor text = palette().color(QPalette::WindowText);
        const QColor accent = palette().color(QPalette::Highlight);
        const bool targeted = m_model.targeted();
        QRectF zone = QRectF(rect()).adjusted(1, 1, -1, -1);
        if (targeted) {
            const double grow = 0.015;
            zone.adjust(-zone.width() * grow, -zone.height() * grow, zone.width() * grow, zone.height() * grow);
            p.fillPath([&] { QPainterPath path; path.addRoundedRect(zone, 18, 18); return path; }(), withAlpha(accent, 0.08));
            p.setPen(QPen(accent, 2));
        } else {
            QPen pen(withAlpha(text, 0.18), 1.5);
            pen.setDashPattern({7 / 1.5, 5 / 1.5});
            p.setPen(pen);
        }
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(zone.adjusted(0.75, 0.75, -0.75, -0.75), 18, 18);

        if (const auto& failure = m_model.failure()) {
            paintFailure(p, *failure);
            return;
        }
        const QColor symbolColor = targeted ? accent : withAlpha(text, 0.55);
        const QPixmap symbol = platform::symbolPixmap(m_model.promptSymbol(), 44, symbolColor, devicePixelRatioF());
        const QPointF centre = zone.center();
        p.drawPixmap(QPointF(centre.x() - 22, centre.y() - 60), symbol);
        QFont title = font();
        title.setPixelSize(18);
        title.setWeight(QFont::DemiBold);
        p.setFont(title);
        p.setPen(text);
        p.drawText(QRectF(zone.left(), centre.y() - 6, zone.width(), 26), Qt::AlignCenter, m_model.promptTitle());
        QFont detail = font();
        p.setFont(detail);
        p.setPen(withAlpha(text, 0.6));
        p.drawText(QRectF(zone.left(), centre.y() + 22, zone.width(), 20), Qt::AlignCenter, m_model.promptDetail());
    }

private:
    QRectF bannerTextRect() const
    {
        const QPointF c = QRectF(rect()).center();
        const double total = 66 + 22 + 260;
        return QRectF(c.x() - total / 2 + 88, c.y() - 50, 260, 100);
    }

    void layoutTry()
    {
        const QRectF t = bannerTextRect();
        m_try->adjustSize();
        m_try->move(int(t.left()), int(t.bottom() - m_try->height() + 8));
    }

    void paintFailure(QPainter& p, const WelcomeFailure& failure)
    {
        const QRectF t = bannerTextRect();
        // The page card, shaken sideways, with a red border and badge once the badge is in.
        const QRectF card(t.left() - 88 + shakeOffset, t.top() + 8, 66, 84);
        p.save();
        for (int i = 3; i >= 1; --i) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 0, 0, 12));
            p.drawRoundedRect(card.translated(0, 3).adjusted(-i, -i, i, i), 8, 8);
        }
        p.setBrush(Qt::white);
        p.drawRoundedRect(card, 8, 8);
        p.setBrush(QColor(140, 140, 140));
        const QRectF tag(card.left() + 9, card.top() + 9, 24, 13);
        p.drawRoundedRect(tag, 3, 3);
        QFont tiny = font();
        tiny.setPixelSize(8);
        tiny.setWeight(QFont::Black);
        p.setFont(tiny);
        p.setPen(Qt::white);
        p.drawText(tag, Qt::AlignCenter, QStringLiteral("PDF"));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgbF(0.88, 0.88, 0.88));
        double y = tag.bottom() + 5;
        for (double w : {46.0, 40.0, 48.0, 26.0}) {
            p.drawRoundedRect(QRectF(card.left() + 9, y, w, 4), 2, 2);
            y += 9;
        }
        if (m_model.badgeIn()) {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(QColor(255, 59, 48), 2));
            p.drawRoundedRect(card.adjusted(1, 1, -1, -1), 7, 7);
            const QRectF badge(card.right() - 13 + 10, card.top() - 13 - 10, 26, 26);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 59, 48));
            p.drawEllipse(badge);
            QFont bang = font();
            bang.setPixelSize(15);
            bang.setWeight(QFont::Black);
            p.setFont(bang);
            p.setPen(Qt::white);
            p.drawText(badge, Qt::AlignCenter, QStringLiteral("!"));
        }
        p.restore();

        QFont headline = font();
        headline.setWeight(QFont::DemiBold);
        p.setFont(headline);
        p.setPen(palette().color(QPalette::WindowText));
        const QString title = QStringLiteral("Couldn’t open “") + failure.name + QStringLiteral("”");
        const QRectF titleRect(t.left(), t.top(), t.width(), 40);
        p.drawText(titleRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, title);
        const QRectF used = p.boundingRect(titleRect, Qt::AlignLeft | Qt::TextWordWrap, title);
        p.setFont(font());
        p.setPen(withAlpha(palette().color(QPalette::WindowText), 0.6));
        p.drawText(QRectF(t.left(), used.bottom() + 6, t.width(), t.bottom() - used.bottom() - 36),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, failure.message);
    }

    WelcomeView* m_view;
    WelcomeModel& m_model;
    QPushButton* m_try;
};

WelcomeButton::WelcomeButton(const QString& title, const QString& symbol, const QString& shortcut, QWidget* parent)
    : QPushButton(title, parent), m_symbol(symbol), m_shortcut(shortcut)
{
    setFlat(true);
    setMinimumHeight(36);
    setAttribute(Qt::WA_Hover);
}

double WelcomeButton::fillOpacity() const
{
    return isDown() ? 0.12 : m_hovering ? 0.07 : 0.0;
}

void WelcomeButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor text = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
    if (fillOpacity() > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(text, fillOpacity()));
        p.drawRoundedRect(QRectF(rect()), 8, 8);
    }
    const QRect inner = rect().adjusted(12, 8, -12, -8);
    p.drawPixmap(inner.left(), inner.center().y() - 8, platform::symbolPixmap(m_symbol, 16, palette().color(QPalette::Highlight), devicePixelRatioF()));
    p.setPen(text);
    p.drawText(inner.adjusted(26, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QPushButton::text());
    p.setPen(withAlpha(text, 0.4));
    p.drawText(inner, Qt::AlignVCenter | Qt::AlignRight, m_shortcut);
}

void WelcomeButton::enterEvent(QEnterEvent* event)
{
    m_hovering = true;
    update();
    QPushButton::enterEvent(event);
}

void WelcomeButton::leaveEvent(QEvent* event)
{
    m_hovering = false;
    update();
    QPushButton::leaveEvent(event);
}

RecentRow::RecentRow(const QString& path, QWidget* parent)
    : QPushButton(parent), m_path(path)
{
    setFlat(true);
    setFixedHeight(42);
    setToolTip(platform::plainToolTip(path));
    setAttribute(Qt::WA_Hover);
}

QString RecentRow::nameText() const
{
    return recentNameText(m_path);
}

QString RecentRow::folderText() const
{
    return recentFolderText(m_path, QDir::homePath());
}

void RecentRow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor text = palette().color(QPalette::WindowText);
    if (m_hovering) {
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(text, 0.07));
        p.drawRoundedRect(QRectF(rect()), 8, 8);
    }
    const QRect inner = rect().adjusted(8, 5, -8, -5);
    p.drawPixmap(inner.left(), inner.center().y() - 13, platform::symbolPixmap(QStringLiteral("doc"), 26, withAlpha(text, 0.7), devicePixelRatioF()));
    const QRect texts = inner.adjusted(36, 0, 0, 0);
    const QFontMetrics fm(font());
    p.setPen(text);
    p.drawText(QRect(texts.left(), texts.top(), texts.width(), texts.height() / 2), Qt::AlignLeft | Qt::AlignBottom,
               fm.elidedText(nameText(), Qt::ElideRight, texts.width()));
    QFont caption = font();
    caption.setPixelSize(11);
    p.setFont(caption);
    p.setPen(withAlpha(text, 0.55));
    p.drawText(QRect(texts.left(), texts.center().y() + 1, texts.width(), texts.height() / 2), Qt::AlignLeft | Qt::AlignTop,
               QFontMetrics(caption).elidedText(folderText(), Qt::ElideMiddle, texts.width()));
}

void RecentRow::enterEvent(QEnterEvent* event)
{
    m_hovering = true;
    update();
    QPushButton::enterEvent(event);
}

void RecentRow::leaveEvent(QEvent* event)
{
    m_hovering = false;
    update();
    QPushButton::leaveEvent(event);
}

WelcomeView::WelcomeView(const QStringList& recents, Actions actions, QWidget* parent)
    : QWidget(parent), m_actions(std::move(actions))
{
    setAcceptDrops(true);
    setMinimumSize(720, 440);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    auto* left = new QWidget;
    left->setFixedWidth(300);
    auto* leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(32, 44, 32, 44);
    leftColumn->setSpacing(0);
    // The icon lines up by its face; its shadow spills into the column's margins.
    auto* icon = new WelcomeIcon(left);
    leftColumn->addItem(icon->layoutItem());
    leftColumn->addSpacing(14);
    // The name and the tagline rise in together.
    auto* title = new QWidget;
    auto* titleColumn = new QVBoxLayout(title);
    titleColumn->setContentsMargins(0, 0, 0, 0);
    titleColumn->setSpacing(2);
    auto* name = new QLabel(QStringLiteral("Vellumark"));
    QFont big = name->font();
    big.setPixelSize(28);
    big.setBold(true);
    name->setFont(big);
    titleColumn->addWidget(name);
    auto* tagline = new QLabel(QStringLiteral("Free forever. No account. No internet."));
    tagline->setForegroundRole(QPalette::PlaceholderText);
    tagline->setWordWrap(true);
    titleColumn->addWidget(tagline);
    leftColumn->addWidget(title);
    m_entrance = new WelcomeEntrance(icon, title, this);
    leftColumn->addStretch(1);
    m_openButton = new WelcomeButton(QStringLiteral("Open a PDF…"), QStringLiteral("folder"), QStringLiteral("Ctrl+O"));
    m_combineButton = new WelcomeButton(QStringLiteral("Combine PDFs…"), QStringLiteral("square.stack.3d.down.right"), QStringLiteral("Ctrl+Alt+O"));
    m_combineButton->setEnabled(bool(m_actions.combine));
    connect(m_openButton, &QPushButton::clicked, this, [this] { if (m_actions.openPanel) m_actions.openPanel(); });
    connect(m_combineButton, &QPushButton::clicked, this, [this] { if (m_actions.combine) m_actions.combine(); });
    leftColumn->addWidget(m_openButton);
    leftColumn->addSpacing(8);
    leftColumn->addWidget(m_combineButton);
    row->addWidget(left);

    auto* right = new QWidget;
    right->setObjectName(QStringLiteral("welcomeRight"));
    auto* rightColumn = new QVBoxLayout(right);
    rightColumn->setContentsMargins(20, 36, 20, 20);
    rightColumn->setSpacing(14);
    m_dropZone = new DropZone(this, m_model);
    rightColumn->addWidget(m_dropZone, 1);
    if (!recents.isEmpty()) {
        m_dropZone->setMaximumHeight(190);
        auto* heading = new QLabel(QStringLiteral("Recent"));
        QFont caption = heading->font();
        caption.setPixelSize(11);
        caption.setWeight(QFont::DemiBold);
        heading->setFont(caption);
        heading->setForegroundRole(QPalette::PlaceholderText);
        heading->setContentsMargins(8, 0, 0, 0);
        auto* list = new QWidget;
        auto* listLayout = new QVBoxLayout(list);
        listLayout->setContentsMargins(0, 0, 0, 0);
        listLayout->setSpacing(2);
        for (const QString& path : recents.mid(0, 12)) {
            auto* recent = new RecentRow(path);
            connect(recent, &QPushButton::clicked, this, [this, path] { if (m_actions.open) m_actions.open(path); });
            listLayout->addWidget(recent);
            m_rows << recent;
        }
        listLayout->addStretch(1);
        auto* scroll = new QScrollArea;
        scroll->setWidget(list);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->viewport()->setAutoFillBackground(false);
        list->setAutoFillBackground(false);
        auto* box = new QVBoxLayout;
        box->setSpacing(4);
        box->addWidget(heading);
        box->addWidget(scroll, 1);
        rightColumn->addLayout(box, 1);
    }
    row->addWidget(right, 1);

    connect(&m_shake, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_dropZone->shakeOffset = chrome::dampedShakeOffset(v.toDouble());
        m_dropZone->update();
    });
    m_observer = platform::NotificationCenter::defaultCenter().addObserver(
        platform::kOpenFailedNotification, nullptr,
        [this](const platform::Notification& n) { handleOpenFailed(n.userInfo); }, this);
}

WelcomeView::~WelcomeView()
{
    platform::NotificationCenter::defaultCenter().removeObserver(m_observer);
}

QPushButton* WelcomeView::tryAnotherButton() const
{
    return m_dropZone->tryButton();
}

bool WelcomeView::reduceMotion() const
{
    return m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
}

void WelcomeView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_entrance->run(reduceMotion());
}

void WelcomeView::continueFrom(const WelcomeView& earlier)
{
    m_model = earlier.m_model;
    m_model.setTargeted(false);
    if (earlier.m_entrance->hasRun())
        m_entrance->markRun();
    m_dropZone->refresh();
}

void WelcomeView::handleOpenFailed(const QVariantMap& userInfo)
{
    const double from = m_model.shakes();
    const bool shake = m_model.handleOpenFailed(userInfo, reduceMotion());
    if (shake) {
        // One whole damped shake: the counter runs from n to n + 1, then the badge pops in.
        const chrome::MotionSpec motion = chrome::easeInOutMotion(0.6, 0.1);
        m_shake.stop();
        m_shake.setStartValue(from);
        m_shake.setEndValue(m_model.shakes());
        m_shake.setDuration(motion.durationMs);
        m_shake.setEasingCurve(motion.easing);
        m_shake.start();
        m_model.setBadgeIn(true);
    }
    m_dropZone->refresh();
}

void WelcomeView::handleDrop(const QStringList& paths)
{
    m_model.setTargeted(false);
    m_dropZone->refresh();
    for (const QString& path : paths)
        if (m_actions.open)
            m_actions.open(path);
}

void WelcomeView::dropZoneTapped()
{
    if (m_model.dropZoneTapped() && m_actions.openPanel)
        m_actions.openPanel();
}

void WelcomeView::tryAnotherFile()
{
    m_model.tryAnotherFile();
    m_dropZone->refresh();
    if (m_actions.openPanel)
        m_actions.openPanel();
}

void WelcomeView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!event->mimeData()->hasUrls())
        return;
    event->acceptProposedAction();
    m_model.setTargeted(true);
    m_dropZone->refresh();
}

void WelcomeView::dragLeaveEvent(QDragLeaveEvent*)
{
    m_model.setTargeted(false);
    m_dropZone->refresh();
}

void WelcomeView::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    event->acceptProposedAction();
    handleDrop(paths);
}

void WelcomeView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    // The right column sits on a slightly different ground.
    QColor ground = palette().color(QPalette::Base);
    ground.setAlphaF(0.5);
    p.fillRect(QRect(300, 0, width() - 300, height()), ground);
}

} // namespace vmk::app
