#include "HostBusTest.h"
#include "support/MissingTool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qv::test {

void HostBusTest::SetUp()
{
    QvTest::SetUp();
    static const bool available = PrivateBus::mockAvailable();
    if (!available)
        QV_SKIP_WITHOUT("python3-dbusmock is not installed");
    bus = std::make_unique<PrivateBus>();
    ASSERT_TRUE(bus->isRunning()) << "the private bus did not start";
}

void HostBusTest::TearDown()
{
    bus.reset();
    QvTest::TearDown();
}

void HostBusTest::writeFile(const QString &root, const QString &relativePath, const QString &text)
{
    const QString path = QDir(root).filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

} // namespace qv::test
