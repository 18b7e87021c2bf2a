#include "platform/host/DesktopEntries.h"

#include "runtime/Files.h"
#include "runtime/Scheduler.h"
#include "runtime/TextDecoding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileSystemWatcher>
#include <QLocale>

#include <glib.h>

#include <algorithm>
#include <memory>

namespace qv {

namespace {
constexpr const char *kMainGroup = "Desktop Entry";
// No desktop entry comes near this; a larger file is not read.
constexpr qint64 kMaxFileBytes = 256 * 1024;
// Folders watched at most, sub-folders included.
constexpr int kMaxWatchedFolders = 256;
// How long the folders stay quiet before they are read again.
constexpr int kSettleMs = 300;

QString applicationsFolder(const QString &dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("applications"));
}
} // namespace

QStringList DesktopEntries::defaultDataFolders()
{
    QStringList folders;
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.local/share");
    folders << home;
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString &dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (!folders.contains(dir))
            folders << dir;
    return folders;
}

DesktopEntries::DesktopEntries(const QStringList &dataFolders, QObject *parent)
    : QObject(parent), m_folders(dataFolders)
{
    rescan();
    watch();
}

DesktopEntries::~DesktopEntries() = default;

QStringList DesktopEntries::foldersToWatch() const
{
    QStringList folders;
    for (const QString &folder : m_folders) {
        const QString path = applicationsFolder(folder);
        if (QFileInfo(path).isDir()) {
            folders << path;
            QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            while (it.hasNext() && folders.size() < kMaxWatchedFolders)
                folders << it.next();
            continue;
        }
        // A folder that does not exist yet (no application installed for the user so far)
        // is seen when it comes through the nearest folder above it that exists.
        QDir above(path);
        while (above.cdUp()) {
            if (above.exists()) {
                folders << above.path();
                break;
            }
        }
    }
    folders.removeDuplicates();
    return folders.mid(0, kMaxWatchedFolders);
}

void DesktopEntries::watch()
{
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        // An installation changes a folder many times in a row: one reading after it settles.
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString &path) {
            // A folder above a missing one changes for many reasons: only the arrival of
            // what is watched for counts.
            if (!path.endsWith(QLatin1String("/applications")) && !path.contains(QLatin1String("/applications/"))
                && foldersToWatch() == m_watcher->directories())
                return;
            if (m_rescanPending)
                return;
            m_rescanPending = true;
            scheduler().after(kSettleMs, this, [this] {
                m_rescanPending = false;
                rescan();
                watch();
                emit changed();
            });
        });
    }
    const QStringList wanted = foldersToWatch();
    const QStringList watched = m_watcher->directories();
    QStringList gone;
    for (const QString &path : watched)
        if (!wanted.contains(path))
            gone << path;
    if (!gone.isEmpty())
        m_watcher->removePaths(gone);
    QStringList added;
    for (const QString &path : wanted)
        if (!watched.contains(path))
            added << path;
    if (!added.isEmpty())
        m_watcher->addPaths(added);
}

std::optional<DesktopEntries::Entry> DesktopEntries::parse(const QByteArray &contents, QString *error)
{
    const auto fail = [error](const QString &reason) -> std::optional<Entry> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    // GLib reads a value that is not UTF-8 as no value at all: such a file is refused whole.
    if (!text::decodeUtf8(contents))
        return fail(QStringLiteral("not UTF-8 text"));

    const std::unique_ptr<GKeyFile, void (*)(GKeyFile *)> file(g_key_file_new(), g_key_file_free);
    GError *loadError = nullptr;
    if (!g_key_file_load_from_data(file.get(), contents.constData(), gsize(contents.size()),
                                   G_KEY_FILE_KEEP_TRANSLATIONS, &loadError)) {
        const QString reason = QString::fromUtf8(loadError->message);
        g_error_free(loadError);
        return fail(reason);
    }
    const auto text = [](gchar *value) {
        const QString result = QString::fromUtf8(value).trimmed();
        g_free(value);
        return result;
    };
    const std::optional<QString> start = [&]() -> std::optional<QString> {
        gchar *group = g_key_file_get_start_group(file.get());
        return group ? std::optional(text(group)) : std::nullopt;
    }();
    if (!start)
        return fail(QStringLiteral("it has no [Desktop Entry] group"));
    if (*start != QLatin1String(kMainGroup))
        return fail(QStringLiteral("the first group is not [Desktop Entry]"));

    const auto string = [&](const char *key) { return text(g_key_file_get_string(file.get(), kMainGroup, key, nullptr)); };
    const auto boolean = [&](const char *key) {
        return g_key_file_get_boolean(file.get(), kMainGroup, key, nullptr) != FALSE;
    };
    const auto list = [&](const char *key) {
        QStringList items;
        gchar **values = g_key_file_get_string_list(file.get(), kMainGroup, key, nullptr, nullptr);
        for (gchar **value = values; value && *value; ++value)
            items << QString::fromUtf8(*value);
        g_strfreev(values);
        return items;
    };

    Entry entry;
    entry.name = text(g_key_file_get_locale_string(file.get(), kMainGroup, "Name", QLocale().name().toUtf8().constData(),
                                                   nullptr));
    entry.startupWmClass = string("StartupWMClass");
    entry.hidden = boolean("Hidden") || string("Type") != QLatin1String("Application");
    // Shown in this desktop's menus: not NoDisplay, and not left out of this desktop.
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const auto names = [&desktops](const QStringList &listed) {
        return std::any_of(desktops.cbegin(), desktops.cend(), [&](const QString &d) { return listed.contains(d); });
    };
    const QStringList onlyShowIn = list("OnlyShowIn");
    entry.shown = !boolean("NoDisplay") && (onlyShowIn.isEmpty() || names(onlyShowIn)) && !names(list("NotShowIn"));
    return entry;
}

void DesktopEntries::rescan()
{
    m_entries.clear();
    m_byWmClass.clear();
    m_byLowerId.clear();
    QSet<QString> seen;
    for (const QString &folder : m_folders) {
        const QString root = applicationsFolder(folder);
        QDirIterator it(root, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QString id = QDir(root).relativeFilePath(path);
            id.chop(int(qstrlen(".desktop")));
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            if (seen.contains(id))
                continue; // an earlier folder holds this id
            seen.insert(id);
            // Only a regular file (or a link to one), its size checked once open: a link to
            // a device or a pipe is neither read without end nor waited on.
            const files::StoredFile file = files::readStoredFile(path, kMaxFileBytes);
            QString error = file.error;
            std::optional<Entry> entry;
            if (file.state == files::StoredFile::State::read)
                entry = parse(file.bytes, &error);
            else if (file.state == files::StoredFile::State::absent)
                continue; // gone since it was listed
            if (!entry) {
                if (!m_reported.contains(path)) {
                    m_reported.insert(path);
                    // A reason that names the file already ("P is a device, ...") is not
                    // preceded by it again.
                    if (error.startsWith(path))
                        m_log.error("Ignoring a desktop entry: %s", qUtf8Printable(error));
                    else
                        m_log.error("Ignoring the desktop entry %s: %s", qUtf8Printable(path), qUtf8Printable(error));
                }
                continue;
            }
            if (entry->hidden)
                continue;
            entry->id = id;
            m_entries.insert(id, *entry);
            // A class belongs to the first entry that names it, one shown in the menus
            // before one that is not (a helper that shares the application's class).
            if (!entry->startupWmClass.isEmpty()) {
                const auto owner = m_byWmClass.constFind(entry->startupWmClass);
                if (owner == m_byWmClass.cend() || (entry->shown && !m_entries.value(*owner).shown))
                    m_byWmClass.insert(entry->startupWmClass, id);
            }
            m_byLowerId.insert(id.toLower(), id);
        }
    }
}

std::optional<QString> DesktopEntries::idForWindowClass(const QString &instance, const QString &windowClass) const
{
    for (const QString &name : {windowClass, instance}) {
        if (name.isEmpty())
            continue;
        if (const auto it = m_byWmClass.constFind(name); it != m_byWmClass.cend())
            return *it;
    }
    for (const QString &name : {windowClass, instance}) {
        if (name.isEmpty())
            continue;
        if (const auto it = m_byLowerId.constFind(name.toLower()); it != m_byLowerId.cend())
            return *it;
    }
    return std::nullopt;
}

std::optional<QString> DesktopEntries::nameForId(const QString &id) const
{
    const auto it = m_entries.constFind(id);
    if (it == m_entries.cend() || it->name.isEmpty())
        return std::nullopt;
    return it->name;
}

bool DesktopEntries::namesThisApplication(const QString &name)
{
    if (name.isEmpty())
        return false;
    QString entry = QGuiApplication::desktopFileName();
    if (entry.endsWith(QLatin1String(".desktop")))
        entry.chop(8);
    QStringList own{entry, QCoreApplication::applicationName()};
    if (QCoreApplication::instance())
        own << QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return std::any_of(own.cbegin(), own.cend(),
                       [&name](const QString &id) { return !id.isEmpty() && id.compare(name, Qt::CaseInsensitive) == 0; });
}

} // namespace qv
