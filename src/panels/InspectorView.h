#pragma once

#include "platform/pdf/document/PdfTypes.h"

#include <QPointer>
#include <QScrollArea>

class QVBoxLayout;

namespace vmk {
class Editor;
}
namespace vmk::signatures {
class SignatureStore;
}

namespace vmk::panels {

class DocumentSection;
class ModeHeaderSection;
class RedactionSection;
class SelectionSection;
class SignaturesSection;
class ToolStyleSection;

// The right-hand panel of a document window: the mode header; the selected annotation's section (any
// mode) or, in Annotate mode with nothing selected, the current tool's style; the saved signatures in
// Sign mode; the redaction action in Redact mode; and always the document section. Sections come and go
// with the Editor's state; a newly selected annotation always gets a fresh section.
class InspectorView : public QScrollArea {
    Q_OBJECT
public:
    // store: the signatures listed in Sign mode; the process's shared store when null.
    explicit InspectorView(Editor* editor, signatures::SignatureStore* store = nullptr, QWidget* parent = nullptr);

    ModeHeaderSection* modeHeader() const { return m_header; }
    SelectionSection* selectionSection() const { return m_selection; }
    ToolStyleSection* toolStyleSection() const { return m_toolStyle; }
    SignaturesSection* signaturesSection() const { return m_signatures; }
    RedactionSection* redactionSection() const { return m_redaction; }
    DocumentSection* documentSection() const { return m_document; }
    // The sections shown, top to bottom.
    QList<QWidget*> sections() const;

private:
    void layoutSections();
    template <typename T>
    void drop(T*& section);

    QPointer<Editor> m_editor;
    signatures::SignatureStore* m_store;
    QVBoxLayout* m_column;
    ModeHeaderSection* m_header = nullptr;
    SelectionSection* m_selection = nullptr;
    ToolStyleSection* m_toolStyle = nullptr;
    SignaturesSection* m_signatures = nullptr;
    RedactionSection* m_redaction = nullptr;
    DocumentSection* m_document = nullptr;
};

} // namespace vmk::panels
