#include "platform/host/NoGamma.h"

namespace qv::host {

NoGamma::NoGamma(QString reason, std::unique_ptr<GammaMethod> outputs, QObject *parent)
    : GammaMethod(parent), m_reason(std::move(reason)), m_outputs(std::move(outputs))
{
    if (m_outputs)
        connect(m_outputs.get(), &GammaMethod::layoutChanged, this, &GammaMethod::layoutChanged);
}

NoGamma::~NoGamma() = default;

GammaMethod::Layout NoGamma::layout() const
{
    // The outputs without their ramps: none of them can be set.
    Layout layout;
    if (m_outputs)
        layout.outputs = m_outputs->layout().outputs;
    return layout;
}

void NoGamma::refresh()
{
    if (m_outputs)
        m_outputs->refresh();
}

} // namespace qv::host
