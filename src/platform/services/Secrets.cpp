#include "platform/services/Secrets.h"

#include <cstring>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <type_traits>

namespace vmk::platform {

namespace {

template <typename String>
bool overwriteBuffer(String& secret)
{
    auto& d = secret.data_ptr();
    // Literals and raw data have no buffer of their own; a buffer another string holds is theirs too.
    if (d.isShared())
        return false;
    using Unit = std::remove_pointer_t<decltype(d.data())>;
    wipeBytes(d.data() - d.freeSpaceAtBegin(), std::size_t(d.allocatedCapacity()) * sizeof(Unit));
    return true;
}

} // namespace

void keepProcessMemoryPrivate()
{
    // The limit alone is not enough: a crash handler the system pipes core dumps to may ignore it.
    const rlimit none = {0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

void wipeBytes(void* data, std::size_t size)
{
    if (data && size)
        ::explicit_bzero(data, size);
}

bool overwrite(QString& secret) { return overwriteBuffer(secret); }
bool overwrite(QByteArray& secret) { return overwriteBuffer(secret); }

void wipe(QString& secret)
{
    overwrite(secret);
    secret = QString();
}

void wipe(QByteArray& secret)
{
    overwrite(secret);
    secret = QByteArray();
}

void wipe(std::optional<QString>& secret)
{
    if (secret)
        wipe(*secret);
    secret.reset();
}

QString ownedCopy(const QString& secret) { return QString(secret.constData(), secret.size()); }
QByteArray ownedCopy(const QByteArray& secret) { return QByteArray(secret.constData(), secret.size()); }

std::optional<QString> ownedCopy(const std::optional<QString>& secret)
{
    if (!secret)
        return std::nullopt;
    return ownedCopy(*secret);
}

} // namespace vmk::platform
