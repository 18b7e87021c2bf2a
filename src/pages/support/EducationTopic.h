#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QUuid>

namespace qv {

class MachineWords;

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
    // Their texts are the Mac's.
    static const QList<EducationTopic> &all();
    // The six topics as the machine says them: what only a Mac has is told as it holds
    // there. Same ids as all().
    static QList<EducationTopic> said(const MachineWords &words);
};

// The platform's standard named colours the topics and section cards use, in their light
// values; inDarkAppearance() gives the system's dark value of each.
namespace systemColor {
QColor orange();
QColor blue();
QColor purple();
QColor inDarkAppearance(const QColor &light);
} // namespace systemColor

} // namespace qv
