#include "editor/ImageExportAccessory.h"

#include "editor/ImageExportOptions.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QToolButton>

namespace vmk {

ImageExportAccessory::ImageExportAccessory(std::shared_ptr<ImageExportOptions> options, int pageCount, QWidget* parent)
    : QWidget(parent), m_options(std::move(options))
{
    setFixedSize(420, 64);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 0, 16, 0);
    row->setSpacing(18);
    row->addStretch(1);

    // Segments: checkable buttons side by side, exclusive.
    auto* segments = new QWidget(this);
    segments->setAccessibleName(QStringLiteral("Format"));
    auto* segmentRow = new QHBoxLayout(segments);
    segmentRow->setContentsMargins(0, 0, 0, 0);
    segmentRow->setSpacing(0);
    m_formats = new QButtonGroup(this);
    for (ImageExportOptions::Format format : {ImageExportOptions::Format::png, ImageExportOptions::Format::jpeg}) {
        auto* button = new QToolButton(segments);
        button->setText(ImageExportOptions::rawValue(format));
        button->setCheckable(true);
        button->setChecked(format == m_options->format());
        m_formats->addButton(button, int(format));
        segmentRow->addWidget(button);
    }
    connect(m_formats, &QButtonGroup::idClicked, this,
            [this](int id) { m_options->setFormat(ImageExportOptions::Format(id)); });
    row->addWidget(segments);

    m_resolution = new QComboBox(this);
    m_resolution->setAccessibleName(QStringLiteral("Resolution"));
    for (double dpi : ImageExportOptions::resolutions()) {
        m_resolution->addItem(QStringLiteral("%1 dpi").arg(dpi), dpi);
        if (dpi == m_options->dpi())
            m_resolution->setCurrentIndex(m_resolution->count() - 1);
    }
    connect(m_resolution, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_options->setDpi(m_resolution->itemData(index).toDouble()); });
    row->addWidget(m_resolution);

    auto* count = new QLabel(ImageExportOptions::countText(pageCount), this);
    count->setForegroundRole(QPalette::PlaceholderText);
    row->addWidget(count);
    row->addStretch(1);
}

} // namespace vmk
