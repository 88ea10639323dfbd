#pragma once

#include "app/WelcomeModel.h"

#include <QPushButton>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>

class QLabel;
class QVBoxLayout;

namespace vmk::app {

class DropZone;
class WelcomeEntrance;

// One large button of the welcome window: icon and title, with the shortcut hint at the trailing edge.
class WelcomeButton : public QPushButton {
    Q_OBJECT
public:
    WelcomeButton(const QString& title, const QString& symbol, const QString& shortcut, QWidget* parent = nullptr);
    QString shortcutHint() const { return m_shortcut; }
    // The fill behind the label: 12 % while pressed, 7 % while hovered, none otherwise.
    double fillOpacity() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString m_symbol;
    QString m_shortcut;
    bool m_hovering = false;
};

// One recent document: the generic PDF icon, the name without extension and the folder ("~" for home).
class RecentRow : public QPushButton {
    Q_OBJECT
public:
    explicit RecentRow(const QString& path, QWidget* parent = nullptr);
    QString path() const { return m_path; }
    QString nameText() const;
    QString folderText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString m_path;
    bool m_hovering = false;
};

// The content of the welcome window: the application's name and two buttons on the left; on the
// right a drop zone that takes any file (a click shows the open panel) and the recent documents.
// While the window is visible it also shows failed opens in place of an alert.
class WelcomeView : public QWidget {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> openPanel;          // "Open a PDF…", a click on the zone
        std::function<void()> combine;            // "Combine PDFs…"; absent while not offered
        std::function<void(const QString&)> open; // a recent row, a dropped file
    };

    WelcomeView(const QStringList& recents, Actions actions, QWidget* parent = nullptr);
    ~WelcomeView() override;

    WelcomeModel& model() { return m_model; }
    DropZone* dropZone() const { return m_dropZone; }
    const QList<RecentRow*>& recentRows() const { return m_rows; }
    QPushButton* openButton() const { return m_openButton; }
    QPushButton* combineButton() const { return m_combineButton; }
    QPushButton* tryAnotherButton() const;
    void setReduceMotionProvider(std::function<bool()> provider) { m_reduceMotion = std::move(provider); }

    // Carries over what `earlier` shows (a failure, the entrance already played) to this view, which
    // takes its place with fresher recent documents.
    void continueFrom(const WelcomeView& earlier);
    // A "Vellumark.openFailed" notification.
    void handleOpenFailed(const QVariantMap& userInfo);
    void handleDrop(const QStringList& paths);
    void dropZoneTapped();
    void tryAnotherFile();
    const QVariantAnimation& shakeAnimation() const { return m_shake; }
    // The entrance played when the view first shows.
    WelcomeEntrance* entrance() const { return m_entrance; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool reduceMotion() const;

    WelcomeModel m_model;
    Actions m_actions;
    DropZone* m_dropZone = nullptr;
    QPushButton* m_openButton = nullptr;
    QPushButton* m_combineButton = nullptr;
    QList<RecentRow*> m_rows;
    std::function<bool()> m_reduceMotion;
    QVariantAnimation m_shake;
    quint64 m_observer = 0;
    WelcomeEntrance* m_entrance = nullptr;
};

} // namespace vmk::app
