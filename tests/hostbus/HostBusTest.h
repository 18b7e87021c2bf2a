#pragma once

#include "PrivateBus.h"
#include "support/TestEnvironment.h"

#include <QTemporaryDir>

#include <memory>

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
