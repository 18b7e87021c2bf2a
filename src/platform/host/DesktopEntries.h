#pragma once

#include "runtime/Logging.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

class QFileSystemWatcher;

namespace qv {

// The applications installed on the desktop, from the desktop entries ("*.desktop") in
// the "applications" folders of the XDG data folders. An application is known by its
// desktop-entry id without the ".desktop" ending ("org.gnome.Terminal", "code"); a file
// in a sub-folder gets the folder in its id ("kde4-dolphin"). The first data folder that
// holds an id wins. The index is read again shortly after one of the folders (or of their
// sub-folders) changes, and when a missing one is made.
class DesktopEntries : public QObject {
    Q_OBJECT
public:
    struct Entry {
        QString id;
        QString name;           // shown name, localised where the file has it
        QString startupWmClass; // may be empty
        bool hidden = false;    // Hidden=true, or not an application: masks the id
        bool shown = true;      // in this desktop's menus (not NoDisplay, OnlyShowIn/NotShowIn allow it)

        bool operator==(const Entry &) const = default;
    };

    // The XDG data folders, from $XDG_DATA_HOME and $XDG_DATA_DIRS (with their defaults).
    static QStringList defaultDataFolders();
    explicit DesktopEntries(const QStringList &dataFolders = defaultDataFolders(), QObject *parent = nullptr);
    ~DesktopEntries() override;

    // The application whose windows carry this class: the entry that names the class
    // (StartupWMClass) or else the instance, an entry shown in the menus before one that
    // is not; failing that, the entry whose id is the class or the instance, letter case
    // aside.
    std::optional<QString> idForWindowClass(const QString &instance, const QString &windowClass) const;
    // The shown name of an installed application.
    std::optional<QString> nameForId(const QString &id) const;
    int size() const { return int(m_entries.size()); }

    // Reads one desktop entry with GLib's key-file parser (escapes, localised names for the
    // current locale); nothing (with the reason) when it does not parse: text that is not
    // UTF-8, a line that is neither a group, a key and value nor a comment, no
    // "[Desktop Entry]" group first.
    static std::optional<Entry> parse(const QByteArray &contents, QString *error = nullptr);

    void rescan();

    // Whether a window's app_id or class names this application (its desktop entry's id, its
    // name or its program's name, letter case aside): its own windows are never the front
    // application.
    static bool namesThisApplication(const QString &name);

signals:
    void changed();

private:
    QStringList foldersToWatch() const;
    void watch();

    QStringList m_folders;
    QHash<QString, Entry> m_entries;           // by id
    QHash<QString, QString> m_byWmClass;        // StartupWMClass -> id
    QHash<QString, QString> m_byLowerId;        // id in lower case -> id
    QSet<QString> m_reported;                   // files whose fault was logged
    QFileSystemWatcher *m_watcher = nullptr;
    bool m_rescanPending = false;
    Logger m_log{"Workspace"};
};

} // namespace qv
