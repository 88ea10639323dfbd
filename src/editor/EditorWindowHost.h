#pragma once

#include "editor/EditorModel.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace vmk {

class ImageExportOptions;

// An alert run as a sheet on the document window.
struct AlertRequest {
    QString message;
    QString informativeText;
    QStringList buttons;        // the first is the default
    int destructiveButton = -1; // index into buttons, or -1
    bool warning = true;
};

// A save panel: the file name offered and the one file type allowed.
struct SavePanelRequest {
    QString suggestedName;
    QString typeName;  // "Plain Text", "PDF"
    QString extension; // without the dot: "txt", "pdf"
    QString message;
    QString title = QStringLiteral("Save"); // a few words; the message goes inside the dialog
};

// A folder chooser that can create folders.
struct FolderPanelRequest {
    QString prompt;
    QString message;
};

// What the Editor needs of the document window controller that owns it. The application shell
// implements it; without one (tests, a window being torn down) those steps are skipped.
class EditorWindowHost {
public:
    virtual ~EditorWindowHost() = default;

    // The document window, on which the Editor's panels and alerts run as sheets; null when none.
    virtual QWidget* window() const = 0;
    // Sets the window subtitle from the Editor's pageIndex and pageCount.
    virtual void updateSubtitle() = 0;
    // The mode changed from `from` to the Editor's current mode (collapses the sidebar on entering Pages).
    virtual void modeDidChange(EditorMode from) = 0;
    // Opens the sidebar when it is collapsed and the mode is not Pages.
    virtual void revealSidebar() = 0;

    // Panels and alerts as sheets on window(). The defaults show Qt dialogs there and nothing without a
    // window; a completion runs once with the answer (the button's index, -1 when the alert was closed
    // otherwise; the chosen path, or nothing when cancelled), never when nothing was shown.
    virtual void runAlert(const AlertRequest& request, std::function<void(int button)> completion);
    // The same with a password field under the text; the completion also gets what was typed.
    virtual void runPasswordAlert(const AlertRequest& request, const QString& placeholder,
                                  std::function<void(int button, const QString& password)> completion);
    virtual void runSavePanel(const SavePanelRequest& request, std::function<void(std::optional<QString>)> completion);
    // The folder chooser of the image export, with the format and resolution controls over options.
    virtual void runImageExportPanel(const FolderPanelRequest& request, const std::shared_ptr<ImageExportOptions>& options,
                                     int pageCount, std::function<void(std::optional<QString>)> completion);
    // An alert made from a failed write.
    virtual void showErrorAlert(const QString& message, const QString& detail);
    // Shows the item in the desktop's file viewer.
    virtual void revealInFileViewer(const QString& path);
    // The document's file, where file dialogs start; empty while it has none.
    virtual QString documentPath() const { return {}; }
};

// The page thumbnail grid of Pages mode; it registers itself with Editor::setPageGrid.
class PageGridHost {
public:
    virtual ~PageGridHost() = default;

    // Item height of the grid for an item width.
    static double itemHeight(double width) { return width * 1.3 + 30; }

    virtual double itemWidth() const = 0;
    // Sets the item width, lays items out at (width, width × 1.3 + 30), reloads them and re-applies the
    // Editor's organizerSelection.
    virtual void setItemWidth(double width) = 0;
};

} // namespace vmk
