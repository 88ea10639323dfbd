#pragma once

#include "app/CombineModel.h"
#include "chrome/RollingLabel.h"

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace vmk::app {

// The empty file area: a dashed outline with an invitation; accent-coloured while files are dragged over.
class CombineDropArea : public QWidget {
    Q_OBJECT
public:
    explicit CombineDropArea(QWidget* parent = nullptr);
    void setTargeted(bool targeted);
    bool isTargeted() const { return m_targeted; }
    QPushButton* addButton() const { return m_add; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refreshSymbol();

    bool m_targeted = false;
    QLabel* m_symbol = nullptr;
    QPushButton* m_add = nullptr;
};

// The content of the combine window: the header with a count of files and pages, the file area (the
// drop target: the dashed invitation while empty, else the list in merge order, reorderable by
// dragging) and the footer with the last failure, "Add Files…" and "Combine".
class CombineView : public QWidget {
    Q_OBJECT
public:
    using FileChooser = std::function<std::optional<QStringList>(QWidget* parent)>;

    explicit CombineView(std::function<void()> close, UntitledDocumentMaker* maker = nullptr, CombineMerge merge = {},
                         QWidget* parent = nullptr);

    CombineModel& model() { return m_model; }
    // The open panel of "Add Files…" (a PDF-only panel with the prompt "Add" unless replaced).
    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }

    void addFiles();
    // Files dropped on the file area (local file URLs; the rest is ignored). Always taken.
    bool handleDrop(const QList<QUrl>& urls);

    QLabel* subtitleLabel() const { return m_subtitle; }
    QLabel* errorLabel() const { return m_error; }
    QListWidget* list() const { return m_list; }
    CombineDropArea* dropArea() const { return m_empty; }
    QPushButton* combineButton() const { return m_combine; }
    QPushButton* footerAddButton() const { return m_footerAdd; }
    QProgressBar* busyIndicator() const { return m_busy; }
    bool isShowingList() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Return and Enter press Combine, the window's default button, wherever the keyboard is.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void rebuildList();
    void refresh();
    void listWasReordered();

    CombineModel m_model;
    FileChooser m_chooser;
    chrome::RollingLabel* m_subtitle = nullptr; // its counts roll upward as files come and go
    QStackedWidget* m_area = nullptr;
    CombineDropArea* m_empty = nullptr;
    QListWidget* m_list = nullptr;
    QLabel* m_error = nullptr;
    QPushButton* m_footerAdd = nullptr;
    QProgressBar* m_busy = nullptr;
    QPushButton* m_combine = nullptr;
};

} // namespace vmk::app
