// Display reconfiguration on a real (virtual) X server: RandR events reach the screen
// detector, a burst gives one re-apply, and a display that comes back gets its formula.

#include "display/DisplayTuning.h"
#include "display/host/HostDisplayTest.h"
#include "support/MissingTool.h"
#include "support/XvfbServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>

using namespace qv;
using namespace qv::test;

namespace {

// Switches the X server's one CRTC off and on again, as unplugging and plugging back a
// display does, through a connection of its own.
class CrtcSwitch {
public:
    explicit CrtcSwitch(const QString &display) : m_c(xcb_connect(qPrintable(display), nullptr))
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        auto *res = xcb_randr_get_screen_resources_current_reply(m_c, xcb_randr_get_screen_resources_current(m_c, root),
                                                                 nullptr);
        m_crtc = xcb_randr_get_screen_resources_current_crtcs(res)[0];
        m_output = xcb_randr_get_screen_resources_current_outputs(res)[0];
        auto *info = xcb_randr_get_crtc_info_reply(m_c, xcb_randr_get_crtc_info(m_c, m_crtc, res->config_timestamp), nullptr);
        m_mode = info->mode;
        std::free(info);
        std::free(res);
    }
    ~CrtcSwitch() { xcb_disconnect(m_c); }

    // True when the server took it.
    bool set(bool on)
    {
        auto *reply = xcb_randr_set_crtc_config_reply(
            m_c,
            xcb_randr_set_crtc_config(m_c, m_crtc, XCB_CURRENT_TIME, XCB_CURRENT_TIME, 0, 0, on ? m_mode : XCB_NONE,
                                      XCB_RANDR_ROTATION_ROTATE_0, on ? 1 : 0, &m_output),
            nullptr);
        const bool ok = reply && reply->status == XCB_RANDR_SET_CONFIG_SUCCESS;
        std::free(reply);
        return ok;
    }

    // Writes a straight ramp, as a server that resets a CRTC it enables would.
    void straightenRamp()
    {
        auto *size = xcb_randr_get_crtc_gamma_size_reply(m_c, xcb_randr_get_crtc_gamma_size(m_c, m_crtc), nullptr);
        QList<quint16> ramp(size->size);
        for (int i = 0; i < size->size; ++i)
            ramp[i] = quint16(i * 65535 / (size->size - 1));
        // Checked, so that the server has taken it before anyone else looks.
        std::free(xcb_request_check(m_c, xcb_randr_set_crtc_gamma_checked(m_c, m_crtc, size->size, ramp.constData(),
                                                                         ramp.constData(), ramp.constData())));
        std::free(size);
    }

private:
    xcb_connection_t *m_c;
    xcb_randr_crtc_t m_crtc = 0;
    xcb_randr_output_t m_output = 0;
    xcb_randr_mode_t m_mode = 0;
};

class HostReconfigurationTest : public HostDisplayTest {
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        if (server.display().isEmpty())
            QV_SKIP_WITHOUT("Xvfb could not be started");
        openDisplays(server.display());
        randr->registerReconfigurationCallback([this](DisplayId, quint32 flags) { seen << flags; });
        runPending();
    }
    // Lets the X server's events arrive until the display is (or is not) active.
    bool waitForActive(bool active)
    {
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            if (randr->activeDisplays().isEmpty() != active)
                return true;
        }
        return false;
    }

    XvfbServer server;
    QList<quint32> seen;
};

TEST_F(HostReconfigurationTest, ABurstOfRandrEventsGivesOneReapplyAndTheFormulaComesBack)
{
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setBrightness(0.5);
    tuning.setEnabled(true);
    tuning.valuesDidChange();
    runPending();
    const DisplayId id = randr->mainDisplay();
    const std::optional<GammaRamp> tuned = randr->currentGammaRamp(id);
    ASSERT_TRUE(tuned.has_value());
    ASSERT_EQ(tuned->red.last(), 32768);

    CrtcSwitch crtc(server.display());
    ASSERT_TRUE(crtc.set(false)) << "the X server does not let its CRTC be switched off";
    ASSERT_TRUE(waitForActive(false));
    EXPECT_TRUE(seen.contains(kDisplayRemoveFlag | kDisplayDisabledFlag | kDisplayDesktopShapeChangedFlag));
    // Nine more times off and on: twenty events within well under a second of virtual time.
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(crtc.set(true));
        ASSERT_TRUE(waitForActive(true));
        ASSERT_TRUE(crtc.set(false));
        ASSERT_TRUE(waitForActive(false));
    }
    ASSERT_TRUE(crtc.set(true));
    ASSERT_TRUE(waitForActive(true));
    EXPECT_TRUE(seen.contains(kDisplayAddFlag | kDisplayEnabledFlag | kDisplayDesktopShapeChangedFlag));
    EXPECT_GE(seen.size(), 10);
    crtc.straightenRamp();
    ASSERT_NE(randr->currentGammaRamp(id), tuned);

    advance(ScreenDetector::kDebounceMs - 1);
    EXPECT_EQ(detector->displayChangeCount(), 0);
    advance(1);
    runPending();
    EXPECT_EQ(detector->displayChangeCount(), 1);
    // The display that came back has the formula again.
    EXPECT_EQ(randr->currentGammaRamp(id), tuned);
}

} // namespace
