#pragma once

#include "app/MainWindowModel.h"
#include "display/ChipFamily.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace qv {

// What one sidebar row shows for its section and state: the selected look wins over
// hovering (the background itself is the SidebarRow surface).
class SidebarItemModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(MainWindowModel::Section section READ section WRITE setSection NOTIFY changed)
    Q_PROPERTY(bool selected READ selected WRITE setSelected NOTIFY changed)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString symbol READ symbol NOTIFY changed)
    Q_PROPERTY(QColor iconColor READ iconColor NOTIFY changed)
    Q_PROPERTY(QColor titleColor READ titleColor NOTIFY changed)
    Q_PROPERTY(QFont titleFont READ titleFont NOTIFY changed)
public:
    explicit SidebarItemModel(QObject *parent = nullptr);

    MainWindowModel::Section section() const { return m_section; }
    void setSection(MainWindowModel::Section section);
    bool selected() const { return m_selected; }
    void setSelected(bool selected);

    QString title() const;
    QString symbol() const;
    QColor iconColor() const;
    QColor titleColor() const;
    QFont titleFont() const;

signals:
    void changed();

private:
    MainWindowModel::Section m_section = MainWindowModel::DisplayAndComfort;
    bool m_selected = false;
};

// The sidebar's small card about this Mac: a status line, the host name with the support
// word, and when the window opened.
class SidebarStatusCardModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QDateTime activeSince READ activeSince WRITE setActiveSince NOTIFY changed)
    Q_PROPERTY(QString statusText READ statusText CONSTANT)
    Q_PROPERTY(QString hostLine READ hostLine NOTIFY changed)
    Q_PROPERTY(QString activeSinceLine READ activeSinceLine NOTIFY changed)
    // The host line may shrink to this fraction of its size before it truncates.
    Q_PROPERTY(qreal minimumScale READ minimumScale CONSTANT)
public:
    explicit SidebarStatusCardModel(QObject *parent = nullptr);

    QDateTime activeSince() const { return m_activeSince; }
    void setActiveSince(const QDateTime &when);

    static QString statusText();
    // The host name (read now) and the support word of this Mac's chip family.
    QString hostLine() const;
    QString activeSinceLine() const;
    static qreal minimumScale() { return 0.86; }

    // "<host> · Supported", or "Limited support" for an unknown chip; "This Mac" when the
    // host has no name.
    static QString hostLine(const std::optional<QString> &hostName, ChipFamily family);
    // "Active since " and the time in the locale's short format, no date.
    static QString activeSinceLine(const QDateTime &when, const QLocale &locale);
    // This Mac's chip family, as the display engine detected it.
    static ChipFamily chipFamily();

signals:
    void changed();

private:
    QDateTime m_activeSince;
};

} // namespace qv
