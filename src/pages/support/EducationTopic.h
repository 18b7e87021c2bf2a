#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QUuid>

namespace qv {

// Which drawing a display-notes topic shows.
enum class IllustrationKind { dithering, pwm, uniformity, strainFactors, integerScaling, fontSmoothing };

// One plain-language display note of the Support page.
struct EducationTopic {
    QUuid id; // new at every launch
    QString icon;
    QString title;
    QString categoryLabel;
    QColor categoryColor;
    QString summary;
    QString whyItMatters;
    QString howQuellvistaHelps;
    QString youMayNotice;
    IllustrationKind illustrationPlaceholder;

    // The six topics in the order the page lists them; built once, safely on first use.
    static const QList<EducationTopic> &all();
};

// The platform's standard named colours the topics and section cards use.
namespace systemColor {
QColor orange();
QColor blue();
QColor purple();
} // namespace systemColor

} // namespace qv
