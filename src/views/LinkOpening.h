#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

namespace vmk::views {

// What a link in a document leads to, as far as leaving the application goes: only web pages and mail
// ever leave it, in the desktop's own handlers. Anything else (files, programs named by Launch and GoToR
// actions, javascript:, smb: and every other scheme) could open or run something on this computer and is
// refused, the user told where it led.
enum class LinkKind { web, mail, other };

LinkKind linkKind(const QUrl& url);

// The target as shown to the user: the address of a mail link, the path of a file, else the URL
// without any password.
QString linkTargetText(const QUrl& url);

// A mail link as handed to the desktop: only the fields of a message (to, cc, bcc, subject, body,
// in-reply-to) are kept; others, such as a file to attach, which some mail programs obey, are dropped.
QUrl mailLinkToOpen(const QUrl& url);

// Follows a link the user activated: web and mail links open; any other is refused with a notice on
// parent's window. Returns whether it was handed to the desktop.
bool openExternalLink(QWidget* parent, const QUrl& url);

// The two steps that reach outside, replaceable for tests: telling the user a link was refused, and opening.
struct LinkOpeningHooks {
    std::function<void(QWidget* parent, const QUrl& url)> refused;
    std::function<bool(const QUrl& url)> open;
};
void setLinkOpeningHooks(LinkOpeningHooks hooks);

} // namespace vmk::views
