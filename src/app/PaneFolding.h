#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QSplitter;
class QWidget;

namespace vmk::app {

// Keeps the document window's side panes from being pushed out of a narrow window. When the split view
// is narrower than its open panes and the canvas need, it folds the inspector, then the sidebar; when
// room returns it opens again what it folded. A pane the user opens or closes is theirs again: opening
// one in a narrow window folds the other instead.
class PaneFolding : public QObject {
    Q_OBJECT
public:
    // `show` opens or closes a pane the way the window's own commands do.
    PaneFolding(QSplitter* split, QWidget* sidebar, QWidget* content, QWidget* inspector,
                std::function<void(QWidget* pane, bool shown)> show, QObject* parent = nullptr);

    // Whether the pane is closed only for want of room.
    bool isFolded(const QWidget* pane) const;
    // True while the folding itself opens or closes a pane.
    bool isBusy() const { return m_busy; }
    // The user opened or closed a pane.
    void userChanged(QWidget* pane, bool shown);
    // Folds or unfolds for the split view's current width; `keep` is folded last.
    void fit(QWidget* keep = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int needed() const;
    void setShown(QWidget* pane, bool shown);

    QPointer<QSplitter> m_split;
    QPointer<QWidget> m_sidebar;
    QPointer<QWidget> m_content;
    QPointer<QWidget> m_inspector;
    std::function<void(QWidget*, bool)> m_show;
    QList<QWidget*> m_folded; // in the order they were folded
    bool m_busy = false;
};

} // namespace vmk::app
