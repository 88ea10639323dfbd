#include "editor/Editor.h"

#include "core/VMKDocument.h"
#include "platform/doc/UndoManager.h"
#include "platform/pdf/document/Document.h"

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

bool Editor::removingPasswordNeedsOwner() const
{
    const pdf::DocumentPtr pdf = m_document ? m_document->pdf() : nullptr;
    return pdf && !pdf->hasOwnerRights();
}

void Editor::removePassword(const std::optional<QString>& ownerPassword)
{
    if (!m_document || !isPasswordProtected() || pdfDocument()->isLocked())
        return;
    if (removingPasswordNeedsOwner() && !(ownerPassword && pdfDocument()->provideOwnerPassword(*ownerPassword))) {
        showToast(ownerPassword ? QStringLiteral("That isn\u2019t the owner password. The password and its restrictions stay.")
                                : QStringLiteral("Removing the password needs the owner password."),
                  QStringLiteral("lock.fill"), Toast::Style::info);
        return;
    }
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

bool Editor::contentMayBeCopied()
{
    const pdf::DocumentPtr pdf = pdfDocument();
    if (!pdf || pdf->permits(pdf::Document::Permission::CopyContent))
        return true;
    showToast(QStringLiteral("The document’s owner doesn’t allow copying its content."), QStringLiteral("lock.fill"),
              Toast::Style::info);
    return false;
}

std::optional<core::Protection> Editor::protectionForDerivedDocument() const
{
    if (!m_document || !isPasswordProtected())
        return std::nullopt;
    if (m_document->protection())
        return m_document->protection();
    // Opened with a password: the new document asks for the same one. A file that opens without any
    // password has nothing to pass on.
    if (const auto password = m_document->unlockPassword(); password && !password->isEmpty())
        return core::Protection{*password, std::nullopt};
    return std::nullopt;
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
