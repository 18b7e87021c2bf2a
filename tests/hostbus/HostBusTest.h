#pragma once

#include "PrivateBus.h"
#include "platform/host/HostAmbientLight.h"
#include "platform/host/HostIdle.h"
#include "platform/host/PortalAppearance.h"
#include "support/TestEnvironment.h"

#include <QTemporaryDir>

#include <memory>

// The services the tests start, by name and object path.
inline const QString kUPower = QStringLiteral("org.freedesktop.UPower");
inline const QString kUPowerPath = QStringLiteral("/org/freedesktop/UPower");
inline const QString kDisplayDevice = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
inline const QString kMock = QStringLiteral("org.freedesktop.DBus.Mock");
inline const QString kPortal = QString::fromLatin1(qv::PortalAppearance::kService);
inline const QString kProxy = QString::fromLatin1(qv::HostAmbientLight::kService);
inline const QString kMonitor = QString::fromLatin1(qv::HostIdle::kIdleMonitorService);

namespace qv::test {

// A model test whose machine gets host back-ends on a private bus of its own.
class HostBusTest : public QvTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes text into a file under root (folders made as needed).
    static void writeFile(const QString &root, const QString &relativePath, const QString &text);

    std::unique_ptr<PrivateBus> bus;
    QTemporaryDir sysfs; // stands in for the kernel's folders
};

} // namespace qv::test
