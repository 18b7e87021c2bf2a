#pragma once

#include "runtime/Logging.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <optional>

namespace qv {

// The system-wide font-smoothing switch, the boolean "CGFontRenderingFontSmoothingDisabled"
// of the global defaults domain, read and written through the "defaults" command.
// Construction reads nothing: isDisabled stays false until the first refresh().
//
// On a Linux desktop the switch is the desktop's font antialiasing (GNOME's
// "org.gnome.desktop.interface font-antialiasing", through "gsettings"): disabled is
// "none". The value the desktop had before the first switch is kept in the
// application-support folder and put back when the application terminates, or at the next
// start after a crash. A desktop without the setting cannot switch it (isAvailable false).
class FontSmoothingController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isDisabled READ isDisabled NOTIFY isDisabledChanged)
    Q_PROPERTY(bool isAvailable READ isAvailable NOTIFY isAvailableChanged)
    Q_PROPERTY(QDateTime lastToggleTime READ lastToggleTime NOTIFY lastToggleTimeChanged)
public:
    static inline const QString kProgram = QStringLiteral("/usr/bin/defaults");
    static inline const QString kKey = QStringLiteral("CGFontRenderingFontSmoothingDisabled");
    static inline const QString kDesktopProgram = QStringLiteral("gsettings");
    static inline const QString kDesktopSchema = QStringLiteral("org.gnome.desktop.interface");
    static inline const QString kDesktopKey = QStringLiteral("font-antialiasing");
    // Where the desktop's own value waits to be put back, in the application-support folder.
    static inline const QString kKeptValueFile = QStringLiteral("desktop-font-antialiasing.json");
    // How long one command may run before it is taken as failed.
    static constexpr int kTimeoutMs = 5000;

    // On a Linux desktop, puts back a value a crashed run left switched.
    explicit FontSmoothingController(QObject *parent = nullptr);

    bool isDisabled() const { return m_isDisabled; }
    // Whether the setting exists here and can be switched (always on a Mac; on a Linux
    // desktop once refresh() found it).
    bool isAvailable() const { return m_isAvailable; }
    // When setDisabled() last switched the setting; invalid when it never has.
    QDateTime lastToggleTime() const { return m_lastToggleTime; }

    // Reads the global setting. A command that cannot start, crashes or runs past its
    // timeout leaves the value as it was; any output other than "1" (after trimming) is false.
    Q_INVOKABLE void refresh();
    // Writes the global setting when it differs from isDisabled(); a command that does not
    // succeed is logged and changes nothing.
    Q_INVOKABLE void setDisabled(bool disabled);
    // Linux desktop: puts back the desktop's own value when a switch of ours changed it.
    void restoreDesktopValue();

signals:
    void isDisabledChanged();
    void isAvailableChanged();
    void lastToggleTimeChanged();

private:
    void refreshDesktop();
    void setDesktopDisabled(bool disabled);
    std::optional<QString> readDesktopValue(QString *failure);
    bool writeDesktopValue(const QString &value, QString *failure);
    QString keptValuePath() const;
    std::optional<QString> keptValue() const;
    void assignDisabled(bool disabled);
    void assignAvailable(bool available);

    bool m_onHost = false;
    bool m_isAvailable = true;
    bool m_unavailableReported = false;
    bool m_isDisabled = false;
    QDateTime m_lastToggleTime;
    Logger m_log{"FontSmoothing"};
};

} // namespace qv
