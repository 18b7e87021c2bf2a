#pragma once

#include <QString>

#include <optional>

namespace qv {

class Host {
public:
    virtual ~Host() = default;
    // "machdep.cpu.brand_string"; nothing when unavailable.
    virtual std::optional<QString> processorBrandString() = 0;
    // The computer's localised name; nothing when unavailable.
    virtual std::optional<QString> localizedHostName() = 0;
};

} // namespace qv
