#include "platform/host/DesktopEntries.h"

#include "runtime/Files.h"
#include "runtime/Scheduler.h"
#include "runtime/TextDecoding.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileSystemWatcher>
#include <QLocale>

namespace qv {

namespace {
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
    const std::optional<QString> decoded = text::decodeUtf8(contents);
    if (!decoded)
        return fail(QStringLiteral("not UTF-8 text"));
    const QString &text = *decoded;

    const QString locale = QLocale().name();                                 // "de_DE"
    const QString language = locale.section(QLatin1Char('_'), 0, 0);        // "de"
    Entry entry;
    QString localName, languageName, type;
    bool inMain = false, seenGroup = false;
    int number = 0;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        ++number;
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                return fail(QStringLiteral("line %1 opens a group it does not close").arg(number));
            const QStringView group = line.mid(1, line.size() - 2);
            if (!seenGroup && group != QLatin1String("Desktop Entry"))
                return fail(QStringLiteral("the first group is not [Desktop Entry]"));
            seenGroup = true;
            inMain = group == QLatin1String("Desktop Entry");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return fail(QStringLiteral("line %1 is not a key and value").arg(number));
        if (!seenGroup)
            return fail(QStringLiteral("line %1 stands before any group").arg(number));
        if (!inMain)
            continue;
        const QStringView key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed().toString();
        if (key == QLatin1String("Name"))
            entry.name = value;
        else if (key == QStringLiteral("Name[%1]").arg(locale))
            localName = value;
        else if (key == QStringLiteral("Name[%1]").arg(language))
            languageName = value;
        else if (key == QLatin1String("StartupWMClass"))
            entry.startupWmClass = value;
        else if (key == QLatin1String("Type"))
            type = value;
        else if (key == QLatin1String("Hidden"))
            entry.hidden = value == QLatin1String("true");
    }
    if (!seenGroup)
        return fail(QStringLiteral("it has no [Desktop Entry] group"));
    if (!localName.isEmpty())
        entry.name = localName;
    else if (!languageName.isEmpty())
        entry.name = languageName;
    if (type != QLatin1String("Application"))
        entry.hidden = true;
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
            if (!entry->startupWmClass.isEmpty() && !m_byWmClass.contains(entry->startupWmClass))
                m_byWmClass.insert(entry->startupWmClass, id);
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

} // namespace qv
