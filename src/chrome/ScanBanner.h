#pragma once

#include "chrome/Glass.h"

#include <QPointer>

#include <functional>

class QPushButton;
class QToolButton;

namespace vmk {
class Editor;
}

namespace vmk::chrome {

// The capsule that offers to make a scanned-looking document searchable. "Make Searchable" asks the
// editor to read the pages (the editor takes the offer away when it accepts); the close button only
// puts the offer away. It keeps no state of its own.
class ScanBanner : public GlassSurface {
    Q_OBJECT
public:
    explicit ScanBanner(Editor* editor, QWidget* parent = nullptr);

    QPushButton* makeSearchableButton() const { return m_make; }
    QToolButton* closeButton() const { return m_close; }

private:
    QPointer<Editor> m_editor;
    QPushButton* m_make = nullptr;
    QToolButton* m_close = nullptr;
};

} // namespace vmk::chrome
