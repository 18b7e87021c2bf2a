#pragma once

#include "platform/sim/SimulatedMac.h"
#include "runtime/Scheduler.h"
#include "runtime/UserDefaults.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

// The ground every fuzz target stands on. The first input makes what lives for the
// process: a Qt application object, a scratch folder standing in for the data and
// configuration folders, and logging turned off (QV_FUZZ_LOG=1 keeps it). Each input then
// gets its own fresh world, undone when the scope ends: virtual time, the standard
// simulated Mac, an in-memory defaults store and an emptied scratch folder.
//
//     extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
//     {
//         qv::fuzz::InputScope input(data, size);
//         ... decode input.bytes(), use what came out ...
//         return 0;
//     }
namespace qv::fuzz {

class InputScope {
public:
    InputScope(const uint8_t *data, size_t size);
    ~InputScope();
    InputScope(const InputScope &) = delete;
    InputScope &operator=(const InputScope &) = delete;

    const QByteArray &bytes() const { return m_bytes; }
    // The input as it came, when it is a JSON object; an empty object otherwise.
    QJsonObject jsonObject() const;

    VirtualScheduler &clock() { return *m_clock; }
    SimulatedMac &mac() { return *m_mac; }
    UserDefaults &defaults() { return *m_defaults; }
    // Replaces the machine; shared instances made so far are discarded first.
    void useMachine(std::unique_ptr<SimulatedMac> machine);

    // Writes bytes to path (made of the scratch folder's paths, folders created) and returns it.
    static QString writeFile(const QString &path, const QByteArray &bytes);

private:
    QByteArray m_bytes;
    std::unique_ptr<VirtualScheduler> m_clock;
    std::unique_ptr<SimulatedMac> m_mac;
    std::unique_ptr<UserDefaults> m_defaults;
};

// A property every input must keep: when it does not hold, the input is reported as a
// crash with what was expected.
void require(bool holds, const char *what);

} // namespace qv::fuzz
