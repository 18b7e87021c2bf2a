#pragma once

#include "app/MainWindowModel.h"
#include "display/ChipFamily.h"
#include "display/ProtectionStatus.h"

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
// word, and when the window opened. Like any view it is drawn again when what it shows
// may have changed (the display engine's state, the start time, the appearance), and
// each time it reads the host name afresh.
class SidebarStatusCardModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QDateTime activeSince READ activeSince WRITE setActiveSince NOTIFY activeSinceChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusChanged)
    Q_PROPERTY(QColor statusColor READ statusColor NOTIFY statusChanged)
    Q_PROPERTY(QString hostLine READ hostLine NOTIFY hostLineChanged)
    Q_PROPERTY(QString activeSinceLine READ activeSinceLine NOTIFY activeSinceChanged)
    // The width the host line has. The line, laid out in the caption font across
    // hostLineLayoutWidth, is drawn scaled by hostLineScale: shrunk to fit the width, down
    // to minimumScale(), beyond which it truncates. (Fonts come in whole pixel sizes, so
    // the line is scaled rather than set in a smaller font.)
    Q_PROPERTY(qreal hostLineWidth READ hostLineWidth WRITE setHostLineWidth NOTIFY hostLineChanged)
    Q_PROPERTY(qreal hostLineScale READ hostLineScale NOTIFY hostLineChanged)
    Q_PROPERTY(qreal hostLineLayoutWidth READ hostLineLayoutWidth NOTIFY hostLineChanged)
public:
    explicit SidebarStatusCardModel(QObject *parent = nullptr);

    QDateTime activeSince() const { return m_activeSince; }
    void setActiveSince(const QDateTime &when);
    qreal hostLineWidth() const { return m_hostLineWidth; }
    void setHostLineWidth(qreal width);

    // "All systems optimal" while every protection this machine offers acts on the screen,
    // else the pop-over's words ("Partial protection", "Protection off"): one reading,
    // ProtectionStatus, for both.
    QString statusText() const;
    static QString statusText(const ProtectionStatus &status);
    // The dot beside it: sage when all act, copper when some do, grey when none.
    QColor statusColor() const;
    // The host name (as last read) and the support word of this Mac's chip family.
    QString hostLine() const { return m_hostLine; }
    qreal hostLineScale() const { return m_hostLineScale; }
    qreal hostLineLayoutWidth() const { return m_hostLineLayoutWidth; }
    QString activeSinceLine() const;
    static constexpr qreal minimumScale() { return 0.86; }

    // "<host> · Supported", or "Limited support" for an unknown chip; "This Mac" when the
    // host has no name ("This computer" on the computer itself). Where framebuffers cannot
    // hold dithering and uniformity, the support word says what is left: "Software dimming
    // only".
    static QString hostLine(const std::optional<QString> &hostName, ChipFamily family,
                            bool framebufferProtections = true);
    // "Active since " and the time in the locale's short format, no date.
    static QString activeSinceLine(const QDateTime &when, const QLocale &locale);
    // This Mac's chip family, as the display engine detected it.
    static ChipFamily chipFamily();
    // The scale, between minimumScale() and 1, at which text in font fits width (the
    // smallest when even that is too wide).
    static qreal fittingScale(const QFont &font, const QString &text, qreal width);

    // Draws the card again: reads the host name and fits the line.
    void redraw();

signals:
    void activeSinceChanged();
    void hostLineChanged();
    void statusChanged();

private:
    ProtectionStatus m_protections;
    QDateTime m_activeSince;
    qreal m_hostLineWidth = 0;
    QString m_hostLine;
    qreal m_hostLineScale = 1;
    qreal m_hostLineLayoutWidth = 0;
};

} // namespace qv
