// Owner rights and the carrying of one document's encryption over to another.

#include "platform/pdf/document/Document.h"

#include "platform/pdf/document/EncryptionCopy.h"
#include "platform/pdf/document/State.h"

namespace vmk::pdf {

using namespace detail;

namespace {

constexpr int kOwnerPassword = 4;

} // namespace

bool Document::hasOwnerRights() const
{
    if (!isEncrypted() || m_state->openedByOwner)
        return true;
    if (m_state->locked)
        return false;
    int result = 0;
    guarded(ctx(), [&] { result = checkPassword(ctx(), m_state->doc, QByteArray()); });
    return (result & kOwnerPassword) != 0;
}

bool Document::provideOwnerPassword(const QString& password)
{
    if (!isEncrypted())
        return true;
    if (m_state->locked)
        return false;
    int result = 0;
    if (!guarded(ctx(), [&] { result = checkPassword(ctx(), m_state->doc, password.toUtf8()); }))
        return false;
    if (!(result & kOwnerPassword))
        return false;
    m_state->openedByOwner = true;
    return true;
}

Status Document::adoptEncryptionOf(const Document& source)
{
    if (!source.isEncrypted() || source.isLocked())
        return Status::failure(QStringLiteral("The source is not an unlocked encrypted document."));
    if (isEncrypted() || m_state->locked)
        return Status::failure(QStringLiteral("The document is encrypted already."));
    bool adopted = false;
    QString error;
    if (!guarded(ctx(), [&] { adopted = adoptEncryption(ctx(), m_state->doc, source.state().doc, source.state().password); }, &error))
        return Status::failure(error);
    if (!adopted)
        return Status::failure(QStringLiteral("The source's password does not open its encryption."));
    return {};
}

} // namespace vmk::pdf
