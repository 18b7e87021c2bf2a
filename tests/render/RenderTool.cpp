// qv_render: renders a view to PNG in light and dark.
//
//   xvfb-run -a qv_render [--size 1100x760] [--appearance light|dark|both]
//                         [--set key=value]... [--time 2026-03-02T09:41:00] [--out PREFIX] VIEW
//
// VIEW is a QML file (path or qrc: URL) or a type "Quellvista.App/MainWindow". Writes
// PREFIX-light.png and PREFIX-dark.png. The view runs on the built-in simulated Mac with
// a fresh, in-memory defaults store and a clock stopped at --time, drawn by the same
// scene-graph renderer the application would choose (--backend software or opengl
// overrides). Exits 1 when the view printed any warning, 2 when it could not be drawn.

#include "design/Design.h"
#include "platform/Platform.h"
#include "platform/sim/SimulatedMac.h"
#include "render/ViewRenderer.h"
#include "runtime/Files.h"
#include "runtime/Scheduler.h"
#include "runtime/Shared.h"
#include "runtime/UserDefaults.h"
#include "app/QuellvistaApp.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTemporaryDir>

#include <cstdio>

using namespace qv;

namespace {
QVariant parseValue(const QString &text)
{
    // JSON scalars (true, 3, 0.5, "x") keep their type; anything else is a string.
    const QJsonDocument doc = QJsonDocument::fromJson(QStringLiteral("[%1]").arg(text).toUtf8());
    if (doc.isArray() && doc.array().size() == 1)
        return doc.array().first().toVariant();
    return text;
}
} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    useSimulatedMacWhenNoneInstalled();
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders a view to PNG in light and dark."));
    parser.addHelpOption();
    QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("Window size, WxH."), QStringLiteral("size"),
                                  QStringLiteral("1100x760"));
    QCommandLineOption appearanceOption(QStringLiteral("appearance"), QStringLiteral("light, dark or both."),
                                        QStringLiteral("appearance"), QStringLiteral("both"));
    QCommandLineOption setOption(QStringLiteral("set"), QStringLiteral("A stored setting, key=value."),
                                 QStringLiteral("key=value"));
    QCommandLineOption timeOption(QStringLiteral("time"), QStringLiteral("The clock's time (ISO 8601, local)."),
                                  QStringLiteral("time"), QStringLiteral("2026-03-02T09:41:00"));
    QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Output prefix."), QStringLiteral("prefix"),
                                 QStringLiteral("view"));
    QCommandLineOption hostOption(QStringLiteral("host-name"), QStringLiteral("The simulated Mac's host name."),
                                  QStringLiteral("name"));
    QCommandLineOption brandOption(QStringLiteral("processor"), QStringLiteral("The simulated Mac's processor brand."),
                                   QStringLiteral("brand"));
    QCommandLineOption appOption(QStringLiteral("with-app"),
                                 QStringLiteral("Create the application object first (views that read it)."));
    QCommandLineOption backendOption(QStringLiteral("backend"), QStringLiteral("software or opengl."),
                                     QStringLiteral("backend"));
    parser.addOption(appOption);
    parser.addOptions(
        {sizeOption, appearanceOption, setOption, timeOption, outOption, hostOption, brandOption, backendOption});
    parser.addPositionalArgument(QStringLiteral("view"), QStringLiteral("QML file or Module/Type."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    test::ViewRequest request;
    request.view = parser.positionalArguments().first();
    const QStringList wh = parser.value(sizeOption).split(u'x');
    if (wh.size() == 2)
        request.size = QSize(wh[0].toInt(), wh[1].toInt());

    QStringList appearances;
    const QString which = parser.value(appearanceOption);
    if (which == QStringLiteral("both"))
        appearances = {QStringLiteral("light"), QStringLiteral("dark")};
    else
        appearances = {which};

    design::applyApplicationDefaults();
    if (parser.value(backendOption) == QLatin1String("software"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    else if (parser.value(backendOption) != QLatin1String("opengl"))
        design::chooseSceneGraphBackend();
    QTemporaryDir dir;
    files::setRootOverride(dir.path());
    VirtualScheduler clock(QDateTime::fromString(parser.value(timeOption), Qt::ISODate));
    Scheduler::setCurrent(&clock);

    int status = 0;
    for (const QString &appearance : appearances) {
        auto mac = SimulatedMac::standard();
        if (parser.isSet(hostOption))
            mac->setHostName(parser.value(hostOption).isEmpty() ? std::nullopt : std::optional(parser.value(hostOption)));
        if (parser.isSet(brandOption))
            mac->setProcessorBrand(parser.value(brandOption));
        installSimulatedMac(mac.get());
        UserDefaults defaults;
        UserDefaults::setStandard(&defaults);
        defaults.setString(QStringLiteral("appAppearanceMode"), appearance);
        for (const QString &setting : parser.values(setOption)) {
            const qsizetype eq = setting.indexOf(u'=');
            if (eq > 0)
                defaults.set(setting.left(eq), parseValue(setting.mid(eq + 1)));
        }

        std::unique_ptr<QuellvistaApp> application;
        if (parser.isSet(appOption))
            application = std::make_unique<QuellvistaApp>();
        const test::RenderResult result = test::renderView(request);
        application.reset();
        resetSharedInstances();
        UserDefaults::setStandard(nullptr);
        installSimulatedMac(nullptr);

        for (const QString &w : result.warnings)
            std::fprintf(stderr, "warning: %s\n", qUtf8Printable(w));
        if (!result.error.isEmpty() || result.image.isNull()) {
            std::fprintf(stderr, "qv_render: %s\n", qUtf8Printable(result.error));
            return 2;
        }
        const QString path = parser.value(outOption) + u'-' + appearance + QStringLiteral(".png");
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!result.image.save(path)) {
            std::fprintf(stderr, "qv_render: cannot write %s\n", qUtf8Printable(path));
            return 2;
        }
        std::printf("%s\n", qUtf8Printable(path));
        if (!result.warnings.isEmpty())
            status = 1;
    }
    Scheduler::setCurrent(nullptr);
    return status;
}
