#include "display/DisplayTuningTarget.h"

#include <QStringList>

namespace qv {

DisplayTuningTarget DisplayTuningTarget::all()
{
    return DisplayTuningTarget{QStringLiteral("all"), std::nullopt, QStringLiteral("All displays"),
                               QStringLiteral("Use one comfort setting everywhere"),
                               QStringLiteral("rectangle.stack")};
}

std::optional<DisplayTuningTarget> DisplayTuningTarget::fromIdentity(const DisplayIdentity &identity)
{
    if (!identity.cgDisplayID)
        return std::nullopt;
    const DisplayId id = *identity.cgDisplayID;

    QString resolution = identity.resolution.value_or(QString());
    if (!resolution.isEmpty() && identity.refreshRate && !resolution.contains(QLatin1Char('@')))
        resolution += QStringLiteral(" @ ") + *identity.refreshRate;
    QStringList parts;
    for (const QString &part : {DisplayIdentity::label(identity.kind), identity.connection.value_or(QString()), resolution}) {
        if (!part.isEmpty())
            parts << part;
    }
    return DisplayTuningTarget{QString::number(id), id, identity.name, parts.join(QStringLiteral(" - ")),
                               DisplayIdentity::symbolName(identity.kind)};
}

std::optional<DisplayId> DisplayTuningTarget::parseTargetId(const QString &id)
{
    if (id == QLatin1String("all") || id.isEmpty())
        return std::nullopt;
    QStringView digits(id);
    bool negative = false;
    if (digits.front() == QLatin1Char('+')) {
        digits = digits.mid(1);
    } else if (digits.front() == QLatin1Char('-')) {
        negative = true;
        digits = digits.mid(1);
    }
    if (digits.isEmpty())
        return std::nullopt;
    quint64 value = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + quint64(c.unicode() - '0');
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (negative && value != 0)
        return std::nullopt;
    return DisplayId(value);
}

size_t qHash(const DisplayTuningTarget &target, size_t seed)
{
    return qHashMulti(seed, target.id, target.displayID.value_or(0), target.displayID.has_value(), target.name,
                      target.subtitle, target.iconName);
}

} // namespace qv
