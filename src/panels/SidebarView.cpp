#include "panels/SidebarView.h"

#include "chrome/ChromeStyle.h"
#include "editor/Editor.h"
#include "panels/FormParts.h"
#include "panels/OutlineSidebar.h"
#include "panels/SearchSidebar.h"
#include "platform/icons/SymbolIcons.h"
#include "platform/services/ReduceMotion.h"

#include <QButtonGroup>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QPropertyAnimation>
#include <QStackedLayout>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace vmk::panels {

namespace {

// One segment of the tab picker. The chosen one is filled with the accent colour and its symbol is white,
// so which list shows is plain at a glance in either appearance; the colours are read as it paints.
class SegmentButton : public QToolButton {
public:
    SegmentButton(const QString& symbol, QWidget* parent) : QToolButton(parent), m_symbol(symbol)
    {
        setAttribute(Qt::WA_Hover);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF shape = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
        QColor ink = palette().color(QPalette::WindowText);
        QColor fill = Qt::transparent;
        if (isChecked()) {
            fill = chrome::accentColor(palette());
            ink = Qt::white;
        } else if (underMouse() || isDown()) {
            fill = ink;
            fill.setAlphaF(0.10f);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(shape, 6, 6);
        const QSize size = iconSize();
        const QRect place(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        p.drawPixmap(place, platform::symbolIcon(m_symbol, ink).pixmap(size, devicePixelRatioF()));
    }

private:
    QString m_symbol;
};

struct TabInfo {
    SidebarTab tab;
    const char* symbol;
    const char* title;
};

const TabInfo kTabs[] = {
    {SidebarTab::thumbnails, "rectangle.grid.1x2", QT_TRANSLATE_NOOP("SidebarView", "Thumbnails")},
    {SidebarTab::outline, "list.bullet.indent", QT_TRANSLATE_NOOP("SidebarView", "Contents")},
    {SidebarTab::search, "magnifyingglass", QT_TRANSLATE_NOOP("SidebarView", "Search")},
};

} // namespace

SidebarView::SidebarView(Editor* editor, ThumbnailFactory thumbnails, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_thumbnailFactory(std::move(thumbnails))
{
    setAccessibleName(tr("Sidebar"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // The segmented picker: symbols only, each titled by its tooltip; its own title is never shown.
    auto* picker = new QWidget(this);
    picker->setAccessibleName(tr("Sidebar"));
    auto* row = new QHBoxLayout(picker);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(0);
    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    for (const TabInfo& info : kTabs) {
        auto* button = new SegmentButton(QString::fromLatin1(info.symbol), picker);
        const QString title = tr(info.title);
        button->setCheckable(true);
        button->setToolTip(title);
        button->setAccessibleName(title);
        button->setIconSize(QSize(16, 16));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setMinimumHeight(24);
        m_group->addButton(button, rawValue(info.tab));
        m_segments << button;
        row->addWidget(button);
    }
    column->addWidget(picker);
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) {
        if (m_editor)
            if (const auto tab = sidebarTabFromRaw(id))
                m_editor->setSidebarTab(*tab);
    });

    m_content = new QStackedWidget(this);
    m_thumbnailPage = new QWidget(m_content);
    auto* thumbStack = new QStackedLayout(m_thumbnailPage);
    m_blank = new QWidget(m_thumbnailPage);
    m_locked = new EmptyStateView(QStringLiteral("lock"), tr("Locked"), tr("Unlock the PDF to see its pages."), m_thumbnailPage);
    thumbStack->addWidget(m_blank);
    thumbStack->addWidget(m_locked);
    m_outline = new OutlineSidebar(editor, m_content);
    m_search = new SearchSidebar(editor, m_content);
    m_content->addWidget(m_thumbnailPage);
    m_content->addWidget(m_outline);
    m_content->addWidget(m_search);
    column->addWidget(m_content, 1);

    if (editor) {
        connect(editor, &Editor::sidebarTabChanged, this, &SidebarView::refresh);
        connect(editor, &Editor::isLockedChanged, this, &SidebarView::refresh);
    }
    refresh();
}

QWidget* SidebarView::currentContent() const
{
    if (m_content->currentWidget() != m_thumbnailPage)
        return m_content->currentWidget();
    return static_cast<QStackedLayout*>(m_thumbnailPage->layout())->currentWidget();
}

void SidebarView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // One main-loop turn later, so the window shows before the thumbnails start building.
    if (!m_editor || m_ready)
        return;
    QPointer<SidebarView> self(this);
    m_editor->scheduler().schedule(0, [self] {
        if (self)
            self->reveal();
    });
}

void SidebarView::reveal()
{
    if (m_ready)
        return;
    m_ready = true;
    refresh();
    if (!m_thumbnailView || platform::reduceMotionEnabled())
        return;
    auto* effect = new QGraphicsOpacityEffect(m_thumbnailView);
    effect->setOpacity(0);
    m_thumbnailView->setGraphicsEffect(effect);
    auto* fade = new QPropertyAnimation(effect, "opacity", effect);
    fade->setDuration(200);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->setEasingCurve(QEasingCurve::OutCubic);
    QPointer<QWidget> view(m_thumbnailView);
    connect(fade, &QPropertyAnimation::finished, this, [view] {
        if (view)
            view->setGraphicsEffect(nullptr); // the effect would otherwise cost every repaint
    });
    fade->start();
}

void SidebarView::refresh()
{
    const SidebarTab tab = m_editor ? m_editor->sidebarTab() : SidebarTab::thumbnails;
    if (QAbstractButton* button = m_group->button(rawValue(tab)); button && !button->isChecked())
        button->setChecked(true);
    auto* thumbStack = static_cast<QStackedLayout*>(m_thumbnailPage->layout());
    if (m_editor && m_editor->isLocked()) {
        thumbStack->setCurrentWidget(m_locked);
    } else if (!m_ready) {
        thumbStack->setCurrentWidget(m_blank);
    } else {
        if (!m_thumbnailView && m_thumbnailFactory && m_editor) {
            m_thumbnailView = m_thumbnailFactory(m_editor);
            if (m_thumbnailView)
                thumbStack->addWidget(m_thumbnailView);
        }
        thumbStack->setCurrentWidget(m_thumbnailView ? m_thumbnailView : m_blank);
    }
    switch (tab) {
    case SidebarTab::thumbnails:
        m_content->setCurrentWidget(m_thumbnailPage);
        break;
    case SidebarTab::outline:
        m_content->setCurrentWidget(m_outline);
        break;
    case SidebarTab::search:
        m_content->setCurrentWidget(m_search);
        break;
    }
}

} // namespace vmk::panels
