#include "signatures/SignaturePlacing.h"

#include "editor/Editor.h"

#include <QPointer>

namespace vmk::signatures {

SignaturePlacement placementFor(const SavedSignature& signature)
{
    return {signature.pdfData, signature.image, signature.aspectRatio};
}

SignatureEditorView* presentSignatureEditor(QWidget* window, Editor* editor)
{
    const QPointer<Editor> target(editor);
    return SignatureEditorView::present(window, [target](const SavedSignature& signature) {
        if (target)
            target->addSignature(placementFor(signature));
    });
}

} // namespace vmk::signatures
