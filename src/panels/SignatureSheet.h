#pragma once

#include "editor/EditorTypes.h"
#include "signatures/SavedSignature.h"

namespace vmk {
class Editor;
}

namespace vmk::panels {

// What the Editor is given to place a saved signature.
SignaturePlacement signaturePlacement(const signatures::SavedSignature& signature);

// Presents the "New Signature" sheet on the Editor's window; a signature saved there is stored and placed
// on the current page. Nothing happens without a window behind the Editor. The app's New Signature
// command and the sign bar share it.
void presentSignatureSheet(Editor* editor);

} // namespace vmk::panels
