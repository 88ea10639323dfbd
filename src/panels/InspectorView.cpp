#include "panels/InspectorView.h"

#include "editor/Editor.h"
#include "panels/DocumentSections.h"
#include "panels/ToolSections.h"
#include "panels/SelectionSection.h"
#include "signatures/SignatureStore.h"

#include <QVBoxLayout>

namespace vmk::panels {

InspectorView::InspectorView(Editor* editor, signatures::SignatureStore* store, QWidget* parent)
    : QScrollArea(parent), m_editor(editor), m_store(store)
{
    setAccessibleName(tr("Inspector"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The pane's own background shows through the form.
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    m_column = new QVBoxLayout(content);
    m_column->setContentsMargins(12, 12, 12, 12);
    m_column->setSpacing(16);
    m_column->addStretch(1);
    setWidget(content);

    if (editor) {
        connect(editor, &Editor::modeChanged, this, &InspectorView::layoutSections);
        connect(editor, &Editor::toolChanged, this, &InspectorView::layoutSections);
        connect(editor, &Editor::selectedAnnotationChanged, this, &InspectorView::layoutSections);
    }
    layoutSections();
}

QList<QWidget*> InspectorView::sections() const
{
    QList<QWidget*> list;
    for (int i = 0; i < m_column->count(); ++i)
        if (QWidget* w = m_column->itemAt(i)->widget())
            list << w;
    return list;
}

template <typename T>
void InspectorView::drop(T*& section)
{
    if (!section)
        return;
    m_column->removeWidget(section);
    section->hide();
    // Later: the section may be the one whose button caused this change.
    section->deleteLater();
    section = nullptr;
}

void InspectorView::layoutSections()
{
    Editor* e = m_editor;
    const EditorMode mode = e ? e->mode() : EditorMode::read;
    const pdf::AnnotationPtr selected = e ? e->selectedAnnotation() : nullptr;

    if (!m_header)
        m_header = new ModeHeaderSection(mode);
    m_header->setMode(mode);

    if (m_selection && m_selection->annotation() != selected)
        drop(m_selection);
    if (selected && !m_selection)
        m_selection = new SelectionSection(e, selected);

    const bool wantsToolStyle = !selected && mode == EditorMode::annotate;
    if (m_toolStyle && (!wantsToolStyle || m_toolStyle->tool() != e->tool()))
        drop(m_toolStyle);
    if (wantsToolStyle && !m_toolStyle)
        m_toolStyle = new ToolStyleSection(e, e->tool());

    if (mode != EditorMode::sign)
        drop(m_signatures);
    else if (!m_signatures)
        m_signatures = new SignaturesSection(e, m_store ? m_store : &signatures::SignatureStore::shared());

    if (mode != EditorMode::redact)
        drop(m_redaction);
    else if (!m_redaction)
        m_redaction = new RedactionSection(e);

    if (!m_document)
        m_document = new DocumentSection(e);

    // Re-stack in the fixed order; the stretch stays last.
    const QList<QWidget*> order{m_header, m_selection, m_toolStyle, m_signatures, m_redaction, m_document};
    int position = 0;
    for (QWidget* section : order) {
        if (!section)
            continue;
        const int at = m_column->indexOf(section);
        if (at != position) {
            if (at >= 0)
                m_column->removeWidget(section);
            m_column->insertWidget(position, section);
        }
        section->show();
        ++position;
    }
}

} // namespace vmk::panels
