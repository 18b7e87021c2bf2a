#pragma once

namespace qv {

// The user's idle time: seconds since the last input event of any kind (keyboard, mouse,
// trackpad) in the combined session state.
class Idle {
public:
    virtual ~Idle() = default;
    virtual double secondsSinceLastInputEvent() = 0;
};

} // namespace qv
