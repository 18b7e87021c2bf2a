#pragma once

#include "platform/Power.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

namespace qv {

// Publishes the system's thermal state and follows its changes. Main thread.
class ThermalMonitor final : public QObject {
    Q_OBJECT
    Q_PROPERTY(int state READ stateValue NOTIFY stateChanged)
public:
    // Follows the power service of the installed platform.
    explicit ThermalMonitor(QObject *parent = nullptr);
    // Follows the given power service (not owned; nullptr: stays nominal).
    explicit ThermalMonitor(Power *power, QObject *parent = nullptr);
    ~ThermalMonitor() override;

    ThermalState state() const { return m_state; }
    int stateValue() const { return static_cast<int>(m_state); }

signals:
    void stateChanged();

private:
    void refresh();

    QPointer<Power> m_power;
    ThermalState m_state = ThermalState::Nominal;
    QMetaObject::Connection m_observer;
};

} // namespace qv
