#include "app/CombineView.h"

#include "chrome/ChromeStyle.h"
#include "chrome/Glass.h"
#include "chrome/Transition.h"
#include "platform/icons/SymbolIcons.h"
#include "platform/services/ReduceMotion.h"
#include "platform/services/WindowDialogs.h"

#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace vmk::app {

namespace {

std::optional<QStringList> defaultChooser(QWidget* parent)
{
    QFileDialog panel(parent, QStringLiteral("Add Files"), platform::startFolderFor(QString()));
    panel.setFileMode(QFileDialog::ExistingFiles);
    panel.setNameFilter(QStringLiteral("PDF documents (*.pdf *.PDF)"));
    panel.setLabelText(QFileDialog::Accept, QStringLiteral("Add"));
    if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty())
        return std::nullopt;
    return panel.selectedFiles();
}

bool carriesFiles(const QMimeData* mime)
{
    return mime && mime->hasUrls();
}

QIcon pdfIcon()
{
    static const QIcon icon = QIcon::fromTheme(QStringLiteral("application-pdf"),
                                               platform::symbolIcon(QStringLiteral("doc.richtext"), QColor(90, 90, 96), QSize(28, 28)));
    return icon;
}

} // namespace

CombineDropArea::CombineDropArea(QWidget* parent) : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(10);
    column->addStretch(1);
    m_symbol = new QLabel(this);
    m_symbol->setAlignment(Qt::AlignCenter);
    auto* invitation = new QLabel(QStringLiteral("Drop PDFs here, in any order."), this);
    QFont headline = invitation->font();
    headline.setWeight(QFont::DemiBold);
    invitation->setFont(headline);
    invitation->setAlignment(Qt::AlignCenter);
    m_add = new QPushButton(QStringLiteral("Add Files\u2026"), this);
    column->addWidget(m_symbol, 0, Qt::AlignHCenter);
    column->addWidget(invitation, 0, Qt::AlignHCenter);
    column->addWidget(m_add, 0, Qt::AlignHCenter);
    column->addStretch(1);
    refreshSymbol();
}

void CombineDropArea::setTargeted(bool targeted)
{
    if (m_targeted == targeted)
        return;
    m_targeted = targeted;
    refreshSymbol();
    update();
}

void CombineDropArea::refreshSymbol()
{
    const QColor tint = m_targeted ? chrome::accentColor(palette()) : chrome::secondaryTextColor(palette());
    m_symbol->setPixmap(platform::symbolPixmap(QStringLiteral("square.stack.3d.down.right"), 38, tint, devicePixelRatioF()));
}

void CombineDropArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor stroke = palette().color(QPalette::WindowText);
    stroke.setAlphaF(0.18);
    if (m_targeted)
        stroke = chrome::accentColor(palette());
    QPen pen(stroke, 1.5, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    // Dash lengths are in units of the pen width: 7 on and 5 off.
    pen.setDashPattern({7 / 1.5, 5 / 1.5});
    pen.setMiterLimit(10);
    painter.setPen(pen);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()).adjusted(20.75, 0.75, -20.75, -0.75), 16, 16);
    painter.drawPath(outline);
}

CombineView::CombineView(std::function<void()> close, UntitledDocumentMaker* maker, CombineMerge merge, QWidget* parent)
    : QWidget(parent), m_model(std::move(close), maker, std::move(merge)), m_chooser(defaultChooser)
{
    setObjectName(QStringLiteral("CombineView"));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto* header = new QVBoxLayout;
    header->setContentsMargins(20, 34, 20, 12);
    header->setSpacing(4);
    auto* title = new QLabel(QStringLiteral("Combine PDFs"), this);
    title->setFont(chrome::titleFont(1.6));
    m_subtitle = new chrome::RollingLabel(this);
    QPalette secondary = m_subtitle->palette();
    secondary.setColor(QPalette::WindowText, chrome::secondaryTextColor(palette()));
    m_subtitle->setPalette(secondary);
    header->addWidget(title);
    header->addWidget(m_subtitle);
    root->addLayout(header);

    m_area = new QStackedWidget(this);
    m_empty = new CombineDropArea(m_area);
    m_list = new QListWidget(m_area);
    m_list->setDragDropMode(QAbstractItemView::InternalMove);
    m_list->setDefaultDropAction(Qt::MoveAction);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setStyleSheet(QStringLiteral("QListWidget { background: transparent; margin: 0 12px; }"));
    m_area->addWidget(m_empty);
    m_area->addWidget(m_list);
    root->addWidget(m_area, 1);
    for (QWidget* target : {static_cast<QWidget*>(m_empty), m_list->viewport()}) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }
    // A drag inside the list changes the order of the items; the model follows once the drop is done.
    connect(m_list->model(), &QAbstractItemModel::rowsMoved, this, [this] {
        QMetaObject::invokeMethod(this, [this] { listWasReordered(); }, Qt::QueuedConnection);
    });

    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(20, 20, 20, 20);
    m_error = new QLabel(this);
    m_error->setFont(chrome::captionFont());
    m_error->setWordWrap(true);
    m_error->setTextFormat(Qt::PlainText);
    QPalette red = m_error->palette();
    red.setColor(QPalette::WindowText, QColor(255, 59, 48));
    m_error->setPalette(red);
    m_error->setMaximumHeight(QFontMetrics(m_error->font()).lineSpacing() * 2 + 2);
    m_footerAdd = new QPushButton(QStringLiteral("Add Files\u2026"), this);
    m_busy = new QProgressBar(this);
    m_busy->setRange(0, 0);
    m_busy->setTextVisible(false);
    m_busy->setFixedSize(48, 8);
    m_combine = new QPushButton(QStringLiteral("Combine"), this);
    m_combine->setDefault(true);
    m_combine->setAutoDefault(true);
    chrome::applyProminentButton(m_combine);
    footer->addWidget(m_error, 1);
    footer->addStretch(1);
    footer->addWidget(m_footerAdd);
    footer->addWidget(m_busy);
    footer->addWidget(m_combine);
    root->addLayout(footer);

    connect(m_empty->addButton(), &QPushButton::clicked, this, &CombineView::addFiles);
    connect(m_footerAdd, &QPushButton::clicked, this, &CombineView::addFiles);
    connect(m_combine, &QPushButton::clicked, &m_model, &CombineModel::combine);
    connect(&m_model, &CombineModel::itemsChanged, this, [this] {
        rebuildList();
        refresh();
    });
    connect(&m_model, &CombineModel::errorChanged, this, &CombineView::refresh);
    connect(&m_model, &CombineModel::workingChanged, this, &CombineView::refresh);
    refresh();
}

void CombineView::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        if (m_combine->isVisible() && m_combine->isEnabled())
            m_combine->click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool CombineView::isShowingList() const
{
    return m_area->currentWidget() == m_list;
}

void CombineView::addFiles()
{
    if (!m_chooser)
        return;
    if (const auto paths = m_chooser(window()))
        m_model.appendPaths(*paths);
}

bool CombineView::handleDrop(const QList<QUrl>& urls)
{
    QStringList paths;
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            paths << url.toLocalFile();
    m_model.appendPaths(paths);
    return true;
}

bool CombineView::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!carriesFiles(drag->mimeData()))
            break; // a row moving inside the list
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        m_empty->setTargeted(true);
        return true;
    }
    case QEvent::DragLeave:
        m_empty->setTargeted(false);
        break;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!carriesFiles(drop->mimeData()))
            break;
        m_empty->setTargeted(false);
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        handleDrop(drop->mimeData()->urls());
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void CombineView::rebuildList()
{
    m_list->clear();
    for (const CombineItem& item : m_model.items()) {
        auto* entry = new QListWidgetItem(m_list);
        entry->setData(Qt::UserRole, item.id);
        entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);

        auto* row = new QWidget;
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(6, 2, 6, 2);
        line->setSpacing(10);
        auto* icon = new QLabel(row);
        icon->setPixmap(pdfIcon().pixmap(28, 28));
        icon->setFixedSize(28, 28);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        auto* name = new QLabel(QFileInfo(item.path).completeBaseName(), row);
        name->setTextFormat(Qt::PlainText);
        auto* detail = new QLabel(combineDetail(item), row);
        detail->setFont(chrome::captionFont());
        // In the list's style sheet a palette set here would be dropped when the row is polished: the
        // colour goes in a rule of the label's own.
        const QColor detailColor = item.pages ? chrome::secondaryTextColor(palette()) : QColor(255, 59, 48);
        detail->setObjectName(item.pages ? QStringLiteral("pageCount") : QStringLiteral("unreadable"));
        detail->setStyleSheet(QStringLiteral("color: rgba(%1, %2, %3, %4);")
                                  .arg(detailColor.red()).arg(detailColor.green()).arg(detailColor.blue())
                                  .arg(detailColor.alpha()));
        texts->addWidget(name);
        texts->addWidget(detail);
        QColor tertiary = palette().color(QPalette::WindowText);
        tertiary.setAlphaF(0.35);
        auto* remove = chrome::makeSymbolButton(QStringLiteral("xmark.circle.fill"), QStringLiteral("Remove"), 16, row, tertiary);
        const QUuid id = item.id;
        connect(remove, &QToolButton::clicked, this, [this, id] { m_model.remove(id); });
        line->addWidget(icon);
        line->addLayout(texts, 1);
        line->addWidget(remove);
        entry->setSizeHint(row->sizeHint());
        m_list->setItemWidget(entry, row);
    }
}

void CombineView::listWasReordered()
{
    QList<QUuid> ids;
    for (int i = 0; i < m_list->count(); ++i)
        ids << m_list->item(i)->data(Qt::UserRole).toUuid();
    m_model.setOrder(ids);
}

void CombineView::refresh()
{
    const auto& items = m_model.items();
    m_subtitle->rollTo(combineSubtitle(items), true,
                       chrome::pieceMotion(chrome::springMotion<0.4, 0.8>(), platform::reduceMotionEnabled()));
    m_area->setCurrentWidget(items.isEmpty() ? static_cast<QWidget*>(m_empty) : m_list);
    m_error->setText(m_model.error().value_or(QString()));
    m_error->setVisible(m_model.error().has_value());
    m_footerAdd->setVisible(!items.isEmpty());
    m_busy->setVisible(m_model.isWorking());
    m_combine->setEnabled(m_model.canCombine());
}

} // namespace vmk::app
