#pragma once

#include "platform/host/GammaRamp.h"

#include <QByteArray>
#include <QString>

#include <optional>

struct xcb_connection_t;

namespace qv::test {

// What a test does to an X server's outputs as another client would: reads and sets the
// gamma ramp of the CRTC an output drives, publishes an EDID. Plain xcb, no Qt event loop.
class RandrClient {
public:
    // Connects to the display (empty: $DISPLAY); check isConnected().
    explicit RandrClient(const QString &display = {});
    ~RandrClient();
    RandrClient(const RandrClient &) = delete;
    RandrClient &operator=(const RandrClient &) = delete;

    bool isConnected() const { return m_connection != nullptr; }

    // The output's id, 0 when there is none of that name.
    quint32 output(const QString &name);
    // The CRTC that drives the output, 0 when it is off.
    quint32 crtcOf(const QString &output);
    // The names of the outputs that drive a CRTC, in the server's order.
    QStringList litOutputs();
    std::optional<GammaRamp> ramp(const QString &output);
    bool setRamp(const QString &output, const GammaRamp &ramp);
    // Sets the output's "EDID" property (INTEGER, format 8), as a driver does after a probe;
    // an empty one deletes it.
    bool publishEdid(const QString &output, const QByteArray &edid);

private:
    xcb_connection_t *m_connection = nullptr;
    quint32 m_root = 0;
};

// A ramp unlike the identity and unlike another seed's, for a CRTC's starting state: each
// channel its own curve and ceiling.
GammaRamp startingRamp(int seed, int size);

// Whether two ramps agree within one 16-bit step at every entry.
bool nearlyEqual(const GammaRamp &a, const GammaRamp &b);

} // namespace qv::test
