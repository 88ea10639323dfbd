#include "views/LinkOpening.h"

#include "platform/services/PlainText.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrlQuery>

namespace vmk::views {

namespace {

LinkOpeningHooks& hooks()
{
    static LinkOpeningHooks h;
    return h;
}

// A script in a link can run to pages; the notice shows its start.
QString shownTarget(const QUrl& url)
{
    constexpr int kMost = 300;
    const QString text = linkTargetText(url);
    return text.size() <= kMost ? text : text.left(kMost) + QStringLiteral("…");
}

void tellRefused(QWidget* parent, const QUrl& url)
{
    if (!parent)
        return;
    // On the document's window, without holding anything up.
    auto* box = new QMessageBox(parent->window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(QApplication::applicationName());
    box->setText(QStringLiteral("This link wasn’t opened."));
    box->setInformativeText(QStringLiteral("It leads to “%1”, which isn’t a web page or an email address. Links like "
                                           "this could open files or start programs on your computer.")
                                .arg(shownTarget(url)));
    platform::makePlain(*box);
    box->setStandardButtons(QMessageBox::Ok);
    box->open();
}

} // namespace

LinkKind linkKind(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty())
        return LinkKind::web;
    if (scheme == QLatin1String("mailto"))
        return LinkKind::mail;
    return LinkKind::other;
}

QString linkTargetText(const QUrl& url)
{
    if (url.isLocalFile())
        return url.toLocalFile();
    if (linkKind(url) == LinkKind::mail)
        return url.path();
    return url.toDisplayString(QUrl::RemovePassword);
}

QUrl mailLinkToOpen(const QUrl& url)
{
    static const QStringList kept = {"to", "cc", "bcc", "subject", "body", "in-reply-to"};
    QUrlQuery query(url);
    QUrlQuery safe;
    for (const auto& [key, value] : query.queryItems(QUrl::FullyEncoded))
        if (kept.contains(QUrl::fromPercentEncoding(key.toUtf8()).toLower()))
            safe.addQueryItem(key, value);
    QUrl out(url);
    if (safe.isEmpty())
        out.setQuery(QString());
    else
        out.setQuery(safe);
    return out;
}

bool openExternalLink(QWidget* parent, const QUrl& url)
{
    if (!url.isValid() || url.scheme().isEmpty())
        return false;
    const LinkKind kind = linkKind(url);
    if (kind == LinkKind::other) {
        if (hooks().refused)
            hooks().refused(parent, url);
        else
            tellRefused(parent, url);
        return false;
    }
    const QUrl target = kind == LinkKind::mail ? mailLinkToOpen(url) : url;
    return hooks().open ? hooks().open(target) : QDesktopServices::openUrl(target);
}

void setLinkOpeningHooks(LinkOpeningHooks h)
{
    hooks() = std::move(h);
}

} // namespace vmk::views
