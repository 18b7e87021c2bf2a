#include "design/ScrollExtent.h"

#include <algorithm>
#include <cmath>

namespace qv::design {

void ScrollExtent::setView(double view)
{
    if (view == m_view)
        return;
    m_view = view;
    emit changed();
}

void ScrollExtent::setNeeded(double needed)
{
    if (needed == m_needed)
        return;
    m_needed = needed;
    emit changed();
}

double ScrollExtent::content() const
{
    return std::max(m_view, std::ceil(m_needed));
}

bool ScrollExtent::scrolls() const
{
    return content() > m_view;
}

} // namespace qv::design
