#pragma once

#include <QProcess>
#include <QString>

#include <memory>

namespace qv::test {

// A virtual X server of one screen for one test, started on a free display number.
// display() is empty when it could not be started (Xvfb missing).
class XvfbServer {
public:
    explicit XvfbServer(const QString &screen = QStringLiteral("1920x1200x24"));
    ~XvfbServer();

    const QString &display() const { return m_display; }

private:
    std::unique_ptr<QProcess> m_process;
    QString m_display;
};

} // namespace qv::test
