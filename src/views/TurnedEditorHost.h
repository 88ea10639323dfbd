#pragma once

#include <QGraphicsView>
#include <QPointer>

class QGraphicsProxyWidget;

namespace vmk::views {

class BlockTextEditor;

// Holds a block text editor turned by a quarter turn or more, for a page shown turned: the editor lies along
// the page's text, its lines running the way the page's do, and grows across the page as they do instead of
// off it. A text widget cannot be drawn turned by itself, so it lives in a one-item scene of its own.
class TurnedEditorHost : public QGraphicsView {
    Q_OBJECT
public:
    // Takes the editor (sized upright, at 0, 0) into its scene, turned clockwise by `degrees`.
    TurnedEditorHost(BlockTextEditor* editor, int degrees, QWidget* parent);

    BlockTextEditor* editor() const { return m_editor; }
    // Puts the corner where the editor's first line begins at `anchor`, in the parent's coordinates.
    void placeAt(QPointF anchor);
    // Focus goes on to the editor inside.
    void focusEditor();

private:
    void refit();

    QPointer<BlockTextEditor> m_editor;
    QGraphicsProxyWidget* m_proxy = nullptr;
    int m_degrees = 0;
    QPointF m_anchor;
};

} // namespace vmk::views
