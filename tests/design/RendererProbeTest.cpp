#include "design/RendererProbe.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qv::design;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

struct CountingProbe {
    std::optional<QString> answer;
    int calls = 0;
    std::function<std::optional<QString>()> fn()
    {
        return [this] {
            ++calls;
            return answer;
        };
    }
};

class RendererCache : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("cache/Quellvista/opengl-renderer"));
};

TEST_F(RendererCache, AsksOnceAndAgainOnlyWhenTheKeyChanges)
{
    CountingProbe probe{QStringLiteral("llvmpipe (LLVM 15.0.6, 256 bits)")};
    EXPECT_EQ(openGlRenderer(path, "key-a", probe.fn()), QStringLiteral("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_EQ(openGlRenderer(path, "key-a", probe.fn()), QStringLiteral("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_EQ(probe.calls, 1);

    // Another display or driver: asked again, and the new answer replaces the old.
    probe.answer = QStringLiteral("AMD Radeon RX 6600");
    EXPECT_EQ(openGlRenderer(path, "key-b", probe.fn()), QStringLiteral("AMD Radeon RX 6600"));
    EXPECT_EQ(openGlRenderer(path, "key-b", probe.fn()), QStringLiteral("AMD Radeon RX 6600"));
    EXPECT_EQ(probe.calls, 2);
    EXPECT_EQ(openGlRenderer(path, "key-a", probe.fn()), QStringLiteral("AMD Radeon RX 6600"));
    EXPECT_EQ(probe.calls, 3);
}

TEST_F(RendererCache, RemembersAnEmptyAnswerButNotAFailedProbe)
{
    CountingProbe failed{std::nullopt};
    EXPECT_EQ(openGlRenderer(path, "key", failed.fn()), QString());
    EXPECT_EQ(openGlRenderer(path, "key", failed.fn()), QString());
    EXPECT_EQ(failed.calls, 2);
    EXPECT_FALSE(QFile::exists(path));

    CountingProbe none{QString()};
    openGlRenderer(path, "key", none.fn());
    openGlRenderer(path, "key", none.fn());
    EXPECT_EQ(none.calls, 1);
}

TEST_F(RendererCache, DamagedCacheIsAskedAgainAndReplaced)
{
    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"empty", ""},
        {"truncated", "quellvista-opengl-renderer 1\nkey\n"},
        {"other format", "quellvista-opengl-renderer 2\nkey\nGPU\n"},
        {"trailing lines", "quellvista-opengl-renderer 1\nkey\nGPU\nmore\n"},
    };
    for (const auto &c : cases) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.bytes);
        file.close();
        CountingProbe probe{QStringLiteral("softpipe")};
        EXPECT_EQ(openGlRenderer(path, "key", probe.fn()), QStringLiteral("softpipe")) << c.name;
        EXPECT_EQ(probe.calls, 1) << c.name;
        EXPECT_EQ(fileBytes(path), QByteArray("quellvista-opengl-renderer 1\nkey\nsoftpipe\n")) << c.name;
    }
}

TEST_F(RendererCache, LineBreaksInTheAnswerCannotForgeTheFile)
{
    CountingProbe probe{QStringLiteral("GPU\nkey\nllvmpipe")};
    EXPECT_EQ(openGlRenderer(path, "key", probe.fn()), QStringLiteral("GPUkeyllvmpipe"));
    EXPECT_EQ(openGlRenderer(path, "key", probe.fn()), QStringLiteral("GPUkeyllvmpipe"));
    EXPECT_EQ(probe.calls, 1);
}

TEST_F(RendererCache, SomethingUnreadableInItsPlaceIsLeftAlone)
{
    QDir().mkpath(path); // a folder where the file belongs
    CountingProbe probe{QStringLiteral("llvmpipe")};
    EXPECT_EQ(openGlRenderer(path, "key", probe.fn()), QStringLiteral("llvmpipe"));
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST(OpenGlRendererKey, ChangesWithWhatSteersTheGlLoader)
{
    const QByteArray base = openGlRendererKey();
    EXPECT_EQ(openGlRendererKey(), base);
    for (const char *name : {"DISPLAY", "LIBGL_ALWAYS_SOFTWARE", "GALLIUM_DRIVER", "__GLX_VENDOR_LIBRARY_NAME"}) {
        const QByteArray saved = qgetenv(name);
        const bool wasSet = qEnvironmentVariableIsSet(name);
        qputenv(name, saved + "-changed");
        EXPECT_NE(openGlRendererKey(), base) << name;
        if (wasSet)
            qputenv(name, saved);
        else
            qunsetenv(name);
        EXPECT_EQ(openGlRendererKey(), base) << name;
    }
}

TEST(OpenGlRendererKey, CacheLivesInTheXdgCacheFolder)
{
    const bool wasSet = qEnvironmentVariableIsSet("XDG_CACHE_HOME");
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    QTemporaryDir dir;
    qputenv("XDG_CACHE_HOME", dir.path().toUtf8());
    EXPECT_EQ(openGlRendererCachePath(), dir.filePath(QStringLiteral("Quellvista/opengl-renderer")));
    if (wasSet)
        qputenv("XDG_CACHE_HOME", saved);
    else
        qunsetenv("XDG_CACHE_HOME");
}

// OpenGL is told to be software without loading it only where no direct rendering can be
// on offer: anything that may be a graphics card leaves the question to the probe.
TEST(OpenGlRenderer, SoftwareOnlyWithoutDirectRenderingOrDevices)
{
    const QList<QByteArray> virtualServer = {"BIG-REQUESTS", "GLX", "RANDR", "XFIXES"};
    struct Case {
        const char *name;
        QList<QByteArray> extensions;
        QStringList devices;
        bool software;
    };
    const Case cases[] = {
        {"virtual X server, no devices", virtualServer, {}, true},
        {"no GLX at all", {"RANDR"}, {}, true},
        {"DRI3", virtualServer + QList<QByteArray>{"DRI3"}, {}, false},
        {"DRI2", virtualServer + QList<QByteArray>{"DRI2"}, {}, false},
        {"NVIDIA's GLX", virtualServer + QList<QByteArray>{"NV-GLX"}, {}, false},
        {"a render node", virtualServer, {"renderD128"}, false},
        {"an NVIDIA device", virtualServer, {"nvidia0"}, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(openGlIsSoftwareOnly(c.extensions, c.devices), c.software) << c.name;
}

} // namespace
