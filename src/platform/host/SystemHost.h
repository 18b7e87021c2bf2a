#pragma once

#include "platform/Host.h"

namespace qv {

// The computer this runs on: the processor's model name from the kernel's CPU list and
// the computer's name (the pretty host name, else the DMI product name, else the host
// name). The files are read from a root folder that tests may choose.
class SystemHost final : public Host {
public:
    explicit SystemHost(QString root = QStringLiteral("/"));

    std::optional<QString> processorBrandString() override;
    std::optional<QString> localizedHostName() override;

    // The DMI product name ("ThinkPad X1 Carbon Gen 9"); nothing when unknown.
    std::optional<QString> productName() const;

private:
    QString m_root;
};

} // namespace qv
