#pragma once

#include <functional>
#include <memory>

namespace qv {

// Registry of the process-wide shared instances ("shared" in the models), so that tests
// can start every one afresh. Instances are created on first use and destroyed in the
// reverse order of creation by resetSharedInstances().
void registerSharedInstance(std::function<void()> destroy);
void resetSharedInstances();

// The usual shape of a shared() accessor:
//   DisplayTuning &DisplayTuning::shared() { return sharedInstance<DisplayTuning>(); }
template <typename T>
T &sharedInstance()
{
    static T *instance = nullptr;
    if (!instance) {
        instance = new T();
        registerSharedInstance([] {
            T *doomed = instance;
            instance = nullptr;
            delete doomed;
        });
    }
    return *instance;
}

} // namespace qv
