#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace qv::design {

// One way (across or down) of a page that scrolls: its content is as large as its view, or
// as large as the page needs where the view is smaller (a tiling window manager may give the
// window far less than the minimum it asks for), and it then scrolls that way. A page lays
// itself out at no less than `pageWidth` across, the width the main window gives it at its
// minimum size, where nothing of it is cut short.
class ScrollExtent : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(double view READ view WRITE setView NOTIFY changed)
    Q_PROPERTY(double needed READ needed WRITE setNeeded NOTIFY changed)
    Q_PROPERTY(double content READ content NOTIFY changed)
    Q_PROPERTY(bool scrolls READ scrolls NOTIFY changed)
    Q_PROPERTY(int pageWidth READ pageWidth CONSTANT)
    Q_PROPERTY(int narrowestPage READ narrowestPage CONSTANT)
public:
    using QObject::QObject;

    // The main window's page at its minimum width: 1100 less the sidebar's 260.
    static constexpr int kPageWidth = 840;
    // The least width left to a page beside the sidebar: a window narrower than the sidebar
    // and this scrolls across as a whole.
    static constexpr int kNarrowestPage = 240;

    double view() const { return m_view; }
    void setView(double view);
    double needed() const { return m_needed; }
    void setNeeded(double needed);
    double content() const;
    bool scrolls() const;
    static int pageWidth() { return kPageWidth; }
    static int narrowestPage() { return kNarrowestPage; }

signals:
    void changed();

private:
    double m_view = 0;
    double m_needed = kPageWidth;
};

} // namespace qv::design
