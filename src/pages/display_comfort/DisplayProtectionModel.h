#pragma once

#include "runtime/ShownText.h"

#include "display/LiveVerificationSnapshot.h"
#include "pages/display_comfort/DisplayHardwareModel.h"

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <memory>

namespace qv {

class DisplayEngine;
class LiveVerificationMonitor;

// How the drawn display icon stands: a foot and base under a monitor, television or
// projector; one long bar under any other display that is not external (a laptop's
// base); nothing under other external displays.
enum class DisplayStand { footAndBase, bar, none };

namespace displayCard {
DisplayStand stand(const LiveVerificationDisplayState &display);
// The connection and the resolution that are present and not empty, joined by " - ";
// with neither, "External display" or "Built-in retina display".
QString connectionSummary(const LiveVerificationDisplayState &display);
// The share of the display's protections that are on, in whole percent (truncated):
// dithering off, PWM-safe dimming on, and, for a display that is not external and
// exposes it, uniformity off. Where framebuffers cannot hold dithering and uniformity
// (framebufferProtections false), PWM-safe dimming alone counts.
int protectionScore(const LiveVerificationDisplayState &display, bool pwmAvoidanceEnabled,
                    bool framebufferProtections = true);
} // namespace displayCard

class DisplayProtectionModel;

// One display's card: what the display is, its protections as the last check read them
// (PWM-safe dimming while it acts on the screen), the switches and the score.
class DisplayCardModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString name READ name NOTIFY changed)
    Q_PROPERTY(QString typeLabel READ typeLabel NOTIFY changed)
    Q_PROPERTY(QString iconName READ iconName NOTIFY changed)
    Q_PROPERTY(bool isVirtual READ isVirtual NOTIFY changed)
    Q_PROPERTY(QString connectionSummary READ connectionSummary NOTIFY changed)
    Q_PROPERTY(QString detailLine READ detailLine NOTIFY changed)
    Q_PROPERTY(int stand READ standValue NOTIFY changed)
    Q_PROPERTY(bool ditheringOn READ ditheringOn NOTIFY changed)
    Q_PROPERTY(bool pwmOn READ pwmOn NOTIFY changed)
    Q_PROPERTY(bool uniformityOn READ uniformityOn NOTIFY changed)
    Q_PROPERTY(bool showsUniformity READ showsUniformity NOTIFY changed)
    Q_PROPERTY(int score READ score NOTIFY changed)
    Q_PROPERTY(QString scoreText READ scoreText NOTIFY changed)
    Q_PROPERTY(QColor scoreColor READ scoreColor NOTIFY changed)
    Q_PROPERTY(QString ditheringText READ ditheringText NOTIFY changed)
    Q_PROPERTY(QString pwmText READ pwmText NOTIFY changed)
    Q_PROPERTY(QString uniformityText READ uniformityText NOTIFY changed)
    // Dithering and uniformity can be switched on this machine.
    Q_PROPERTY(bool framebufferSwitchesAvailable READ framebufferSwitchesAvailable CONSTANT)
public:
    DisplayCardModel(DisplayProtectionModel &list, const LiveVerificationDisplayState &display);

    const LiveVerificationDisplayState &display() const { return m_display; }
    void setDisplay(const LiveVerificationDisplayState &display);
    void refresh() { emit changed(); }

    // A name from the registry or the profiler: direction controls made inert.
    QString name() const { return showntext::inert(m_display.name); }
    QString typeLabel() const { return m_display.typeLabel; }
    QString iconName() const { return m_display.iconName; }
    bool isVirtual() const { return m_display.isVirtual; }
    QString connectionSummary() const { return displayCard::connectionSummary(m_display); }
    QString detailLine() const { return m_display.detailLine; }
    DisplayStand stand() const { return displayCard::stand(m_display); }
    int standValue() const { return int(stand()); }
    bool ditheringOn() const { return !m_display.ditherEnabled; }
    bool pwmOn() const;
    bool uniformityOn() const { return m_display.uniformity2D == false; }
    bool showsUniformity() const { return !m_display.isExternal; }
    bool framebufferSwitchesAvailable() const;
    int score() const { return displayCard::protectionScore(m_display, pwmOn(), framebufferSwitchesAvailable()); }
    QString scoreText() const { return QString::number(score()) + QLatin1Char('%'); }
    QColor scoreColor() const;
    QString ditheringText() const { return availableOnOff(ditheringOn()); }
    QString pwmText() const { return onOff(pwmOn()); }
    QString uniformityText() const { return availableOnOff(uniformityOn()); }
    static QString onOff(bool on) { return on ? QStringLiteral("On") : QStringLiteral("Off"); }
    // "Unavailable" where the switch cannot act on this machine.
    QString availableOnOff(bool on) const
    {
        return framebufferSwitchesAvailable() ? onOff(on) : QStringLiteral("Unavailable");
    }

    // The switches: each stores its setting, then calls the display engine at once.
    Q_INVOKABLE void setDithering(bool on);
    Q_INVOKABLE void setPwm(bool on);
    Q_INVOKABLE void setUniformity(bool on);

signals:
    void changed();

private:
    DisplayProtectionModel &m_list;
    LiveVerificationDisplayState m_display;
};

// The protection cards inside the expanded "Display hardware" block: one card per display
// of its own live-verification monitor's snapshot (made with the list, checking at once
// and every 2 s, gone with the list), in the snapshot's order and kept by display id.
class DisplayProtectionModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QList<QObject *> cards READ cardObjects NOTIFY cardsChanged)
    Q_PROPERTY(QString ditheringTitle READ ditheringTitle CONSTANT)
    Q_PROPERTY(QString pwmTitle READ pwmTitle CONSTANT)
    Q_PROPERTY(QString uniformityTitle READ uniformityTitle CONSTANT)
    Q_PROPERTY(QString scoreCaption READ scoreCaption CONSTANT)
    Q_PROPERTY(QString virtualBadge READ virtualBadge CONSTANT)
public:
    explicit DisplayProtectionModel(QObject *parent = nullptr);
    explicit DisplayProtectionModel(DisplayEngine &engine, QObject *parent = nullptr);
    ~DisplayProtectionModel() override;

    QList<QObject *> cardObjects() const;
    const QList<DisplayCardModel *> &cards() const { return m_cards; }
    DisplayEngine &engine() const { return m_engine; }
    ProtectionSwitches &switches() { return m_switches; }
    // What acts on the screen, as every status line reads it.
    const ProtectionStatus &status() const { return m_status; }
    LiveVerificationMonitor &monitor() const { return *m_monitor; }

    static QString ditheringTitle() { return QStringLiteral("Dithering"); }
    static QString pwmTitle() { return QStringLiteral("PWM"); }
    static QString uniformityTitle() { return QStringLiteral("Uniformity"); }
    static QString scoreCaption() { return QStringLiteral("Optimized"); }
    static QString virtualBadge() { return QStringLiteral("Virtual"); }

signals:
    void cardsChanged();

private:
    void rebuild();

    DisplayEngine &m_engine;
    ProtectionSwitches m_switches;
    ProtectionStatus m_status;
    std::unique_ptr<LiveVerificationMonitor> m_monitor;
    QList<DisplayCardModel *> m_cards;
};

} // namespace qv
