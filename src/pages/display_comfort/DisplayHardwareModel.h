#pragma once

#include "display/LiveVerificationMonitor.h"
#include "display/ProtectionStatus.h"
#include "runtime/StoredSetting.h"

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <memory>

namespace qv {

class DisplayEngine;

// The three stored hardware protection switches as a view binds them: "disableDithering",
// "disableUniformity2D" and "pwmAvoidanceEnabled", with the application's defaults.
class ProtectionSwitches : public QObject {
    Q_OBJECT
public:
    explicit ProtectionSwitches(QObject *parent = nullptr);

    bool disableDithering() const { return m_disableDithering.value().toBool(); }
    bool disableUniformity2D() const { return m_disableUniformity2D.value().toBool(); }
    bool pwmAvoidanceEnabled() const { return m_pwmAvoidanceEnabled.value().toBool(); }
    void setDisableDithering(bool on) { m_disableDithering.setValue(on); }
    void setDisableUniformity2D(bool on) { m_disableUniformity2D.setValue(on); }
    void setPwmAvoidanceEnabled(bool on) { m_pwmAvoidanceEnabled.setValue(on); }

signals:
    void changed();

private:
    StoredSetting m_disableDithering;
    StoredSetting m_disableUniformity2D;
    StoredSetting m_pwmAvoidanceEnabled;
};

// The collapsible "Display hardware" block: its header summarises how many displays its
// own live-verification monitor sees (made with the block, checking at once and every
// 2 s, gone with the block) and how many of the assists act on the screen
// (ProtectionStatus); the header row expands and collapses it. It starts collapsed.
class DisplayHardwareModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool expanded READ expanded WRITE setExpanded NOTIFY expandedChanged)
    Q_PROPERTY(int displayCount READ displayCount NOTIFY summaryChanged)
    Q_PROPERTY(int activeAssistCount READ activeAssistCount NOTIFY summaryChanged)
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString summary READ summary NOTIFY summaryChanged)
    Q_PROPERTY(QString toggleText READ toggleText NOTIFY expandedChanged)
    Q_PROPERTY(qreal chevronRotation READ chevronRotation NOTIFY expandedChanged)
    Q_PROPERTY(QColor badgeFill READ badgeFill NOTIFY colorsChanged)
    Q_PROPERTY(QColor badgeSymbolColor READ badgeSymbolColor NOTIFY colorsChanged)
    Q_PROPERTY(QString note READ note CONSTANT)
    Q_PROPERTY(QString accessibleValue READ accessibleValue NOTIFY expandedChanged)
    Q_PROPERTY(QString headerHint READ headerHint CONSTANT)
    Q_PROPERTY(QString cardLabel READ cardLabel CONSTANT)
    Q_PROPERTY(QString cardHint READ cardHint CONSTANT)
public:
    explicit DisplayHardwareModel(QObject *parent = nullptr);
    explicit DisplayHardwareModel(DisplayEngine &engine, QObject *parent = nullptr);
    ~DisplayHardwareModel() override;

    bool expanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    Q_INVOKABLE void toggleExpanded() { setExpanded(!m_expanded); }

    int displayCount() const { return int(m_monitor->snapshot().displayStates.size()); }
    int activeAssistCount() const;
    static QString title() { return QStringLiteral("Display hardware"); }
    // "<displays> connected - <assists> assist(s) active".
    static QString summaryText(qint64 displays, qint64 assists);
    QString summary() const { return summaryText(displayCount(), activeAssistCount()); }
    QString toggleText() const;
    qreal chevronRotation() const { return m_expanded ? 90 : 0; }
    QColor badgeFill() const;
    QColor badgeSymbolColor() const;
    static QString note();
    QString accessibleValue() const;
    static QString headerHint() { return QStringLiteral("Shows or hides display hardware controls."); }
    static QString cardLabel() { return QStringLiteral("Display hardware controls"); }
    static QString cardHint()
    {
        return QStringLiteral("Expands controls for backlight assist, panel smoothing, and uniformity.");
    }

    LiveVerificationMonitor &monitor() const { return *m_monitor; }
    ProtectionSwitches &switches() { return m_switches; }

signals:
    void expandedChanged();
    void summaryChanged();
    void colorsChanged();

private:
    ProtectionSwitches m_switches;
    std::unique_ptr<LiveVerificationMonitor> m_monitor;
    ProtectionStatus m_status;
    bool m_expanded = false;
};

} // namespace qv
