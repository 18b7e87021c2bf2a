#pragma once

#include <QLoggingCategory>
#include <QString>

namespace qv {

// One logger per component, category "com.tebrix.Quellvista.<Category>". Messages are
// printf-style; pass texts with qUtf8Printable().
class Logger {
public:
    explicit Logger(const char *category);

    const QLoggingCategory &category() const { return *m_category; }

    void debug(const char *format, ...) const Q_ATTRIBUTE_FORMAT_PRINTF(2, 3);
    void info(const char *format, ...) const Q_ATTRIBUTE_FORMAT_PRINTF(2, 3);
    void error(const char *format, ...) const Q_ATTRIBUTE_FORMAT_PRINTF(2, 3);

private:
    const QLoggingCategory *m_category;
};

inline constexpr const char *kLogSubsystem = "com.tebrix.Quellvista";

} // namespace qv
