#include "platform/desktop/QtCamera.h"
#include "support/TestEnvironment.h"

using namespace qv;
using namespace qv::test;

namespace {
using QtCameraTest = QvTest;
} // namespace

TEST_F(QtCameraTest, AccessIsGrantedOnALaterTurn)
{
    QtCamera camera;
    EXPECT_EQ(camera.authorizationStatus(), CameraAuthorization::authorized);
    std::optional<bool> answer;
    camera.requestAccess([&answer](bool granted) { answer = granted; });
    EXPECT_FALSE(answer);
    runPending();
    EXPECT_EQ(answer, true);
}

TEST_F(QtCameraTest, AnInputForADeviceThatIsGoneFailsWithItsName)
{
    QtCamera camera;
    auto session = camera.makeSession();
    QString error;
    EXPECT_FALSE(session->addInput(CameraDevice{"no-such-camera", "Desk Camera"}, &error));
    EXPECT_EQ(error, "The camera Desk Camera is no longer connected");
    // A session that never got going stops quietly.
    session->stopRunning();
}
