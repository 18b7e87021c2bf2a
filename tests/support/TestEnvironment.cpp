#include "support/TestEnvironment.h"

#include "platform/Platform.h"
#include "runtime/Files.h"
#include "runtime/Shared.h"

namespace qv::test {

void QvTest::SetUp()
{
    dir = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(dir->isValid());
    files::setRootOverride(dir->path());
    clock = std::make_unique<VirtualScheduler>();
    Scheduler::setCurrent(clock.get());
    defaults = std::make_unique<UserDefaults>(UserDefaults::defaultFilePath());
    UserDefaults::setStandard(defaults.get());
    mac = SimulatedMac::standard();
    installSimulatedMac(mac.get());
    logs = std::make_unique<LogCapture>();
}

void QvTest::TearDown()
{
    resetSharedInstances();
    logs.reset();
    installSimulatedMac(nullptr);
    mac.reset();
    UserDefaults::setStandard(nullptr);
    defaults.reset();
    Scheduler::setCurrent(nullptr);
    clock.reset();
    files::setRootOverride(QString());
    dir.reset();
}

void QvTest::useMachine(std::unique_ptr<SimulatedMac> machine)
{
    resetSharedInstances();
    mac = std::move(machine);
    installSimulatedMac(mac.get());
}

void QvTest::restart()
{
    resetSharedInstances();
    reloadDefaults();
}

void QvTest::reloadDefaults()
{
    defaults->sync();
    UserDefaults::setStandard(nullptr);
    defaults = std::make_unique<UserDefaults>(UserDefaults::defaultFilePath());
    UserDefaults::setStandard(defaults.get());
}

} // namespace qv::test
