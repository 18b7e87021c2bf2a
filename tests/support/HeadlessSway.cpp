#include "support/HeadlessSway.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

namespace qv::test {

HeadlessSway::HeadlessSway()
{
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("sway")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty() || !m_dir.isValid())
        return;
    // The runtime folder is nobody's (sway's own), readable by root only through its rights.
    const QString runtime = m_dir.filePath(QStringLiteral("run"));
    QDir().mkpath(runtime);
    QFile config(m_dir.filePath(QStringLiteral("sway.conf")));
    if (!config.open(QIODevice::WriteOnly))
        return;
    config.write("xwayland disable\n");
    config.close();
    config.setPermissions(QFile::ReadOwner | QFile::ReadOther | QFile::ReadGroup | QFile::WriteOwner);
    QFile(m_dir.path()).setPermissions(QFile::ExeOther | QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
    if (::chown(runtime.toLocal8Bit().constData(), 65534, 65534) != 0)
        return;
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_dir.filePath(QStringLiteral("sway.log")));
    m_process->start(QStringLiteral("setpriv"),
                     {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups"),
                      QStringLiteral("env"), QStringLiteral("-i"), QStringLiteral("PATH=/usr/bin:/bin"),
                      QStringLiteral("HOME=") + m_dir.path(), QStringLiteral("XDG_RUNTIME_DIR=") + runtime,
                      QStringLiteral("WLR_BACKENDS=headless"), QStringLiteral("WLR_RENDERER=pixman"),
                      QStringLiteral("WLR_LIBINPUT_NO_DEVICES=1"), QStringLiteral("sway"), QStringLiteral("-c"),
                      config.fileName()});
    if (!m_process->waitForStarted(10000))
        return;
    const bool up = QTest::qWaitFor(
        [&] {
            const QStringList ipc = QDir(runtime).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
            if (!QFile::exists(runtime + QStringLiteral("/wayland-1")) || ipc.isEmpty())
                return false;
            m_ipc = runtime + QLatin1Char('/') + ipc.first();
            return true;
        },
        20000);
    if (up && message({QStringLiteral("-t"), QStringLiteral("get_version")}))
        m_socket = runtime + QStringLiteral("/wayland-1");
}

HeadlessSway::~HeadlessSway()
{
    for (QProcess *window : std::as_const(m_windows)) {
        window->kill();
        window->waitForFinished(5000);
        delete window;
    }
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(10000))
            m_process->kill();
        m_process->waitForFinished(5000);
    }
}

bool HeadlessSway::message(const QStringList &arguments) const
{
    QProcess swaymsg;
    swaymsg.start(QStringLiteral("swaymsg"), QStringList{QStringLiteral("-s"), m_ipc} + arguments);
    return swaymsg.waitForFinished(10000) && swaymsg.exitCode() == 0;
}

bool HeadlessSway::openWindow(const QString &appId)
{
    auto *window = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_socket);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    window->setProcessEnvironment(environment);
    window->setStandardOutputFile(QProcess::nullDevice());
    window->setStandardErrorFile(QProcess::nullDevice());
    window->start(QStringLiteral("foot"), {QStringLiteral("--app-id=") + appId, QStringLiteral("-o"),
                                            QStringLiteral("workers=1")});
    m_windows << window;
    return window->waitForStarted(10000) && QTest::qWaitFor([&] { return isFocused(appId); }, 10000);
}

bool HeadlessSway::isFocused(const QString &appId) const
{
    QProcess swaymsg;
    swaymsg.start(QStringLiteral("swaymsg"), {QStringLiteral("-s"), m_ipc, QStringLiteral("-t"), QStringLiteral("get_tree")});
    if (!swaymsg.waitForFinished(10000))
        return false;
    // The focused node anywhere in the tree.
    std::function<bool(const QJsonObject &)> focused = [&](const QJsonObject &node) {
        if (node.value(QStringLiteral("focused")).toBool() && node.value(QStringLiteral("app_id")).toString() == appId)
            return true;
        for (const QJsonValue &child : node.value(QStringLiteral("nodes")).toArray())
            if (focused(child.toObject()))
                return true;
        return false;
    };
    return focused(QJsonDocument::fromJson(swaymsg.readAllStandardOutput()).object());
}

} // namespace qv::test
