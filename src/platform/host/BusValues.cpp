#include "platform/host/BusValues.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>

namespace qv::bus {

QVariant unwrapped(QVariant value)
{
    // A variant inside a variant is legal D-Bus; a handful of levels is plenty.
    for (int level = 0; level < 8 && value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>();
         ++level)
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

QString typeText(const QVariant &value)
{
    if (!value.isValid())
        return QStringLiteral("nothing");
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        return QStringLiteral("a value of signature %1")
            .arg(qvariant_cast<QDBusArgument>(value).currentSignature());
    const char *signature = QDBusMetaType::typeToSignature(QMetaType(value.userType()));
    return signature ? QStringLiteral("a value of signature %1").arg(QString::fromLatin1(signature))
                     : QString::fromLatin1(value.typeName());
}

bool timedOut(const QString &errorName)
{
    return errorName == QLatin1String("org.freedesktop.DBus.Error.NoReply")
           || errorName == QLatin1String("org.freedesktop.DBus.Error.Timeout");
}

std::optional<double> number(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toDouble();
    default:
        return std::nullopt;
    }
}

std::optional<QVariantMap> propertyMap(const QVariant &argument)
{
    if (argument.userType() == QMetaType::QVariantMap)
        return argument.toMap();
    if (argument.userType() != qMetaTypeId<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument dbusArgument = qvariant_cast<QDBusArgument>(argument);
    if (dbusArgument.currentSignature() != QLatin1String("a{sv}"))
        return std::nullopt;
    QVariantMap map;
    dbusArgument >> map;
    return map;
}

void Note::operator()(const Logger &logger, const QString &text)
{
    if (text == m_last)
        return;
    m_last = text;
    if (!text.isEmpty())
        logger.info("%s", qUtf8Printable(text));
}

} // namespace qv::bus
