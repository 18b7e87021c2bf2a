#include "design/RendererProbe.h"

#include "runtime/Files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace qv::design {

namespace {

constexpr qint64 kMaxCacheBytes = 4096;
const QByteArray kCacheHeader = "quellvista-opengl-renderer 1";

// A file's identity for the key: its size and modification time, or that it is absent.
void addFile(QCryptographicHash &hash, const QString &path)
{
    const QFileInfo info(path);
    hash.addData(path.toUtf8());
    if (info.exists())
        hash.addData(QByteArray::number(info.size()) + ' ' +
                     QByteArray::number(info.lastModified().toMSecsSinceEpoch()));
    else
        hash.addData("absent");
    hash.addData("\n");
}

xcb_connection_t *xConnection()
{
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The extensions the X server offers, sorted.
QList<QByteArray> xExtensions(xcb_connection_t *connection)
{
    QList<QByteArray> names;
    std::unique_ptr<xcb_list_extensions_reply_t, decltype(&std::free)> reply(
        xcb_list_extensions_reply(connection, xcb_list_extensions(connection), nullptr), &std::free);
    if (!reply)
        return names;
    for (xcb_str_iterator_t it = xcb_list_extensions_names_iterator(reply.get()); it.rem; xcb_str_next(&it))
        names << QByteArray(xcb_str_name(it.data), xcb_str_name_length(it.data));
    std::sort(names.begin(), names.end());
    return names;
}

// The X server Qt is connected to: vendor, release and the extensions it offers.
void addXServer(QCryptographicHash &hash)
{
    xcb_connection_t *connection = xConnection();
    if (!connection) {
        hash.addData("no X server\n");
        return;
    }
    const xcb_setup_t *setup = xcb_get_setup(connection);
    hash.addData(QByteArray(xcb_setup_vendor(setup), xcb_setup_vendor_length(setup)));
    hash.addData(" " + QByteArray::number(setup->release_number) + "\n");
    hash.addData(xExtensions(connection).join(' ') + "\n");
}

// The graphics devices: each DRM card's driver and PCI identity.
void addDevices(QCryptographicHash &hash)
{
    const QDir drm(QStringLiteral("/sys/class/drm"));
    for (const QString &card : drm.entryList({QStringLiteral("card*")}, QDir::Dirs | QDir::System, QDir::Name)) {
        hash.addData(card.toUtf8() + ' ');
        const files::StoredFile uevent = files::readStoredFile(drm.filePath(card + QStringLiteral("/device/uevent")), kMaxCacheBytes);
        hash.addData(uevent.bytes + "\n");
    }
}

} // namespace

QByteArray openGlRendererKey()
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const char *name : {"DISPLAY", "LIBGL_ALWAYS_SOFTWARE", "LIBGL_ALWAYS_INDIRECT", "LIBGL_DRIVERS_PATH",
                             "GALLIUM_DRIVER", "MESA_LOADER_DRIVER_OVERRIDE", "__GLX_VENDOR_LIBRARY_NAME",
                             "__GLX_FORCE_VENDOR_LIBRARY_0", "DRI_PRIME", "LD_LIBRARY_PATH"})
        hash.addData(QByteArray(name) + '=' + qgetenv(name) + '\n');
    addXServer(hash);
    addDevices(hash);
    // The loader, the vendor libraries and the drivers (an upgrade replaces them, which
    // changes their times and the driver folder's).
    const QDir libraries(QLibraryInfo::path(QLibraryInfo::LibrariesPath));
    for (const char *name : {"libGL.so.1", "libGLX.so.0", "libGLX_mesa.so.0", "libGLX_nvidia.so.0", "libGLdispatch.so.0",
                             "dri", "libgallium_dri.so"})
        addFile(hash, libraries.filePath(QString::fromLatin1(name)));
    addFile(hash, QStandardPaths::findExecutable(QStringLiteral("glxinfo")));
    return hash.result().toHex();
}

bool openGlIsSoftwareOnly(const QList<QByteArray> &xExtensions, const QStringList &deviceNodes)
{
    // Direct rendering on a device goes through DRI3 or DRI2, or NVIDIA's own extension; an
    // X server with none of them, on a machine without graphics devices, leaves OpenGL to
    // the software rasteriser.
    for (const char *name : {"DRI3", "DRI2", "NV-GLX", "NV-CONTROL"})
        if (xExtensions.contains(QByteArray(name)))
            return false;
    return deviceNodes.isEmpty();
}

bool openGlIsSoftwareOnHere()
{
    if (qgetenv("LIBGL_ALWAYS_SOFTWARE") == "1" || qgetenv("LIBGL_ALWAYS_SOFTWARE") == "true")
        return true;
    xcb_connection_t *connection = xConnection();
    if (!connection)
        return false;
    QStringList nodes = QDir(QStringLiteral("/dev/dri")).entryList(QDir::System | QDir::Files);
    nodes << QDir(QStringLiteral("/dev")).entryList({QStringLiteral("nvidia*")}, QDir::System | QDir::Files);
    return openGlIsSoftwareOnly(xExtensions(connection), nodes);
}

QString openGlRenderer(const QString &cachePath, const QByteArray &key,
                       const std::function<std::optional<QString>()> &probe)
{
    const files::StoredFile stored = files::readStoredFile(cachePath, kMaxCacheBytes);
    if (stored.state == files::StoredFile::State::read) {
        // "<header>\n<key>\n<renderer>\n"
        const QList<QByteArray> lines = stored.bytes.split('\n');
        if (lines.size() == 4 && lines[0] == kCacheHeader && lines[1] == key && lines[3].isEmpty())
            return QString::fromUtf8(lines[2]);
    }
    const std::optional<QString> answer = probe();
    if (!answer)
        return {};
    QString renderer = *answer;
    renderer.remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    if (stored.state != files::StoredFile::State::unreadable)
        files::writeAtomically(cachePath, kCacheHeader + '\n' + key + '\n' + renderer.toUtf8() + '\n');
    return renderer;
}

QString openGlRendererCachePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Quellvista/opengl-renderer");
}

std::optional<QString> probeOpenGlRenderer()
{
    if (QStandardPaths::findExecutable(QStringLiteral("glxinfo")).isEmpty())
        return std::nullopt;
    QProcess glxinfo;
    glxinfo.start(QStringLiteral("glxinfo"), {QStringLiteral("-B")});
    if (!glxinfo.waitForFinished(3000) || glxinfo.exitStatus() != QProcess::NormalExit || glxinfo.exitCode() != 0) {
        glxinfo.kill();
        glxinfo.waitForFinished(500);
        return std::nullopt;
    }
    QString renderer;
    for (const QByteArray &line : glxinfo.readAllStandardOutput().split('\n'))
        if (line.contains("OpenGL renderer string:"))
            renderer = QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
    return renderer;
}

} // namespace qv::design
