#include "platform/desktop/XdgAutostartLoginItem.h"

#include "runtime/Files.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace qv {

XdgAutostartLoginItem::XdgAutostartLoginItem(QString folder, QString program)
    : m_folder(std::move(folder)), m_program(std::move(program))
{
    if (m_folder.isEmpty())
        m_folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                   QStringLiteral("/autostart");
}

QString XdgAutostartLoginItem::entryPath() const
{
    return m_folder + QStringLiteral("/quellvista.desktop");
}

QString XdgAutostartLoginItem::quoteExecArgument(const QString &argument)
{
    // Inside double quotes `"`, `` ` ``, `$` and `\` are escaped with a backslash; the
    // value itself then escapes every backslash once more, and `%` is doubled.
    QString quoted;
    for (QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'%', QStringLiteral("%%"));
    return u'"' + quoted + u'"';
}

QByteArray XdgAutostartLoginItem::entryFor(const QString &program)
{
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=Quellvista\n"
                                  "Comment=Eye comfort for your displays\n"
                                  "Exec=%1\n"
                                  "Terminal=false\n"
                                  "X-GNOME-Autostart-enabled=true\n");
    // Line breaks cannot stand in a value.
    QString exec = quoteExecArgument(program);
    exec.replace(u'\n', QStringLiteral("\\n"));
    return text.arg(exec).toUtf8();
}

namespace {
// Whether the entry's own group says not to start it: "Hidden=true" or
// "X-GNOME-Autostart-enabled=false", blanks around the "=" ignored.
bool markedOff(const QByteArray &text)
{
    bool inEntry = false;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inEntry || equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return true;
    }
    return false;
}
} // namespace

LoginItem::Status XdgAutostartLoginItem::status()
{
    const files::StoredFile file = files::readStoredFile(entryPath());
    if (file.state == files::StoredFile::State::absent)
        return Status::notRegistered;
    if (file.state == files::StoredFile::State::unreadable)
        return Status::notFound;
    return markedOff(file.bytes) ? Status::notRegistered : Status::enabled;
}

bool XdgAutostartLoginItem::switchedOffByUser()
{
    const files::StoredFile file = files::readStoredFile(entryPath());
    return file.state == files::StoredFile::State::read && markedOff(file.bytes);
}

bool XdgAutostartLoginItem::registerItem(QString *error)
{
    const QString program = m_program.isEmpty() ? QCoreApplication::applicationFilePath() : m_program;
    if (program.isEmpty()) {
        if (error)
            *error = QStringLiteral("The program's path is unknown.");
        return false;
    }
    return files::writeAtomically(entryPath(), entryFor(QFileInfo(program).absoluteFilePath()), error);
}

bool XdgAutostartLoginItem::unregisterItem(QString *error)
{
    QFile file(entryPath());
    if (!file.exists() || file.remove())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace qv
