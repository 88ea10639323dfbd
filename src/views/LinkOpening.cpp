#include "views/LinkOpening.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>

namespace vmk::views {

namespace {

LinkOpeningHooks& hooks()
{
    static LinkOpeningHooks h;
    return h;
}

bool askBeforeOpening(QWidget* parent, const QUrl& url)
{
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(QStringLiteral("Open Link"));
    box.setText(QStringLiteral("This link goes outside the document:\n%1").arg(linkTargetText(url)));
    box.setInformativeText(QStringLiteral("It is not a web page or an email address, so it may open a file or start a "
                                          "program on this computer. Open it only if you trust this document."));
    QPushButton* open = box.addButton(QStringLiteral("Open"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.exec();
    return box.clickedButton() == open;
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

bool openExternalLink(QWidget* parent, const QUrl& url)
{
    if (!url.isValid() || url.scheme().isEmpty())
        return false;
    if (linkKind(url) == LinkKind::other) {
        const bool agreed = hooks().confirm ? hooks().confirm(parent, url) : askBeforeOpening(parent, url);
        if (!agreed)
            return false;
    }
    return hooks().open ? hooks().open(url) : QDesktopServices::openUrl(url);
}

void setLinkOpeningHooks(LinkOpeningHooks h)
{
    hooks() = std::move(h);
}

} // namespace vmk::views
