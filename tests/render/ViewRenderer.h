#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace qv::test {

// Loads one view (a QML file, or a type "Module.Name/Type") into a window of a given size
// and grabs what it draws. The caller provides the environment (clock, defaults, machine).
struct ViewRequest {
    QString view;     // a URL (qrc:/..., file path) or "Quellvista.App/MainWindow"
    QSize size{1100, 760};
    int settleFrames = 3;
};

struct RenderResult {
    QImage image;
    QStringList warnings; // every warning printed while the view loaded and drew
    QString error;        // the view could not be created
};

RenderResult renderView(const ViewRequest &request);

// Installs a message handler that records warnings (QML warnings among them) until
// destroyed.
class WarningRecorder {
public:
    WarningRecorder();
    ~WarningRecorder();
    QStringList warnings() const;
};

} // namespace qv::test
