#pragma once

#include "platform/host/GammaRestoreFile.h"

#include <QList>
#include <QString>

#include <optional>

namespace qv {

// A monitor a CRTC shows: the output that drives it and the monitor's identity.
struct ShownMonitor {
    QString output;
    // Empty without an EDID: the output stands for the monitor. Twins (monitors that share
    // an identity) carry their output's name too ("<identity> on DP-1").
    QString monitor;
};

// Which ramps go back where, for every copy of ours on one server. Each entry records the
// ramp a CRTC held before the first write of ours to it, for a monitor it showed then; a
// monitor that arrives on a CRTC written already gets the CRTC's original, never the tint
// on it. What goes back on a CRTC is the original of a monitor it shows now where one is
// kept, else the CRTC's own original. Each entry names the copies (users) that rely on it;
// one with no user left is dropped. Entries without a CRTC (kept by older versions) name
// an output: their ramp goes back only where that output shows that monitor again.
class GammaOriginals {
public:
    GammaOriginals() = default;
    explicit GammaOriginals(QList<SavedGammaRamp> entries) : m_entries(std::move(entries)) {}

    const QList<SavedGammaRamp> &entries() const { return m_entries; }
    bool isEmpty() const { return m_entries.isEmpty(); }

    // Whether the user may write the CRTC without keeping anything first: it relies on
    // the CRTC's original and every monitor shown has one.
    bool covers(quint32 crtc, const QList<ShownMonitor> &shown, const QString &user) const;
    // Whether the CRTC's original is known (keep() then needs no ramp read from it).
    bool knowsCrtc(quint32 crtc) const;
    // Records the originals before the user writes the CRTC; current is what it holds now,
    // used only where the CRTC's original is not known.
    void keep(quint32 crtc, const QList<ShownMonitor> &shown, const GammaRamp &current, const QString &user);
    // The ramp that goes back on the CRTC (a monitor's original only of the CRTC's size);
    // nothing when none is kept for it.
    std::optional<GammaRamp> rampFor(quint32 crtc, const QList<ShownMonitor> &shown, int size) const;
    // The CRTCs the entries name, each once.
    QList<quint32> crtcs() const;
    bool heldBy(quint32 crtc, const QString &user) const;
    // Whether a copy other than self that is still running relies on the CRTC.
    bool heldByAnotherRunning(quint32 crtc, const QString &self) const;
    // The user no longer relies on the CRTC; entries left without users are dropped.
    void release(quint32 crtc, const QString &user);
    // Forgets everything kept for the CRTC.
    void drop(quint32 crtc);
    // The monitor is known by another name now (a twin of it arrived or left); whether an
    // entry named it.
    bool renameMonitor(const QString &from, const QString &to);
    // The monitor's original, known from elsewhere, kept for the CRTC that shows it now
    // for the users that rely on that CRTC; nothing where none does or the monitor has one.
    void keepFor(quint32 crtc, const ShownMonitor &shown, const GammaRamp &ramp);
    // Entries kept by older versions, by output.
    QList<SavedGammaRamp> byOutputOnly() const;
    void dropByOutputOnly(const QList<SavedGammaRamp> &entries);

    // A name for one user in this process that no other process, and no later user in
    // this one, carries; the user counts as running until endUser().
    static QString newUser();
    static void endUser(const QString &user);
    static bool isRunning(const QString &user);

private:
    const SavedGammaRamp *monitorOriginal(const ShownMonitor &shown) const;
    const SavedGammaRamp *crtcOriginal(quint32 crtc) const;

    QList<SavedGammaRamp> m_entries; // in the order they were kept
};

} // namespace qv
