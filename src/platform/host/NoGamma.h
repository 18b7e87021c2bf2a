#pragma once

#include "platform/host/GammaMethod.h"

#include <memory>

namespace qv::host {

// No way to set the screens' gamma ramps: a Wayland session whose compositor offers none an
// application can reach. The outputs are those another method lists where there is one
// (RandR over XWayland, whose ramps do not reach the screens); every write is refused with
// the reason, and nothing is kept, as nothing is changed.
class NoGamma final : public GammaMethod {
    Q_OBJECT
public:
    NoGamma(QString reason, std::unique_ptr<GammaMethod> outputs, QObject *parent = nullptr);
    ~NoGamma() override;

    QString methodName() const override { return QStringLiteral("none"); }
    bool isNone() const override { return true; }
    QString unavailableReason() const override { return m_reason; }
    Layout layout() const override;
    std::optional<GammaRamp> currentRamp(quint32) override { return std::nullopt; }
    Result writeRamp(quint32, const GammaRamp &) override { return {Status::gone, m_reason}; }
    bool compositorRestores() const override { return true; }
    void refresh() override;

private:
    QString m_reason;
    std::unique_ptr<GammaMethod> m_outputs;
};

} // namespace qv::host
