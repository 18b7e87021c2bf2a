#pragma once

#include <QString>
#include <QVariant>

namespace qv {

// The application bundle's information dictionary ("CFBundleShortVersionString",
// "CFBundleVersion", "SUFeedURL", ...) and the operating system's version text.
class Bundle {
public:
    virtual ~Bundle() = default;
    // The value stored under key; an invalid QVariant when the key is missing.
    virtual QVariant infoValue(const QString &key) = 0;
    // The human-readable version text of the system, naming both version and build
    // ("Version 14.5 (Build 23F79)").
    virtual QString operatingSystemVersionString() = 0;
};

} // namespace qv
