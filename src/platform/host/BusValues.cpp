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

QDBusMessage call(const QDBusConnection &bus, const QString &service, const QString &path,
                  const QString &interface, const QString &method, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, kCallTimeoutMs);
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

std::optional<QVariantMap> allProperties(const QDBusConnection &bus, const QString &service, const QString &path,
                                         const QString &interface, QString *fault)
{
    const QDBusMessage reply =
        call(bus, service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"), {interface});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        if (fault)
            *fault = reply.errorName().isEmpty() ? QStringLiteral("no answer") : reply.errorName();
        return std::nullopt;
    }
    std::optional<QVariantMap> map = reply.arguments().isEmpty() ? std::nullopt : propertyMap(reply.arguments().first());
    if (!map && fault)
        *fault = QStringLiteral("an answer of signature \"%1\" in place of a property list").arg(reply.signature());
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
