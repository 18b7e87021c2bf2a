#pragma once

#include "platform/host/GammaRamp.h"

#include <QList>
#include <QStringList>
#include <QString>

namespace qv {

// The ramp a CRTC had before we first changed it, with what identifies the monitor it
// showed: the output's name and the identity of the monitor on it.
struct SavedGammaRamp {
    QString output;  // "DP-1"
    QString monitor; // the EDID's vendor, product and serial; empty without an EDID
    GammaRamp ramp;
    quint32 crtc = 0;  // 0 in files of older versions, which kept ramps by output
    QStringList users; // the running copies that rely on it (GammaOriginals::newUser())
    bool operator==(const SavedGammaRamp &) const = default;
};

// The original ramps of one X server's outputs, kept in a private runtime folder while
// they are changed, so that the next start can put them back after a kill or a crash.
// The file names the server by its display number (":0", ":0.0" and "unix:0" are one
// server) and holds the mark the server carried when the ramps were kept: a server that
// was started again carries another one.
class GammaRestoreFile {
public:
    explicit GammaRestoreFile(QString path) : m_path(std::move(path)) {}

    // The folder for files of this run that must not outlive the session and that no
    // other user may plant or read: $XDG_RUNTIME_DIR/Quellvista, else a folder of ours
    // under the temporary folder, created with mode 0700 and checked for its owner and
    // mode, never through a link. Empty, with the reason in error, when there is none.
    static QString privateFolder(QString *error);
    // The server a display name reaches ("host/N"; "N" on this machine); empty when the
    // name is not a display name.
    static QString serverOfDisplay(const QString &displayName);
    // "<private folder>/gamma-ramps-<server>.json"; empty, with the reason, without one.
    static QString pathForDisplay(const QString &displayName, QString *error = nullptr);
    // "<private folder>/gamma-ramps-<server>.json" for a server named otherwise (a
    // Wayland compositor by its session bus); empty, with the reason, without one.
    static QString pathForServer(const QString &server, QString *error = nullptr);
    // Removes the temporary files interrupted writes left in the private folder.
    static int removeStaleTemporaryFiles();

    const QString &path() const { return m_path; }

    enum class State { absent, read, corrupt };
    // Reads the ramps kept for the server; a file that is no regular file of ours, of
    // another format or server, or with a ramp whose channels disagree in size is corrupt
    // (why, in error). serverMark hears the mark it holds.
    State read(const QString &server, QString *serverMark, QList<SavedGammaRamp> *ramps, QString *error) const;
    bool write(const QString &server, const QString &serverMark, const QList<SavedGammaRamp> &ramps,
               QString *error) const;
    void remove() const;

    // Holds the file for one read and write against the other copies of ours on the
    // server (a lock on a file beside it); released with the object.
    class Lock {
    public:
        explicit Lock(const GammaRestoreFile &file);
        ~Lock();
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;

    private:
        int m_fd = -1;
    };

private:
    QString m_path;
};

} // namespace qv
