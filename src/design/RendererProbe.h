#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace qv::design {

// What OpenGL's renderer string ("llvmpipe (LLVM 15.0.6, 256 bits)") depends on, as one
// digest: the X server (display name, vendor, release and its extensions, which tell a
// virtual server from one with direct rendering), the graphics devices, the GL libraries
// and driver folder installed, the glxinfo found and the environment variables that steer
// the GL loader. Any of these changing gives another key.
QByteArray openGlRendererKey();

// Whether OpenGL can only be the software rasteriser, told without loading it: the X server
// offers no direct rendering extension (DRI3, DRI2, NVIDIA's) and there is no graphics
// device node. False when it may be hardware.
bool openGlIsSoftwareOnly(const QList<QByteArray> &xExtensions, const QStringList &deviceNodes);
// The same for the X server Qt is connected to and this machine's /dev/dri and /dev/nvidia*
// (or LIBGL_ALWAYS_SOFTWARE set). A few microseconds: one round trip to the X server.
bool openGlIsSoftwareOnHere();

// The renderer string for key: the one remembered in the file at cachePath when it was
// asked under the same key, otherwise probe's answer, remembered (written atomically)
// for the next start. A probe that found nothing (nullopt: glxinfo missing, too slow or
// failed) is not remembered, so the next start asks again. A file in the cache's place
// that cannot be read is left as it is.
QString openGlRenderer(const QString &cachePath, const QByteArray &key,
                       const std::function<std::optional<QString>()> &probe);

// Where openGlRenderer remembers its answer: "<XDG cache>/Quellvista/opengl-renderer".
QString openGlRendererCachePath();

// Asks glxinfo for the renderer string (waits up to three seconds). Nothing when it is not
// installed, did not answer in time or failed; an empty text when it answered without one.
std::optional<QString> probeOpenGlRenderer();

} // namespace qv::design
