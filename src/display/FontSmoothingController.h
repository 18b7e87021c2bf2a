#pragma once

#include "runtime/Logging.h"

#include <QDateTime>
#include <QObject>
#include <QString>

namespace qv {

// The system-wide font-smoothing switch, the boolean "CGFontRenderingFontSmoothingDisabled"
// of the global defaults domain, read and written through the "defaults" command.
// Construction reads nothing: isDisabled stays false until the first refresh().
class FontSmoothingController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isDisabled READ isDisabled NOTIFY isDisabledChanged)
    Q_PROPERTY(QDateTime lastToggleTime READ lastToggleTime NOTIFY lastToggleTimeChanged)
public:
    static inline const QString kProgram = QStringLiteral("/usr/bin/defaults");
    static inline const QString kKey = QStringLiteral("CGFontRenderingFontSmoothingDisabled");
    // How long one command may run before it is taken as failed.
    static constexpr int kTimeoutMs = 5000;

    explicit FontSmoothingController(QObject *parent = nullptr);

    bool isDisabled() const { return m_isDisabled; }
    // When setDisabled() last switched the setting; invalid when it never has.
    QDateTime lastToggleTime() const { return m_lastToggleTime; }

    // Reads the global setting. A command that cannot start, crashes or runs past its
    // timeout leaves the value as it was; any output other than "1" (after trimming) is false.
    Q_INVOKABLE void refresh();
    // Writes the global setting when it differs from isDisabled(); a command that does not
    // succeed is logged and changes nothing.
    Q_INVOKABLE void setDisabled(bool disabled);

signals:
    void isDisabledChanged();
    void lastToggleTimeChanged();

private:
    void assignDisabled(bool disabled);

    bool m_isDisabled = false;
    QDateTime m_lastToggleTime;
    Logger m_log{"FontSmoothing"};
};

} // namespace qv
