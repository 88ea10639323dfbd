#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

namespace vmk::views {

// What a link in a document leads to, as far as leaving the application goes: web pages and mail
// open in the desktop's own handlers at once; anything else (files, programs, other schemes) could
// run or open something on this computer and is opened only after the user agrees.
enum class LinkKind { web, mail, other };

LinkKind linkKind(const QUrl& url);

// The target as shown to the user: the address of a mail link, the path of a file, else the URL
// without any password.
QString linkTargetText(const QUrl& url);

// Opens a link the user followed. Returns whether it was handed to the desktop.
bool openExternalLink(QWidget* parent, const QUrl& url);

// The two steps that reach outside, replaceable for tests: asking (true = open) and opening.
struct LinkOpeningHooks {
    std::function<bool(QWidget* parent, const QUrl& url)> confirm;
    std::function<bool(const QUrl& url)> open;
};
void setLinkOpeningHooks(LinkOpeningHooks hooks);

} // namespace vmk::views
