#include "runtime/PlatformMessages.h"

#include <gtest/gtest.h>

// Only the platform plugin's note on _KDE_WM_CHANGE_STATE is dropped.
TEST(PlatformMessages, OnlyTheUnhandledStateChangeNoteIsDropped)
{
    const struct {
        const char *category;
        const char *text;
        bool dropped;
    } cases[] = {
        {"qt.qpa.xcb", "Unhandled client message:  \"_KDE_WM_CHANGE_STATE\"", true},
        {"qt.qpa.window", "Unhandled client message:  \"_KDE_WM_CHANGE_STATE\"", true},
        {"qt.qpa.xcb", "Unhandled client message:  \"_NET_SOMETHING_ELSE\"", false},
        {"qt.qpa.xcb", "QXcbConnection: XCB error: 3 (BadWindow)", false},
        {"com.tebrix.Quellvista.App", "Unhandled client message:  \"_KDE_WM_CHANGE_STATE\"", false},
        {nullptr, "Unhandled client message:  \"_KDE_WM_CHANGE_STATE\"", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(qv::isQuietPlatformMessage(c.category, QString::fromUtf8(c.text)), c.dropped) << c.text;
}
