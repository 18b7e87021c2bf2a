#pragma once

#include "platform/LoginItem.h"

namespace qv {

// The login item of the desktop session: an XDG autostart entry
// "<autostart folder>/quellvista.desktop" that starts the installed program. An entry
// marked hidden or disabled (as the desktop's settings do when the user switches it off)
// counts as not registered and as switched off by the user.
class XdgAutostartLoginItem final : public LoginItem {
public:
    // folder empty: "<XDG config>/autostart". program empty: this process's executable.
    explicit XdgAutostartLoginItem(QString folder = {}, QString program = {});

    Status status() override;
    bool registerItem(QString *error) override;
    bool unregisterItem(QString *error) override;
    bool switchedOffByUser() override;

    QString entryPath() const;
    // The entry's text for a program path.
    static QByteArray entryFor(const QString &program);
    // One Exec argument quoted as desktop entries want it.
    static QString quoteExecArgument(const QString &argument);

private:
    QString m_folder;
    QString m_program;
};

} // namespace qv
