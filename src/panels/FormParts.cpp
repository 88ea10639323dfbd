#include "panels/FormParts.h"

#include "chrome/ChromeStyle.h"
#include "platform/icons/SymbolIcons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace vmk::panels {

namespace {

// The rounded card behind a section's rows: a little lighter than the pane in the light palette and a
// little darker in the dark one, with a hairline edge.
class SectionCard : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPalette& pal = palette();
        QColor fill = pal.color(QPalette::Base);
        QColor edge = pal.color(QPalette::WindowText);
        edge.setAlphaF(0.08);
        p.setPen(QPen(edge, 0.5));
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }
};

} // namespace

FormSection::FormSection(const QString& header, QWidget* parent)
    : QWidget(parent), m_headerText(header)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    if (!header.isEmpty()) {
        m_header = new QLabel(header, this);
        QFont font = chrome::captionFont();
        font.setWeight(QFont::DemiBold);
        m_header->setFont(font);
        QPalette pal = m_header->palette();
        pal.setColor(QPalette::WindowText, chrome::secondaryTextColor(palette()));
        m_header->setPalette(pal);
        m_header->setContentsMargins(10, 0, 10, 0);
        m_header->setAccessibleName(header);
        layout->addWidget(m_header);
    }
    m_card = new SectionCard(this);
    m_cardLayout = new QVBoxLayout(m_card);
    m_cardLayout->setContentsMargins(10, 8, 10, 8);
    m_cardLayout->setSpacing(8);
    layout->addWidget(m_card);
}

QWidget* FormSection::addRow(const QString& label, QWidget* control)
{
    auto* row = new QWidget(m_card);
    row->setAccessibleName(label);
    row->setObjectName(QStringLiteral("row"));
    auto* text = new QLabel(label, row);
    control->setParent(row);
    // The label sits beside its control when both fit the inspector at its narrowest, else above it.
    constexpr int kSideBySide = 176;
    if (text->sizeHint().width() + 6 + control->sizeHint().width() <= kSideBySide) {
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(text);
        h->addStretch(1);
        h->addWidget(control);
    } else {
        auto* v = new QVBoxLayout(row);
        v->setContentsMargins(0, 0, 0, 0);
        v->setSpacing(4);
        v->addWidget(text);
        v->addWidget(control, 0, Qt::AlignLeft);
    }
    m_cardLayout->addWidget(row);
    return row;
}

void FormSection::addWidget(QWidget* widget)
{
    widget->setParent(m_card);
    m_cardLayout->addWidget(widget);
}

QList<QWidget*> FormSection::rows() const
{
    QList<QWidget*> list;
    for (int i = 0; i < m_cardLayout->count(); ++i)
        if (QWidget* w = m_cardLayout->itemAt(i)->widget())
            list << w;
    return list;
}

QWidget* findRow(const FormSection* section, const QString& label)
{
    for (QWidget* row : section->rows())
        if (row->objectName() == QLatin1String("row") && row->accessibleName() == label)
            return row;
    return nullptr;
}

EmptyStateView::EmptyStateView(const QString& symbol, const QString& title, const QString& description, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(6);
    layout->addStretch(1);
    m_symbol = new QLabel(this);
    m_symbol->setAlignment(Qt::AlignCenter);
    m_titleLabel = new QLabel(this);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    m_titleLabel->setWordWrap(true);
    m_titleLabel->setFont(chrome::titleFont(1.15));
    m_descriptionLabel = makeCaption(QString(), this);
    m_descriptionLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_symbol);
    layout->addSpacing(4);
    layout->addWidget(m_titleLabel);
    layout->addWidget(m_descriptionLabel);
    layout->addStretch(1);
    setContent(symbol, title, description);
}

void EmptyStateView::setContent(const QString& symbol, const QString& title, const QString& description)
{
    m_title = title;
    m_description = description;
    m_symbol->setPixmap(platform::symbolPixmap(symbol, 34, chrome::secondaryTextColor(palette()), devicePixelRatioF()));
    m_titleLabel->setText(title);
    m_descriptionLabel->setText(description);
    m_descriptionLabel->setVisible(!description.isEmpty());
    setAccessibleName(title);
}

QLabel* makeCaption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setFont(chrome::captionFont());
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, chrome::secondaryTextColor(pal));
    label->setPalette(pal);
    return label;
}

} // namespace vmk::panels
