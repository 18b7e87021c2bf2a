#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariantList>

#include <optional>

namespace qv {

// One display as of a check, identified by `id`: the framebuffer's registry entry
// identifier, the same one DisplayInfo::id and DisplayEngine::Target::service use.
struct LiveVerificationDisplayState {
    Q_GADGET
    Q_PROPERTY(quint64 id MEMBER id CONSTANT)
    Q_PROPERTY(QString name MEMBER name CONSTANT)
    Q_PROPERTY(bool isExternal MEMBER isExternal CONSTANT)
    Q_PROPERTY(QString typeLabel MEMBER typeLabel CONSTANT)
    Q_PROPERTY(QString connection READ connectionText CONSTANT)
    Q_PROPERTY(QString resolution READ resolutionText CONSTANT)
    Q_PROPERTY(QString detailLine MEMBER detailLine CONSTANT)
    Q_PROPERTY(QString iconName MEMBER iconName CONSTANT)
    Q_PROPERTY(bool isVirtual MEMBER isVirtual CONSTANT)
    Q_PROPERTY(bool ditherEnabled MEMBER ditherEnabled CONSTANT)
    Q_PROPERTY(bool hasUniformity2D READ hasUniformity2D CONSTANT)
    Q_PROPERTY(bool uniformity2DEnabled READ uniformity2DEnabled CONSTANT)
public:
    quint64 id = 0;
    QString name;
    bool isExternal = false;
    QString typeLabel;
    std::optional<QString> connection;
    std::optional<QString> resolution;
    QString detailLine;
    QString iconName;
    bool isVirtual = false;
    bool ditherEnabled = true;                 // missing or not a Boolean counts as on
    std::optional<bool> uniformity2D;          // nothing when missing or not a Boolean

    bool operator==(const LiveVerificationDisplayState &) const = default;

    QString connectionText() const { return connection.value_or(QString()); }
    QString resolutionText() const { return resolution.value_or(QString()); }
    bool hasUniformity2D() const { return uniformity2D.has_value(); }
    bool uniformity2DEnabled() const { return uniformity2D.value_or(false); }
};

// What the framebuffer registry held at one check: the summary flags and one state per
// listed display, in service order.
struct LiveVerificationSnapshot {
    Q_GADGET
    Q_PROPERTY(bool ditherDisabledOnAllDisplays MEMBER ditherDisabledOnAllDisplays CONSTANT)
    Q_PROPERTY(bool ditherDisabledOnBuiltIn MEMBER ditherDisabledOnBuiltIn CONSTANT)
    Q_PROPERTY(bool uniformity2DDisabledOnBuiltIn MEMBER uniformity2DDisabledOnBuiltIn CONSTANT)
    Q_PROPERTY(QDateTime lastCheck MEMBER lastCheck CONSTANT)
    Q_PROPERTY(QVariantList displayStates READ displayStatesList CONSTANT)
public:
    using DisplayState = LiveVerificationDisplayState;

    bool ditherDisabledOnAllDisplays = false;
    bool ditherDisabledOnBuiltIn = false;
    bool uniformity2DDisabledOnBuiltIn = false;
    QDateTime lastCheck;
    QList<DisplayState> displayStates;

    bool operator==(const LiveVerificationSnapshot &) const = default;

    QVariantList displayStatesList() const
    {
        QVariantList list;
        for (const DisplayState &state : displayStates)
            list << QVariant::fromValue(state);
        return list;
    }
};

} // namespace qv

Q_DECLARE_METATYPE(qv::LiveVerificationSnapshot)
Q_DECLARE_METATYPE(qv::LiveVerificationDisplayState)
