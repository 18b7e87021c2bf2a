#pragma once

#include "platform/sim/SimulatedMac.h"
#include "runtime/Scheduler.h"
#include "runtime/UserDefaults.h"
#include "support/LogCapture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace qv::test {

// The default machine's two displays.
inline constexpr DisplayId kBuiltIn = 1;  // "Built-in Liquid Retina XDR Display": mini-LED class
inline constexpr DisplayId kExternal = 2; // "DELL U2723QE": ordinary

// The ground every model test stands on: virtual time, a fresh simulated Mac (the
// built-in machine unless a test swaps it), a defaults store and data folder of its own,
// a log capture, and fresh shared instances.
class QvTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Replaces the machine (e.g. with SimulatedMac::empty()); shared instances created
    // so far are discarded first.
    void useMachine(std::unique_ptr<SimulatedMac> machine);
    // Starts shared instances afresh (simulates a restart, keeping the stored files).
    void restart();
    // Re-creates the defaults store from its file, as a new launch reads it.
    void reloadDefaults();

    // Moves virtual time (ms) and runs what falls due.
    void advance(qint64 ms) { clock->advance(ms); }
    void runPending() { clock->runPending(); }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<VirtualScheduler> clock;
    std::unique_ptr<SimulatedMac> mac;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<LogCapture> logs;
};

} // namespace qv::test
