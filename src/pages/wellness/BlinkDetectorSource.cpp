#include "pages/wellness/BlinkPageModel.h"

namespace qv {

std::unique_ptr<BlinkSource> makeDetectorBlinkSource()
{
    return std::make_unique<HeldBlinkSource>();
}

} // namespace qv
