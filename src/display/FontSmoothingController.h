#pragma once

#include "runtime/Logging.h"
#include "runtime/Settings.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

namespace qv {

class FontSmoothing;

// The system-wide font-smoothing switch, through the platform's font-smoothing service (on
// a Mac the boolean "CGFontRenderingFontSmoothingDisabled" of the global defaults domain).
// Construction reads nothing: isDisabled stays false until the first refresh(). The service
// may answer later than the call; the published state follows its answers, and changes
// someone else makes to the setting while this runs.
class FontSmoothingController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isDisabled READ isDisabled NOTIFY isDisabledChanged)
    Q_PROPERTY(bool isAvailable READ isAvailable NOTIFY isAvailableChanged)
    Q_PROPERTY(QDateTime lastToggleTime READ lastToggleTime NOTIFY lastToggleTimeChanged)
    Q_PROPERTY(QString failure READ failure NOTIFY failureChanged)
public:
    static inline const QString kKey = settings::fontSmoothingDisabled.name();

    explicit FontSmoothingController(QObject *parent = nullptr);

    bool isDisabled() const { return m_isDisabled; }
    // Whether the setting exists here and can be switched (always on a Mac; on a desktop
    // once a read found it).
    bool isAvailable() const { return m_isAvailable; }
    // When setDisabled() last switched the setting; invalid when it never has.
    QDateTime lastToggleTime() const { return m_lastToggleTime; }
    // Why the last switch did not take, for the user; empty when it did.
    QString failure() const { return m_failure; }

    // Reads the global setting. A read that fails leaves the value as it was.
    Q_INVOKABLE void refresh();
    // Writes the global setting when it differs from isDisabled(); the setting is read back,
    // and a write that did not take is logged and published as failure().
    Q_INVOKABLE void setDisabled(bool disabled);

signals:
    void isDisabledChanged();
    void isAvailableChanged();
    void lastToggleTimeChanged();
    void failureChanged();

private:
    FontSmoothing *service();
    void assignDisabled(bool disabled);
    void assignAvailable(bool available);
    void assignFailure(const QString &failure);

    QPointer<FontSmoothing> m_service;
    bool m_isAvailable = false;
    bool m_isDisabled = false;
    QDateTime m_lastToggleTime;
    QString m_failure;
    Logger m_log{"FontSmoothing"};
};

} // namespace qv
