#include "editor/Editor.h"

#include "core/VMKDocument.h"
#include "platform/doc/UndoManager.h"
#include "platform/pdf/Document.h"

namespace vmk {

bool Editor::isPasswordProtected() const
{
    if (!m_document || m_document->removesEncryption())
        return false;
    if (m_document->protection())
        return true;
    return m_document->pdf() && m_document->pdf()->isEncrypted();
}

void Editor::passwordProtect(const QString& userPassword, const std::optional<QString>& ownerPassword)
{
    if (!m_document)
        return;
    const std::optional<core::Protection> previous = m_document->protection();
    const bool previousRemoves = m_document->removesEncryption();
    m_document->setProtection(core::Protection{userPassword, ownerPassword});
    m_document->setRemovesEncryption(false);
    registerUndo(QStringLiteral("Password Protect"),
                 [this, previous, previousRemoves] { setProtection(previous, previousRemoves); });
    bumpDocumentVersion();
    showToast(QStringLiteral("Locked. Don\u2019t forget the password; nobody can recover it."), QStringLiteral("lock.fill"),
              Toast::Style::info);
}

void Editor::removePassword()
{
    if (!m_document || !isPasswordProtected() || pdfDocument()->isLocked())
        return;
    const std::optional<core::Protection> previous = m_document->protection();
    const bool previousRemoves = m_document->removesEncryption();
    m_document->setProtection(std::nullopt);
    m_document->setRemovesEncryption(true);
    registerUndo(QStringLiteral("Remove Password"),
                 [this, previous, previousRemoves] { setProtection(previous, previousRemoves); });
    bumpDocumentVersion();
    showToast(QStringLiteral("Password removed. Opens for anyone now."), QStringLiteral("lock.open.fill"),
              Toast::Style::info);
}

void Editor::setProtection(const std::optional<core::Protection>& protection, bool removesEncryption)
{
    // Registers nothing in turn: an undone protection or removal is not offered for redo.
    if (m_document) {
        m_document->setProtection(protection);
        m_document->setRemovesEncryption(removesEncryption);
    }
    bumpDocumentVersion();
}

} // namespace vmk
