#pragma once

#include "panels/CompressRules.h"

#include <QByteArray>
#include <QMap>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QPushButton;
class QStackedWidget;

namespace vmk {
class Editor;
}

namespace vmk::panels {

// "Export Compressed": one snapshot of the document as it stands (text being typed included), compressed
// in the background at the chosen preset, the sizes before and after with the saving, and the copy saved
// through a save panel. The open document is never changed. Each preset is compressed at most once per
// snapshot; flipping back to a finished preset shows its result at once.
class CompressSheet : public QWidget {
    Q_OBJECT
public:
    CompressSheet(Editor* editor, std::function<void()> dismiss, QWidget* parent = nullptr);

    CompressionPreset preset() const { return m_preset; }
    void setPreset(CompressionPreset preset);
    const std::optional<QByteArray>& original() const { return m_original; }
    const QMap<CompressionPreset, QByteArray>& results() const { return m_results; }

    // Takes the snapshot when there is none yet, then starts the chosen preset's compression unless it
    // has a result. Runs when the sheet first shows and on every preset change.
    void prepare();
    // The action of "Save Compressed…": closes the sheet, then asks where to save the chosen result.
    void save();

    QList<QAbstractButton*> presetButtons() const;
    QLabel* nowText() const { return m_nowValue; }
    QLabel* afterText() const { return m_afterValue; }
    bool nowIsPending() const;
    bool afterIsPending() const;
    QLabel* savingLabel() const { return m_saving; }
    QLabel* descriptionLabel() const { return m_description; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* cancelButton() const { return m_cancel; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();

    QPointer<Editor> m_editor;
    std::function<void()> m_dismiss;
    CompressionPreset m_preset = CompressionPreset::balanced;
    std::optional<QByteArray> m_original;
    std::optional<QString> m_password;
    QMap<CompressionPreset, QByteArray> m_results;
    bool m_prepared = false;

    QButtonGroup* m_presets;
    QStackedWidget* m_now;
    QLabel* m_nowValue;
    QStackedWidget* m_after;
    QLabel* m_afterValue;
    QLabel* m_saving;
    QLabel* m_description;
    QPushButton* m_cancel;
    QPushButton* m_save;
};

} // namespace vmk::panels
