#pragma once

#include "platform/LoginItem.h"

#include <QByteArray>
#include <QString>

namespace qv {

// The login item of the desktop session: an XDG autostart entry
// "<autostart folder>/quellvista.desktop" that starts the installed program. An entry
// marked hidden or disabled (as the desktop's settings do when the user switches it off)
// counts as not registered and as switched off by the user. An entry that cannot be read
// (too large, a folder, no permission) or that is a link is never written over or replaced.
class XdgAutostartLoginItem final : public LoginItem {
public:
    // folder empty: "<XDG config>/autostart". program empty: this process's executable.
    explicit XdgAutostartLoginItem(QString folder = {}, QString program = {});

    Status status() override;
    bool registerItem(QString *error) override;
    bool unregisterItem(QString *error) override;
    bool switchedOffByUser() override;
    bool needsRenewal() override;

    QString entryPath() const;
    // What the entry's Exec names: the program by name when it is installed and that name
    // on PATH leads to it, else its absolute path.
    QString execProgram() const;

    // The entry's text for a program path or name.
    static QByteArray entryFor(const QString &program);
    // One Exec argument quoted as desktop entries want it.
    static QString quoteExecArgument(const QString &argument);
    // The program an entry's Exec starts (its first argument, unquoted); empty when the
    // entry has no Exec in its main group.
    static QString execProgramOf(const QByteArray &entry);
    // Whether a program is an installed Quellvista: "<prefix>/bin/<name>" beside the
    // desktop entry "<prefix>/share/applications/com.tebrix.Quellvista.desktop".
    static bool isInstalledProgram(const QString &path);

private:
    QString runningProgram() const;

    QString m_folder;
    QString m_program;
};

} // namespace qv
