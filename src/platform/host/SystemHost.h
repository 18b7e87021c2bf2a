#pragma once

#include "platform/Bundle.h"
#include "platform/Host.h"
#include "platform/MachineWords.h"

namespace qv {

// The computer this runs on: the processor's model name from the kernel's CPU list and
// the computer's name (the pretty host name, else the DMI product name; the network's
// host name is not one), and the system's version. The files are read from a root folder that tests may
// choose.
class SystemHost final : public Host {
public:
    explicit SystemHost(QString root = QStringLiteral("/"));

    std::optional<QString> processorBrandString() override;
    std::optional<QString> localizedHostName() override;

    // The DMI product name ("ThinkPad X1 Carbon Gen 9"); nothing when unknown.
    std::optional<QString> productName() const;
    // The distribution's name and version (os-release's PRETTY_NAME, else "Linux") with the
    // kernel release: "Debian GNU/Linux 12 (bookworm) (Kernel 6.1.0-18-amd64)".
    QString operatingSystemVersionString() const;

private:
    QString m_root;
};

// A Linux computer is a computer, and its command modifier is the Super key: hot keys
// are written in the desktop's key names. It has a panel with a tray where a Mac has its
// menu bar, a file manager for the Finder, and none of the Mac's display properties: the
// texts that speak of those say what holds here and what Quellvista does instead
// (HostMachineWords.cpp).
class HostMachineWords final : public MachineWords {
public:
    QString machine() const override { return QStringLiteral("computer"); }
    bool keysByName() const override { return true; }
    QString say(MacText text, const QString &onMac) const override;
};

// The application's bundle information as given, with the version of the system it runs
// on in place of the one given.
class HostBundle final : public Bundle {
public:
    HostBundle(Bundle *application, const SystemHost &system)
        : m_application(application), m_systemVersion(system.operatingSystemVersionString())
    {
    }

    QVariant infoValue(const QString &key) override { return m_application ? m_application->infoValue(key) : QVariant(); }
    QString operatingSystemVersionString() override { return m_systemVersion; }

private:
    Bundle *m_application;
    QString m_systemVersion;
};

} // namespace qv
