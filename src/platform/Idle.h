#pragma once

#include <QObject>

namespace qv {

// The user's idle time: seconds since the last input event of any kind (keyboard, mouse,
// trackpad) in the combined session state. The source tells when the user goes idle and
// comes back; the idle time is answered from what it last told, without asking it again.
class Idle : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual double secondsSinceLastInputEvent() const = 0;

signals:
    // The user has gone idle, or the source told another moment of the last input (a
    // longer or shorter idle time than the time gone by gives).
    void idleStarted();
    // Input again after idleStarted: the user is present.
    void resumed();
};

} // namespace qv
