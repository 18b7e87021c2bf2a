#include "runtime/Shared.h"

#include <vector>

namespace qv {

namespace {
std::vector<std::function<void()>> &destroyers()
{
    static std::vector<std::function<void()>> list;
    return list;
}
} // namespace

void registerSharedInstance(std::function<void()> destroy)
{
    destroyers().push_back(std::move(destroy));
}

void resetSharedInstances()
{
    auto &list = destroyers();
    while (!list.empty()) {
        auto destroy = std::move(list.back());
        list.pop_back();
        destroy();
    }
}

} // namespace qv
