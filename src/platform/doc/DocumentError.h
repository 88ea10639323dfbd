#pragma once

#include <QString>

#include <optional>

namespace vmk::platform {

// A failure handed to the document machinery: a numeric code the controller can act on (3072 means the
// user cancelled and is never shown), the message shown to the user and an optional recovery suggestion.
struct DocumentError {
    // The codes follow the conventional file-error numbering so callers can keep to the familiar meanings.
    enum Code : int {
        FileReadUnknown = 256,
        FileReadNoPermission = 257,
        FileReadCorruptFile = 259,     // the file can't be read as a document
        FileReadNoSuchFile = 260,
        FileWriteUnknown = 512,        // a write or its verification failed
        FileWriteNoPermission = 513,   // a write was refused
        UserCancelled = 3072,
        FeatureUnsupported = 3328,     // e.g. "can't print right now"
    };

    int code = FileReadUnknown;
    QString message;
    QString recoverySuggestion;

    bool isCancel() const { return code == UserCancelled; }
    // The text the welcome window shows for a failure: the suggestion when there is one, else the message.
    QString suggestionOrMessage() const { return recoverySuggestion.isEmpty() ? message : recoverySuggestion; }

    static DocumentError cancelled() { return {UserCancelled, {}, {}}; }

    friend bool operator==(const DocumentError&, const DocumentError&) = default;
};

// Document entry points return no value on success and the error otherwise.
using MaybeError = std::optional<DocumentError>;

} // namespace vmk::platform
