#pragma once

#include <functional>

class QDialog;
class QWidget;

namespace vmk::panels {

// Shows a sheet's content in a window-modal dialog over the document window and hands the content the
// `dismiss` that ends it. `make` builds the content given that dismiss. The dismiss does nothing once
// either window is gone. Returns the dialog (owned by the window), or null without a window.
QDialog* presentSheet(QWidget* window, const std::function<QWidget*(std::function<void()> dismiss)>& make);

} // namespace vmk::panels
