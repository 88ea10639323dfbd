#pragma once

#include "platform/services/Secrets.h"

#include <QString>

#include <optional>

namespace vmk::core {

// The passwords written on the next save. Without an owner password the user password serves as the
// owner password too.
struct Protection {
    QString userPassword;
    std::optional<QString> ownerPassword;

    QString effectiveOwnerPassword() const { return ownerPassword.value_or(userPassword); }

    // Copies share the strings' buffers: the last copy to go overwrites the passwords.
    ~Protection()
    {
        platform::overwrite(userPassword);
        if (ownerPassword)
            platform::overwrite(*ownerPassword);
    }

    friend bool operator==(const Protection&, const Protection&) = default;
};

} // namespace vmk::core
