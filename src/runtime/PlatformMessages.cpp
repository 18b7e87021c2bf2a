#include "runtime/PlatformMessages.h"

namespace qv {

namespace {
QtMessageHandler g_previousHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (isQuietPlatformMessage(context.category, text))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, text);
}
} // namespace

bool isQuietPlatformMessage(const char *category, const QString &text)
{
    // The X11 platform plugin's categories: "qt.qpa.xcb", "qt.qpa.window" and the like.
    return category && qstrncmp(category, "qt.qpa.", 7) == 0 &&
           text.startsWith(QLatin1String("Unhandled client message")) && text.contains(QLatin1String("_KDE_WM_CHANGE_STATE"));
}

void installQuietPlatformMessages()
{
    static const bool installed = [] {
        g_previousHandler = qInstallMessageHandler(quietHandler);
        return true;
    }();
    Q_UNUSED(installed)
}

} // namespace qv
