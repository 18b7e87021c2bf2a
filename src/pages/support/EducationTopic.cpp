#include "pages/support/EducationTopic.h"

#include "platform/MachineWords.h"


namespace qv {

namespace systemColor {
// The system's light-appearance values.
QColor orange() { return QColor(0xff, 0x95, 0x00); }
QColor blue() { return QColor(0x00, 0x7a, 0xff); }
QColor purple() { return QColor(0xaf, 0x52, 0xde); }

QColor inDarkAppearance(const QColor &light)
{
    if (light == orange())
        return QColor(0xff, 0x9f, 0x0a);
    if (light == blue())
        return QColor(0x0a, 0x84, 0xff);
    if (light == purple())
        return QColor(0xbf, 0x5a, 0xf2);
    return light;
}
} // namespace systemColor

const QList<EducationTopic> &EducationTopic::all()
{
    // A function-local static: initialised once, safe against concurrent first use.
    static const QList<EducationTopic> topics = [] {
        const QColor hardware = systemColor::orange();
        const QColor display = systemColor::blue();
        return QList<EducationTopic>{
            {QUuid::createUuid(), QStringLiteral("square.dashed"), QStringLiteral("What is Temporal Dithering?"),
             QStringLiteral("Hardware"), hardware,
             QStringLiteral("To display more colors than a panel natively supports, Macs use a technique called "
                            "temporal dithering. The GPU rapidly switches pixels between nearby colors so your "
                            "brain blends them together."),
             QStringLiteral("For some sensitive eyes, this rapid change can feel like subtle flicker \u2014 leading "
                            "to eye strain, headaches, or nausea."),
             QStringLiteral("We disable temporal dithering at the GPU level by setting the `enableDither` property "
                            "to 'No'. Pixels stay steady. Your eyes get the stability they prefer."),
             QStringLiteral("Reduced eye fatigue, less mental effort when reading, fewer headaches."),
             IllustrationKind::dithering},
            {QUuid::createUuid(), QStringLiteral("waveform.path.ecg"), QStringLiteral("What is PWM Avoidance?"),
             QStringLiteral("Hardware"), hardware,
             QStringLiteral("MacBook backlights use PWM (Pulse-Width Modulation) to control brightness \u2014 "
                            "rapidly switching on and off thousands of times per second. At LOW brightness, the "
                            "flicker becomes more pronounced."),
             QStringLiteral("Many sensitive users experience the low-brightness flicker as strain, fatigue, or "
                            "migraine triggers. Higher hardware brightness has less flicker, but is often too "
                            "bright for comfortable viewing."),
             QStringLiteral("PWM-safe mode dims your screen via software (gamma manipulation) so you can raise "
                            "your hardware brightness above the flicker-prone range. Apparent brightness stays the "
                            "same; flicker drops dramatically."),
             QStringLiteral("Less eye fatigue after long sessions. Fewer flicker-related headaches."),
             IllustrationKind::pwm},
            {QUuid::createUuid(), QStringLiteral("display"), QStringLiteral("What is Edge Uniformity?"),
             QStringLiteral("Display"), display,
             QStringLiteral("Apple's mini-LED displays use a feature called uniformity2D to dim the corners of the "
                            "screen slightly, correcting for backlight variance. Most users never notice."),
             QStringLiteral("Some sensitive users find this subtle vignette creates a sense of visual pressure "
                            "\u2014 peripheral vision detects the darkening but the conscious mind can't place it."),
             QStringLiteral("We disable uniformity2D on the built-in display, restoring flat brightness across the "
                            "panel. Corners may appear slightly brighter; most people see no difference at all."),
             QStringLiteral("A subtle feeling of visual relief \u2014 a less 'pinched' screen."),
             IllustrationKind::uniformity},
            {QUuid::createUuid(), QStringLiteral("person"),
             QStringLiteral("Why do some people experience display strain?"), QStringLiteral("Vision"),
             systemColor::purple(),
             QStringLiteral("Sensitivity to display flicker varies widely across individuals. Some users perceive "
                            "high-frequency flicker that most people cannot consciously detect."),
             QStringLiteral("Headaches, nausea, dry eye, and heightened awareness of eye floaters often worsen on "
                            "newer Apple Silicon Macs compared to older Intel models. If that matches your "
                            "experience, you may be part of this sensitive group."),
             QStringLiteral("Quellvista addresses the three root hardware causes \u2014 dithering, PWM, uniformity "
                            "\u2014 plus provides behavioral tools like break reminders and blink detection."),
             QStringLiteral("Fewer end-of-day headaches. Less squinting. Longer comfortable session times."),
             IllustrationKind::strainFactors},
            {QUuid::createUuid(), QStringLiteral("square.grid.2x2"), QStringLiteral("Integer-scaled resolutions"),
             QStringLiteral("Display"), display,
             QStringLiteral("Notched MacBooks (14\" and 16\" Pro) default to non-integer scaling \u2014 fractional "
                            "pixel ratios like 1.77\u00d7. This helps fit the menu bar around the notch but "
                            "introduces subpixel interpolation."),
             QStringLiteral("Subpixel interpolation can appear as subtle blur or artifacts to sensitive users. Text "
                            "and UI elements may feel 'off' in a way that's hard to describe."),
             QStringLiteral("The resolution picker shows only integer-scaled options by default \u2014 where each "
                            "logical pixel maps to exactly 4 physical pixels. Everything becomes slightly larger "
                            "but significantly crisper."),
             QStringLiteral("Text feels sharper and more defined. Less eye fatigue during long reading sessions."),
             IllustrationKind::integerScaling},
            {QUuid::createUuid(), QStringLiteral("textformat"), QStringLiteral("Font smoothing"),
             QStringLiteral("Display"), display,
             QStringLiteral("Apple's font smoothing adds anti-aliasing pixels around text to make it look less "
                            "jagged. macOS is more aggressive than Windows with this."),
             QStringLiteral("Some sensitive users perceive font smoothing as blur or ghosting \u2014 a subtle haze "
                            "around letterforms that contributes to strain over long sessions."),
             QStringLiteral("Toggle font smoothing off system-wide. Produces sharper, more defined text rendering. "
                            "Apps need a restart to pick up the change."),
             QStringLiteral("Crisper edges on text. Some report it feels 'more like paper.'"),
             IllustrationKind::fontSmoothing},
        };
    }();
    return topics;
}

QList<EducationTopic> EducationTopic::said(const MachineWords &words)
{
    QList<EducationTopic> topics = all();
    auto say = [&words](QString &field, MacText text) { field = words.say(text, field); };
    for (EducationTopic &topic : topics) {
        switch (topic.illustrationPlaceholder) {
        case IllustrationKind::dithering:
            say(topic.summary, MacText::ditheringSummary);
            say(topic.howQuellvistaHelps, MacText::ditheringHelps);
            say(topic.youMayNotice, MacText::ditheringNotice);
            break;
        case IllustrationKind::pwm:
            say(topic.summary, MacText::pwmSummary);
            say(topic.howQuellvistaHelps, MacText::pwmHelps);
            break;
        case IllustrationKind::uniformity:
            say(topic.summary, MacText::uniformitySummary);
            say(topic.howQuellvistaHelps, MacText::uniformityHelps);
            say(topic.youMayNotice, MacText::uniformityNotice);
            break;
        case IllustrationKind::strainFactors:
            say(topic.whyItMatters, MacText::strainWhy);
            say(topic.howQuellvistaHelps, MacText::strainHelps);
            break;
        case IllustrationKind::integerScaling:
            say(topic.summary, MacText::scalingSummary);
            say(topic.howQuellvistaHelps, MacText::scalingHelps);
            break;
        case IllustrationKind::fontSmoothing:
            say(topic.summary, MacText::fontSmoothingSummary);
            say(topic.howQuellvistaHelps, MacText::fontSmoothingHelps);
            break;
        }
    }
    return topics;
}

} // namespace qv
