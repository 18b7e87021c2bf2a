#pragma once

#include "platform/Bundle.h"
#include "platform/Updater.h"

#include <QVariantMap>

namespace qv {

// The simulated application bundle: an information dictionary tests edit freely. A
// development build: the project's version (applicationVersion()), build "1" and no
// "SUFeedURL".
class SimBundle final : public Bundle {
public:
    SimBundle();

    QVariant infoValue(const QString &key) override { return m_info.value(key); }
    QString operatingSystemVersionString() override { return m_systemVersion; }

    // An invalid value removes the key.
    void setInfoValue(const QString &key, const QVariant &value);
    void setOperatingSystemVersionString(const QString &text) { m_systemVersion = text; }

private:
    QVariantMap m_info;
    QString m_systemVersion = QStringLiteral("Version 14.5 (Build 23F79)");
};

// The simulated update framework: records whether it was started and every check asked
// for; tests decide whether a check may start.
class SimUpdater final : public Updater {
public:
    void start() override { m_started = true; }
    bool canCheckForUpdates() override { return m_started && m_allowsChecks; }
    void checkForUpdates() override;
    void setCanCheckObserver(std::function<void()> observer) override { m_observer = std::move(observer); }

    bool isStarted() const { return m_started; }
    // Whether a started updater lets a check begin (true unless changed).
    void setAllowsChecks(bool allows);
    int checkCount() const { return m_checks; }

private:
    bool m_started = false;
    bool m_allowsChecks = true;
    int m_checks = 0;
    std::function<void()> m_observer;
};

} // namespace qv
