#include "panels/SignatureSheet.h"

#include "editor/Editor.h"
#include "signatures/SignatureEditorView.h"

#include <QPointer>

namespace vmk::panels {

SignaturePlacement signaturePlacement(const signatures::SavedSignature& signature)
{
    return {signature.pdfData, signature.image, signature.aspectRatio};
}

void presentSignatureSheet(Editor* editor)
{
    if (!editor || !editor->windowController())
        return;
    QWidget* window = editor->windowController()->window();
    if (!window)
        return;
    const QPointer<Editor> target(editor);
    signatures::SignatureEditorView::present(window, [target](const signatures::SavedSignature& signature) {
        // The window may have closed while the sheet was open.
        if (target)
            target->addSignature(signaturePlacement(signature));
    });
}

} // namespace vmk::panels
