#include "runtime/Logging.h"

#include <QHash>
#include <QMutex>

#include <cstdarg>
#include <deque>
#include <memory>

namespace qv {

namespace {
// QLoggingCategory keeps the name pointer, so names and categories live for the process.
const QLoggingCategory *categoryFor(const char *name)
{
    static QMutex mutex;
    static QHash<QByteArray, const QLoggingCategory *> categories;
    static std::deque<QByteArray> names;
    static std::deque<std::unique_ptr<QLoggingCategory>> owned;
    QMutexLocker lock(&mutex);
    const QByteArray full = QByteArray(kLogSubsystem) + '.' + name;
    if (auto it = categories.constFind(full); it != categories.constEnd())
        return it.value();
    names.push_back(full);
    owned.push_back(std::make_unique<QLoggingCategory>(names.back().constData(), QtDebugMsg));
    categories.insert(full, owned.back().get());
    return owned.back().get();
}

void writeMessage(const QLoggingCategory *category, QtMsgType type, const char *format, va_list args)
{
    const QString text = QString::vasprintf(format, args);
    switch (type) {
    case QtDebugMsg:
        if (category->isDebugEnabled())
            QMessageLogger(nullptr, 0, nullptr, category->categoryName()).debug().noquote() << text;
        break;
    case QtInfoMsg:
        if (category->isInfoEnabled())
            QMessageLogger(nullptr, 0, nullptr, category->categoryName()).info().noquote() << text;
        break;
    default:
        if (category->isCriticalEnabled())
            QMessageLogger(nullptr, 0, nullptr, category->categoryName()).critical().noquote() << text;
        break;
    }
}
} // namespace

Logger::Logger(const char *category) : m_category(categoryFor(category)) {}

void Logger::debug(const char *format, ...) const
{
    va_list args;
    va_start(args, format);
    writeMessage(m_category, QtDebugMsg, format, args);
    va_end(args);
}

void Logger::info(const char *format, ...) const
{
    va_list args;
    va_start(args, format);
    writeMessage(m_category, QtInfoMsg, format, args);
    va_end(args);
}

void Logger::error(const char *format, ...) const
{
    va_list args;
    va_start(args, format);
    writeMessage(m_category, QtCriticalMsg, format, args);
    va_end(args);
}

} // namespace qv
