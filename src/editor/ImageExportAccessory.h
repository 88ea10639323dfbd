#pragma once

#include <QWidget>

#include <memory>

class QButtonGroup;
class QComboBox;

namespace vmk {

class ImageExportOptions;

// The row under the image export's folder chooser: the format as two segments, the resolution as a menu,
// and how many images the export makes. Edits go straight into the options.
class ImageExportAccessory : public QWidget {
    Q_OBJECT
public:
    ImageExportAccessory(std::shared_ptr<ImageExportOptions> options, int pageCount, QWidget* parent = nullptr);

private:
    std::shared_ptr<ImageExportOptions> m_options;
    QButtonGroup* m_formats = nullptr;
    QComboBox* m_resolution = nullptr;
};

} // namespace vmk
