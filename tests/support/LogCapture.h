#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

namespace qv::test {

struct LogEntry {
    QString category; // the part after "com.tebrix.Quellvista."
    QtMsgType type;
    QString message;
};

// Records every log message while it exists (and still prints nothing).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();

    QList<LogEntry> entries() const;
    // Messages of one category ("DisplayEngine"), in order.
    QStringList messages(const QString &category) const;
    bool contains(const QString &category, const QString &message) const;
    // Any message of the category that contains the text.
    bool containsPart(const QString &category, const QString &part) const;
    int count(const QString &category, const QString &message) const;
    void clear();
};

} // namespace qv::test
