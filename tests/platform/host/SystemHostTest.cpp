#include "platform/host/SystemHost.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv {
namespace {

void put(const QTemporaryDir &root, const QString &path, const QByteArray &bytes)
{
    const QString full = root.filePath(path);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(SystemHost, TheProcessorIsTheFirstModelNameOfTheCpuList)
{
    const struct {
        const char *what;
        QByteArray cpuinfo;
        std::optional<QString> brand;
    } cases[] = {
        {"x86", "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Core(TM) i7-1165G7 @ 2.80GHz\n"
                "processor\t: 1\nmodel name\t: Intel(R) Core(TM) i7-1165G7 @ 2.80GHz\n",
         QStringLiteral("Intel(R) Core(TM) i7-1165G7 @ 2.80GHz")},
        {"ARM board", "processor\t: 0\nBogoMIPS\t: 108.00\n\nModel\t\t: Raspberry Pi 4 Model B Rev 1.4\n",
         QStringLiteral("Raspberry Pi 4 Model B Rev 1.4")},
        {"no model", "processor\t: 0\nflags\t: fpu\n", std::nullopt},
        {"empty value", "model name\t:   \n", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir root;
        put(root, QStringLiteral("proc/cpuinfo"), c.cpuinfo);
        EXPECT_EQ(SystemHost(root.path()).processorBrandString(), c.brand);
    }
    QTemporaryDir empty;
    EXPECT_EQ(SystemHost(empty.path()).processorBrandString(), std::nullopt);
}

TEST(SystemHost, TheNameIsThePrettyHostNameElseTheProduct)
{
    QTemporaryDir root;
    // Firmware placeholders are not names.
    put(root, QStringLiteral("sys/class/dmi/id/product_name"), "To be filled by O.E.M.\n");
    EXPECT_EQ(SystemHost(root.path()).productName(), std::nullopt);
    EXPECT_EQ(SystemHost(root.path()).localizedHostName(), std::nullopt) << "the network's host name is no name";

    put(root, QStringLiteral("sys/class/dmi/id/product_name"), "ThinkPad X1 Carbon Gen 9\n");
    EXPECT_EQ(SystemHost(root.path()).localizedHostName(), QStringLiteral("ThinkPad X1 Carbon Gen 9"));

    put(root, QStringLiteral("etc/machine-info"), "CHASSIS=laptop\nPRETTY_HOSTNAME=\"Ada's Laptop\"\n");
    EXPECT_EQ(SystemHost(root.path()).localizedHostName(), QStringLiteral("Ada's Laptop"));
}

TEST(SystemHost, TheSystemVersionIsTheDistributionWithTheKernelRelease)
{
    const struct {
        const char *what;
        const char *etc;
        const char *vendor;
        const char *kernel;
        const char *version;
    } cases[] = {
        {"Debian", "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", nullptr,
         "6.1.0-18-amd64\n", "Debian GNU/Linux 12 (bookworm) (Kernel 6.1.0-18-amd64)"},
        {"single quotes, the vendor's file aside", "PRETTY_NAME='Fedora Linux 40'\n", "PRETTY_NAME=Other\n", "6.8.5",
         "Fedora Linux 40 (Kernel 6.8.5)"},
        {"only the vendor's file", nullptr, "PRETTY_NAME=Arch\\ Linux\n", "6.9.1-arch1-1\n", "Arch Linux (Kernel 6.9.1-arch1-1)"},
        {"no name", "NAME=Gentoo\n", nullptr, "6.6.30\n", "Linux (Kernel 6.6.30)"},
        {"nothing at all", nullptr, nullptr, nullptr, "Linux"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir root;
        if (c.etc)
            put(root, QStringLiteral("etc/os-release"), c.etc);
        if (c.vendor)
            put(root, QStringLiteral("usr/lib/os-release"), c.vendor);
        if (c.kernel)
            put(root, QStringLiteral("proc/sys/kernel/osrelease"), c.kernel);
        EXPECT_EQ(SystemHost(root.path()).operatingSystemVersionString(), QString::fromUtf8(c.version));
    }
    // The feedback record takes the host's version, the application's information as given.
    SystemHost system;
    HostBundle bundle(nullptr, system);
    EXPECT_TRUE(bundle.operatingSystemVersionString().contains(QSysInfo::kernelVersion()));
    EXPECT_FALSE(bundle.infoValue(QStringLiteral("CFBundleVersion")).isValid());
}

} // namespace
} // namespace qv
