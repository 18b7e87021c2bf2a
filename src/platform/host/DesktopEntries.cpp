#include "platform/host/DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileSystemWatcher>
#include <QLocale>
#include <QStringDecoder>

namespace qv {

namespace {
// No desktop entry comes near this; a larger file is not read.
constexpr qint64 kMaxFileBytes = 256 * 1024;

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

void DesktopEntries::watch()
{
    m_watcher = new QFileSystemWatcher(this);
    for (const QString &folder : m_folders) {
        const QString path = applicationsFolder(folder);
        if (QFileInfo(path).isDir())
            m_watcher->addPath(path);
    }
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        rescan();
        emit changed();
    });
}

std::optional<DesktopEntries::Entry> DesktopEntries::parse(const QByteArray &contents, QString *error)
{
    const auto fail = [error](const QString &reason) -> std::optional<Entry> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(contents);
    if (decoder.hasError())
        return fail(QStringLiteral("not UTF-8 text"));

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
            QFile file(path);
            QString error;
            std::optional<Entry> entry;
            if (file.size() > kMaxFileBytes)
                error = QStringLiteral("it is larger than %1 bytes").arg(kMaxFileBytes);
            else if (!file.open(QIODevice::ReadOnly))
                error = file.errorString();
            else
                entry = parse(file.readAll(), &error);
            if (!entry) {
                if (!m_reported.contains(path)) {
                    m_reported.insert(path);
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
