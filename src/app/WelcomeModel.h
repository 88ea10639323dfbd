#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

namespace vmk::app {

// What the welcome window's drop zone shows and how it reacts, without any widget.
struct WelcomeFailure {
    QString name;
    QString message;
    friend bool operator==(const WelcomeFailure&, const WelcomeFailure&) = default;
};

class WelcomeModel {
public:
    const std::optional<WelcomeFailure>& failure() const { return m_failure; }
    bool targeted() const { return m_targeted; }
    double shakes() const { return m_shakes; }
    bool badgeIn() const { return m_badgeIn; }

    // A "Vellumark.openFailed" notification: missing or non-text values fall back to "This file" and
    // "It couldn’t be opened.". Answers whether a shake should play (not under reduced motion).
    bool handleOpenFailed(const QVariantMap& userInfo, bool reduceMotion);
    // A drag with files enters (true) or leaves (false); entering clears a failure on show.
    void setTargeted(bool targeted);
    // A click on the zone: answers whether the open panel should show (not while a failure shows).
    bool dropZoneTapped() const { return !m_failure.has_value(); }
    // "Try Another File…": the failure goes and the open panel follows.
    void tryAnotherFile() { m_failure.reset(); }
    void setBadgeIn(bool in) { m_badgeIn = in; }

    // The prompt's texts for the current state.
    QString promptSymbol() const;
    QString promptTitle() const;
    QString promptDetail() const;

private:
    std::optional<WelcomeFailure> m_failure;
    bool m_targeted = false;
    double m_shakes = 0;
    bool m_badgeIn = false;
};

// The folder shown under a recent file's name: the home folder's path becomes "~".
QString recentFolderText(const QString& filePath, const QString& homePath);
// The file name without its (last) extension.
QString recentNameText(const QString& filePath);

} // namespace vmk::app
