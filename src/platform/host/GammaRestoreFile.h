#pragma once

#include "platform/host/GammaRamp.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace qv {

// The ramp a CRTC had before we first changed it, with what identifies the CRTC in the
// screen layout it was found in.
struct SavedGammaRamp {
    quint32 crtc = 0;
    QStringList outputs; // the names of the outputs it drove
    GammaRamp ramp;
    bool operator==(const SavedGammaRamp &) const = default;
};

// The original ramps of one X display, kept in the runtime folder while they are changed,
// so that the next start can put them back after a kill or a crash.
class GammaRestoreFile {
public:
    explicit GammaRestoreFile(QString path) : m_path(std::move(path)) {}

    // "<runtime folder>/Quellvista/gamma-ramps-<display>.json" for an X display name.
    static QString pathForDisplay(const QString &displayName);

    const QString &path() const { return m_path; }

    enum class State { absent, read, corrupt };
    // Reads the ramps kept for the display; a file for another display, of another format
    // or with a ramp whose channels disagree in size is corrupt (why, in error).
    State read(const QString &displayName, QList<SavedGammaRamp> *ramps, QString *error) const;
    bool write(const QString &displayName, const QList<SavedGammaRamp> &ramps, QString *error) const;
    void remove() const;

private:
    QString m_path;
};

} // namespace qv
