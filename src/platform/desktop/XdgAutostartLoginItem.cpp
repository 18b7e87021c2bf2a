#include "platform/desktop/XdgAutostartLoginItem.h"

#include "runtime/Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

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
// The value of a key in the entry's main group, its escapes (\s, \n, \t, \r, \\) undone;
// empty when missing.
QString mainGroupValue(const QByteArray &text, const QByteArray &wanted)
{
    bool inEntry = false;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inEntry || equals < 0 || line.left(equals).trimmed() != wanted)
            continue;
        const QString raw = QString::fromUtf8(line.mid(equals + 1).trimmed());
        QString value;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] != u'\\' || i + 1 == raw.size()) {
                value += raw[i];
                continue;
            }
            const QChar next = raw[++i];
            value += next == u's' ? QChar(u' ') : next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t')
                   : next == u'r' ? QChar(u'\r') : next;
        }
        return value;
    }
    return {};
}

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

QString XdgAutostartLoginItem::execProgramOf(const QByteArray &entry)
{
    const QString exec = mainGroupValue(entry, "Exec");
    QString program;
    qsizetype i = 0;
    if (exec.startsWith(u'"')) {
        // Inside quotes a backslash takes the next character as it is.
        for (i = 1; i < exec.size() && exec[i] != u'"'; ++i) {
            if (exec[i] == u'\\' && i + 1 < exec.size())
                ++i;
            program += exec[i];
        }
    } else {
        while (i < exec.size() && !exec[i].isSpace())
            program += exec[i++];
    }
    return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

bool XdgAutostartLoginItem::isInstalledProgram(const QString &path)
{
    const QFileInfo program(path);
    if (!program.isAbsolute() || !program.isExecutable() || program.isDir())
        return false;
    const QDir bin = QFileInfo(program.canonicalFilePath()).dir();
    return bin.dirName() == QLatin1String("bin") &&
           QFileInfo::exists(bin.absoluteFilePath(QStringLiteral("../share/applications/com.tebrix.Quellvista.desktop")));
}

QString XdgAutostartLoginItem::runningProgram() const
{
    const QString program = m_program.isEmpty() ? QCoreApplication::applicationFilePath() : m_program;
    return program.isEmpty() ? QString() : QFileInfo(program).absoluteFilePath();
}

QString XdgAutostartLoginItem::execProgram() const
{
    const QString program = runningProgram();
    if (program.isEmpty() || !isInstalledProgram(program))
        return program;
    const QString name = QFileInfo(program).fileName();
    const QString onPath = QStandardPaths::findExecutable(name);
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == QFileInfo(program).canonicalFilePath())
        return name;
    return program;
}

bool XdgAutostartLoginItem::needsRenewal()
{
    QFileInfo entry(entryPath());
    if (entry.isSymLink())
        return false; // the user's own arrangement; it is never written through
    const files::StoredFile file = files::readStoredFile(entryPath());
    if (file.state != files::StoredFile::State::read || markedOff(file.bytes))
        return false;
    const QString named = execProgramOf(file.bytes);
    // A name is looked for on this process's PATH and where installs put programs, as the
    // session's PATH at login may hold folders this process's does not.
    QString found = named;
    if (!QFileInfo(named).isAbsolute()) {
        found = QStandardPaths::findExecutable(named);
        if (found.isEmpty())
            found = QStandardPaths::findExecutable(named, {QDir::homePath() + QStringLiteral("/.local/bin"),
                                                           QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/bin")});
    }
    if (found.isEmpty() || !QFileInfo(found).isExecutable() || QFileInfo(found).isDir())
        return true;
    // A build folder's copy gives way to the installed program once that runs.
    const QString program = runningProgram();
    return isInstalledProgram(program) && !isInstalledProgram(found);
}

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
    const QString program = execProgram();
    if (program.isEmpty()) {
        if (error)
            *error = QStringLiteral("The program's path is unknown.");
        return false;
    }
    // What is in the entry's place and cannot be read may be the user's choice (a large
    // entry that says Hidden=true): it is left as it is, as is a link, which may lead out
    // of the autostart folder.
    struct stat link {};
    if (::lstat(QFile::encodeName(entryPath()).constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (error)
            *error = QStringLiteral("%1 is a link; it is left as it is.").arg(entryPath());
        return false;
    }
    const files::StoredFile file = files::readStoredFile(entryPath());
    if (file.state == files::StoredFile::State::unreadable) {
        if (error)
            *error = QStringLiteral("%1 cannot be read (%2); it is left as it is.").arg(entryPath(), file.error);
        return false;
    }
    return files::writeAtomically(entryPath(), entryFor(program), error);
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
