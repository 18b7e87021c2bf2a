#pragma once

#include <functional>

namespace qv {

// The update framework's standard updater: once started it offers signed updates with
// its own windows. Callers only ask whether a check may start now and start one.
class Updater {
public:
    virtual ~Updater() = default;
    // Starts the updater with its standard user interface.
    virtual void start() = 0;
    // Whether a check started by the user may begin now (false before start(), and while
    // the framework is busy).
    virtual bool canCheckForUpdates() = 0;
    // A check started by the user; the framework carries on by itself.
    virtual void checkForUpdates() = 0;
    // Called whenever the answer of canCheckForUpdates() may have changed.
    virtual void setCanCheckObserver(std::function<void()> observer) = 0;
};

} // namespace qv
