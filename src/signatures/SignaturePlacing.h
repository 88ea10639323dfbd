#pragma once

#include "editor/EditorTypes.h"
#include "signatures/SavedSignature.h"
#include "signatures/SignatureEditorView.h"

class QWidget;

namespace vmk {
class Editor;
}

namespace vmk::signatures {

// What the editor needs of a saved signature to place it on a page.
SignaturePlacement placementFor(const SavedSignature& signature);

// Opens the "New Signature" sheet on `window`; a saved signature is placed through `editor` (nothing
// happens if the editor is gone by then).
SignatureEditorView* presentSignatureEditor(QWidget* window, Editor* editor);

} // namespace vmk::signatures
