#include "display/ComfortVeilController.h"
#include "display/ComfortVeilOverlayView.h"
#include "display/DisplayTuning.h"
#include "platform/sim/SimWorkspace.h"
#include "pages/display_comfort/DisplayTuningPanelModel.h"
#include "support/TestEnvironment.h"

#include <QSignalSpy>
#include <QStringList>

#include <limits>

using namespace qv;

namespace {

class DisplayTuningPanelModelTest : public test::QvTest {
protected:
    DisplayTuning &tuning() { return DisplayTuning::shared(); }
    ComfortVeilController &veil() { return ComfortVeilController::shared(); }

    // Records the models' change signals, in order, by name, into calls.
    void watch(QObject *context)
    {
        auto on = [&](auto *sender, auto signal, const char *name) {
            QObject::connect(sender, signal, context, [this, name] { calls << QString::fromLatin1(name); });
        };
        on(&tuning(), &DisplayTuning::enabledChanged, "tuning.enabled");
        on(&tuning(), &DisplayTuning::brightnessChanged, "tuning.brightness");
        on(&tuning(), &DisplayTuning::warmthChanged, "tuning.warmth");
        on(&tuning(), &DisplayTuning::contrastReductionChanged, "tuning.contrast");
        on(&tuning(), &DisplayTuning::softWhiteChanged, "tuning.softWhite");
        on(&tuning(), &DisplayTuning::highlightCompressionChanged, "tuning.highlight");
        on(&veil(), &ComfortVeilController::enabledChanged, "veil.enabled");
        on(&veil(), &ComfortVeilController::colorCalmChanged, "veil.colorCalm");
        on(&veil(), &ComfortVeilController::colorCalmEnabledChanged, "veil.colorCalmEnabled");
        on(&veil(), &ComfortVeilController::peripheralSofteningChanged, "veil.peripheral");
        on(&veil(), &ComfortVeilController::peripheralSofteningEnabledChanged, "veil.peripheralEnabled");
        on(&veil(), &ComfortVeilController::highlightDampeningChanged, "veil.highlight");
        on(&veil(), &ComfortVeilController::highlightDampeningEnabledChanged, "veil.highlightEnabled");
    }
    QStringList calls;
};

// A tuning row first switches tuning on, then sets its value; at its lowest position it
// does not switch tuning off again.
TEST_F(DisplayTuningPanelModelTest, TuningRowsSwitchTuningOnBeforeTheValue)
{
    struct Case {
        TuningRow row;
        double value;
        const char *signal;
    };
    const Case cases[] = {
        {TuningRow::brightness, 0.6, "tuning.brightness"},
        {TuningRow::warmth, 0.3, "tuning.warmth"},
        {TuningRow::blackLift, 0.1, "tuning.contrast"},
        {TuningRow::softWhites, 0.4, "tuning.softWhite"},
        {TuningRow::highlightCompression, 0.2, "tuning.highlight"},
    };
    for (const Case &c : cases) {
        DisplayTuningPanelModel panel;
        tuning().setEnabled(false);
        watch(&panel);
        calls.clear();
        panel.row(c.row)->move(c.value);
        EXPECT_EQ(calls, (QStringList{"tuning.enabled", c.signal})) << c.signal;
        EXPECT_TRUE(tuning().enabled());
        EXPECT_DOUBLE_EQ(panel.row(c.row)->value(), c.value);

        calls.clear();
        panel.row(c.row)->move(panel.row(c.row)->from());
        EXPECT_EQ(calls, QStringList{c.signal}) << c.signal;
        EXPECT_TRUE(tuning().enabled());
    }
}

// A veil row sets the amount, then the effect switch, then (only upwards) the master.
TEST_F(DisplayTuningPanelModelTest, VeilRowsSetAmountThenEffectThenMaster)
{
    DisplayTuningPanelModel panel;
    veil().setEnabled(false);
    watch(&panel);

    calls.clear();
    panel.row(TuningRow::peripheralSoftening)->move(0.2);
    EXPECT_EQ(calls, (QStringList{"veil.peripheral", "veil.peripheralEnabled", "veil.enabled"}));
    EXPECT_TRUE(veil().peripheralSofteningEnabled());
    EXPECT_TRUE(veil().enabled());

    calls.clear();
    panel.row(TuningRow::peripheralSoftening)->move(0);
    EXPECT_EQ(calls, (QStringList{"veil.peripheral", "veil.peripheralEnabled"}));
    EXPECT_FALSE(veil().peripheralSofteningEnabled());
    EXPECT_TRUE(veil().enabled());

    calls.clear();
    panel.row(TuningRow::colorCalm)->move(1.5);
    panel.row(TuningRow::screenUniformity)->move(0.01);
    EXPECT_EQ(calls, (QStringList{"veil.colorCalm", "veil.colorCalmEnabled", "veil.enabled", "veil.highlight",
                                  "veil.highlightEnabled"}));
    EXPECT_TRUE(veil().colorCalmEnabled());
    EXPECT_FALSE(veil().highlightDampeningEnabled());
}

TEST_F(DisplayTuningPanelModelTest, VeilRowLooksFollowTheAmount)
{
    DisplayTuningPanelModel panel;
    const TuningPalette &p = panel.palette();
    TuningRowModel *calm = panel.row(TuningRow::colorCalm);
    struct Case {
        double amount;
        const char *text;
        QColor symbol, value;
    };
    const Case cases[] = {
        {0.0, "Off", p.textSecondary, p.textTertiary},
        {0.01, "Off", p.textSecondary, p.textTertiary},
        {0.02, "Off", p.brandTeal, p.brandTeal},
        {1.0, "100%", p.brandTeal, p.brandTeal},
        {1.01, "101%", p.terracotta, p.terracotta},
    };
    for (const Case &c : cases) {
        veil().setColorCalm(c.amount);
        EXPECT_EQ(calm->valueText(), QString::fromUtf8(c.text)) << c.amount;
        EXPECT_EQ(calm->symbolColor(), c.symbol) << c.amount;
        EXPECT_EQ(calm->valueColor(), c.value) << c.amount;
    }
}

TEST_F(DisplayTuningPanelModelTest, RedModeSliderSwitchesNoBlueModeOnAndOff)
{
    DisplayTuningPanelModel panel;
    EXPECT_DOUBLE_EQ(panel.redSliderValue(), 0);
    EXPECT_EQ(panel.redValueText(), "Off");
    EXPECT_EQ(panel.redValueColor(), panel.palette().textTertiary);

    panel.moveRed(0.5);
    EXPECT_TRUE(tuning().noBlueModeEnabled());
    EXPECT_TRUE(tuning().enabled());
    EXPECT_EQ(panel.redValueText(), "50%");
    EXPECT_EQ(panel.redValueColor(), panel.palette().terracotta);
    EXPECT_EQ(panel.redAccessibleValue(), "50 percent");
    // Warmth turns terracotta in red mode.
    EXPECT_EQ(panel.row(TuningRow::warmth)->accent(), panel.palette().terracotta);

    panel.moveRed(0.01);
    EXPECT_FALSE(tuning().noBlueModeEnabled());
    EXPECT_DOUBLE_EQ(tuning().redModeIntensity(), 1.0);
    EXPECT_DOUBLE_EQ(panel.redSliderValue(), 0);
    EXPECT_EQ(panel.redValueText(), "Off");
}

// Choosing a display shows that display's own values (a copy of every display's at
// first); "All displays" returns to the shared values. A display that goes away while
// chosen leaves the card on every display, with their values and defined texts.
TEST_F(DisplayTuningPanelModelTest, TargetPickerFollowsTheChosenDisplay)
{
    DisplayTuningPanelModel panel;
    tuning().setBrightness(0.8);
    EXPECT_EQ(panel.pickerSymbol(), "rectangle.stack");
    EXPECT_EQ(panel.scopeText(), "Every connected display");
    EXPECT_EQ(panel.selectedTargetName(), "All displays");
    const QVariantList targets = panel.targets();
    ASSERT_EQ(targets.size(), 3);
    EXPECT_EQ(targets[0].toMap().value("action"), "all");
    EXPECT_EQ(targets[0].toMap().value("symbol"), "rectangle.stack");

    panel.selectTarget("2");
    EXPECT_EQ(panel.pickerSymbol(), "display");
    EXPECT_EQ(panel.scopeText(), "Only this display");
    EXPECT_EQ(panel.selectedTargetId(), "2");
    EXPECT_NE(panel.selectedTargetName(), "All displays");
    EXPECT_EQ(panel.row(TuningRow::brightness)->valueText(), "80%");
    panel.row(TuningRow::brightness)->move(0.5);
    EXPECT_EQ(panel.row(TuningRow::brightness)->valueText(), "50%");

    panel.selectTarget("all");
    EXPECT_EQ(panel.row(TuningRow::brightness)->valueText(), "80%");
    panel.selectTarget("2");
    EXPECT_EQ(panel.row(TuningRow::brightness)->valueText(), "50%");

    // The display goes while chosen: the card and the picker name every display and show
    // their values, and nothing reads "nan".
    QSignalSpy targetsChanged(&panel, &DisplayTuningPanelModel::targetsChanged);
    mac->removeDisplay(2);
    EXPECT_GE(targetsChanged.count(), 1);
    EXPECT_EQ(panel.selectedTargetId(), "all");
    EXPECT_EQ(panel.selectedTargetName(), "All displays");
    EXPECT_EQ(panel.selectedTargetSymbol(), "rectangle.stack");
    EXPECT_EQ(panel.pickerSymbol(), "rectangle.stack");
    EXPECT_EQ(panel.scopeText(), "Every connected display");
    EXPECT_EQ(panel.row(TuningRow::brightness)->valueText(), "80%");
    advance(21000);
    EXPECT_EQ(panel.targets().size(), 2);
    for (QObject *row : panel.rows())
        EXPECT_FALSE(row->property("valueText").toString().contains("nan", Qt::CaseInsensitive));
}

// A display name with direction controls is listed and shown without them.
TEST_F(DisplayTuningPanelModelTest, TargetNamesShowDirectionControlsInert)
{
    mac->updateDisplay(2, [](SimDisplay &d) { d.name = QStringLiteral("\u202Eksed\u2066 LG\u2069"); });
    advance(21000);
    DisplayTuningPanelModel panel;
    panel.refreshTargets();
    bool listed = false;
    for (const QVariant &target : panel.targets()) {
        const QString text = target.toMap().value("text").toString();
        EXPECT_FALSE(text.contains(QChar(0x202E)) || text.contains(QChar(0x2066))) << text.toStdString();
        listed = listed || text.contains("ksed LG");
    }
    EXPECT_TRUE(listed);
    panel.selectTarget("2");
    EXPECT_TRUE(panel.selectedTargetName().contains("ksed LG")) << panel.selectedTargetName().toStdString();
}

// Stored amounts out of range or of another type show defined values within the
// slider's range.
TEST_F(DisplayTuningPanelModelTest, StoredValuesOutOfRangeShowDefinedValues)
{
    defaults->setDouble("comfortVeil.colorCalm.amount", 7.5);
    defaults->setString("comfortVeil.peripheral.amount", "lots");
    defaults->setDouble("comfortVeil.highlight.amount", -3);
    DisplayTuningPanelModel panel;
    tuning().setBrightness(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(panel.row(TuningRow::colorCalm)->valueText(), "200%");
    EXPECT_DOUBLE_EQ(panel.row(TuningRow::colorCalm)->value(), 2.0);
    EXPECT_EQ(panel.row(TuningRow::screenUniformity)->valueText(), "Off");
    EXPECT_DOUBLE_EQ(panel.row(TuningRow::screenUniformity)->value(), 0);
    EXPECT_EQ(panel.row(TuningRow::brightness)->valueText(), "10%");
    const QString peripheral = panel.row(TuningRow::peripheralSoftening)->valueText();
    EXPECT_TRUE(peripheral == "Off" || peripheral.endsWith('%')) << qPrintable(peripheral);
}

// While dragging, at most one value reaches the model per display frame and the last
// one always does; outside a drag every value arrives at once.
TEST_F(DisplayTuningPanelModelTest, DraggingAppliesAtMostOncePerFrameAndAlwaysTheLastValue)
{
    DisplayTuningPanelModel panel;
    const qint64 frame = FrameCoalescer::frameIntervalMs();
    int brightnessWrites = 0, calmWrites = 0;
    QObject::connect(&tuning(), &DisplayTuning::brightnessChanged, &panel, [&] { ++brightnessWrites; });
    QObject::connect(&veil(), &ComfortVeilController::colorCalmChanged, &panel, [&] { ++calmWrites; });

    struct Drag {
        TuningRowModel *row;
        int *writes;
        double (*model)();
    };
    const Drag drags[] = {
        {panel.row(TuningRow::brightness), &brightnessWrites, [] { return DisplayTuning::shared().brightness(); }},
        {panel.row(TuningRow::colorCalm), &calmWrites, [] { return ComfortVeilController::shared().colorCalm(); }},
    };
    for (const Drag &d : drags) {
        *d.writes = 0;
        d.row->setDragging(true);
        // 1000 moves, one every 2 ms (several per frame).
        double last = 0;
        for (int i = 0; i < 1000; ++i) {
            last = 0.2 + 0.6 * i / 999.0;
            d.row->move(last);
            advance(2);
        }
        const int frames = int(2000 / frame) + 1;
        EXPECT_LE(*d.writes, frames + 1);
        EXPECT_GE(*d.writes, frames / 2);
        d.row->setDragging(false);
        EXPECT_DOUBLE_EQ(d.model(), last);

        // A last move just before release arrives at the release.
        d.row->setDragging(true);
        d.row->move(0.3);
        d.row->move(0.35);
        EXPECT_DOUBLE_EQ(d.model(), 0.3);
        d.row->setDragging(false);
        EXPECT_DOUBLE_EQ(d.model(), 0.35);

        const int before = *d.writes;
        d.row->move(0.4);
        d.row->move(0.45);
        EXPECT_EQ(*d.writes, before + 2);
    }
}

// A colour-calm drag redraws the veil at most once per display frame.
TEST_F(DisplayTuningPanelModelTest, DraggingColourCalmRedrawsTheVeilAtMostOncePerFrame)
{
    mac->workspace().finishLaunching();
    veil().setEnabled(true);
    DisplayTuningPanelModel panel;
    Panel *window = veil().window(1);
    ASSERT_TRUE(window);
    auto *view = qobject_cast<ComfortVeilOverlayView *>(window->contentView());
    ASSERT_TRUE(view);
    const int before = view->displayRequestCount();
    TuningRowModel *calm = panel.row(TuningRow::colorCalm);
    calm->setDragging(true);
    for (int i = 0; i < 1000; ++i) {
        calm->move(0.1 + 1.8 * i / 999.0);
        advance(1);
    }
    calm->setDragging(false);
    // One per frame, the value waiting at the release, and the first move's switching
    // the effect on after setting its amount.
    const int frames = int(1000 / FrameCoalescer::frameIntervalMs()) + 1;
    EXPECT_LE(view->displayRequestCount() - before, frames + 2);
    EXPECT_DOUBLE_EQ(veil().colorCalm(), 1.9);
    EXPECT_EQ(view->state(), veil().currentState());
}

// A value still waiting when the panel goes is not lost.
TEST_F(DisplayTuningPanelModelTest, AWaitingValueArrivesWhenThePanelGoes)
{
    {
        DisplayTuningPanelModel panel;
        panel.row(TuningRow::warmth)->setDragging(true);
        panel.row(TuningRow::warmth)->move(0.2);
        panel.row(TuningRow::warmth)->move(0.7);
    }
    EXPECT_DOUBLE_EQ(tuning().warmth(), 0.7);
}

} // namespace
