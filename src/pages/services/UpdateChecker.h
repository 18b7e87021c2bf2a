#pragma once

#include <QObject>
#include <QString>

namespace qv {

// The application's update check as the pages show it: whether a check runs, its
// one-line outcome, and the action of the update button. The application's updater
// implements it.
class UpdateChecker : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // True when there is no release feed of our own (a developer build).
    virtual bool usesPlaceholderFeed() const = 0;
    // Whether a check started by the user may begin now.
    virtual bool canCheckForUpdates() const = 0;
    virtual bool isCheckingFeed() const = 0;
    virtual QString updateCheckMessage() const = 0;
    // Nothing while a check runs; otherwise starts one.
    virtual void checkForUpdates() = 0;

signals:
    void isCheckingFeedChanged();
    void updateCheckMessageChanged();
    void canCheckForUpdatesChanged();
};

} // namespace qv
