#include "pages/support/EducationTopic.h"
#include "pages/support/SupportPageModel.h"
#include "pages/support/TopicIllustration.h"

#include "app/AppUpdater.h"
#include "platform/Platform.h"
#include "platform/host/SystemHost.h"
#include "platform/sim/SimBundle.h"
#include "runtime/Files.h"
#include "support/TestEnvironment.h"
#include "support/ViewTexts.h"

#include <QDir>
#include <QSignalSpy>

using namespace qv;

namespace {

class SupportPageTest : public test::QvTest {
protected:
    void SetUp() override
    {
        QvTest::SetUp();
        setFileRevealer([this](const QString &path, const std::function<void()> &) { revealed << path; });
    }
    void TearDown() override
    {
        setFileRevealer({});
        QvTest::TearDown();
    }
    QString storePath() const { return files::applicationSupportDirectory() + QStringLiteral("/feedback.json"); }

    QStringList revealed;
};

TEST_F(SupportPageTest, UpdatesCardFollowsTheUpdater)
{
    const QString real = QStringLiteral("https://updates.example.org/appcast.xml");
    const struct {
        QVariant feed;
        bool allows;
        QString subtitle;
        QString status;
    } cases[] = {
        {QVariant(), true, "Developer build",
         "Checks the public release feed. Signed builds can install updates automatically."},
        {QStringLiteral("http://localhost/appcast.xml"), true, "Developer build",
         "Checks the public release feed. Signed builds can install updates automatically."},
        {real, true, "Signed app updates", "Ready to check for new versions."},
        {real, false, "Signed app updates", "Update checking is unavailable right now."},
    };
    for (const auto &c : cases) {
        mac->bundle().setInfoValue(QStringLiteral("SUFeedURL"), c.feed);
        mac->updater().setAllowsChecks(c.allows);
        AppUpdater updater;
        FeedbackStore store;
        SupportPageModel page(&updater, &store);
        EXPECT_EQ(page.updatesSubtitle(), c.subtitle);
        EXPECT_EQ(page.updateStatus(), c.status);
        EXPECT_EQ(page.updateButtonLabel(), "Check for updates");
        EXPECT_TRUE(page.updateButtonEnabled());
        EXPECT_EQ(page.updateMessage(), "");
    }
    // The framework's answer changing reaches the page.
    mac->bundle().setInfoValue(QStringLiteral("SUFeedURL"), real);
    AppUpdater updater;
    FeedbackStore store;
    SupportPageModel page(&updater, &store);
    QSignalSpy changed(&page, &SupportPageModel::updatesChanged);
    mac->updater().setAllowsChecks(false);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(page.updateStatus(), "Update checking is unavailable right now.");
}

TEST_F(SupportPageTest, DoubleClickStartsOneCheckAndTheButtonSaysChecking)
{
    AppUpdater updater;
    updater.setPublicAppcastURL(QUrl(QStringLiteral("http://127.0.0.1:1/appcast.xml")));
    FeedbackStore store;
    SupportPageModel page(&updater, &store);
    QSignalSpy finished(&updater, &AppUpdater::feedCheckFinished);
    page.checkForUpdates();
    page.checkForUpdates();
    EXPECT_EQ(page.updateButtonLabel(), "Checking...");
    EXPECT_FALSE(page.updateButtonEnabled());
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(page.updateButtonLabel(), "Check for updates");
    EXPECT_TRUE(page.updateButtonEnabled());
    EXPECT_EQ(page.updateMessage(), AppUpdater::kUnreachableMessage);
}

TEST_F(SupportPageTest, ComposerSavesConfirmsAndClosesAndStartsFresh)
{
    FeedbackStore store;
    SupportPageModel page(nullptr, &store);
    EXPECT_FALSE(page.hasSavedFeedback());
    page.leaveComment();
    ASSERT_TRUE(page.showingFeedbackComposer());

    FeedbackComposerModel composer;
    composer.setPage(&page);
    EXPECT_EQ(composer.categories()[composer.categoryIndex()], "Comfort");
    EXPECT_TRUE(composer.placeholderVisible());
    EXPECT_FALSE(composer.canSave());
    composer.setComment(QStringLiteral(" \n "));
    EXPECT_FALSE(composer.placeholderVisible());
    EXPECT_FALSE(composer.canSave());
    composer.setComment(QStringLiteral(" \n x"));
    EXPECT_TRUE(composer.canSave());
    composer.setCategoryIndex(1);
    ASSERT_TRUE(composer.save());

    EXPECT_FALSE(page.showingFeedbackComposer());
    EXPECT_EQ(page.feedbackConfirmation(), "Saved to feedback.json");
    EXPECT_TRUE(page.hasSavedFeedback());
    EXPECT_EQ(page.savedCountText(), "1 saved");
    EXPECT_EQ(store.entries()[0].comment, "x");
    EXPECT_EQ(store.entries()[0].category, FeedbackCategory::idea);

    page.revealFeedbackFile();
    EXPECT_EQ(revealed, QStringList{storePath()});
}

// "Review" on a desktop with no file manager on the bus and no program to open a folder:
// the page says where the file is.
TEST_F(SupportPageTest, ReviewWithNothingToShowTheFileSaysWhereItIs)
{
    FeedbackStore store;
    ASSERT_TRUE(store.add(FeedbackCategory::bug, QStringLiteral("x"), QString()));
    SupportPageModel page(nullptr, &store);
    EXPECT_EQ(page.revealNotice(), QString());

    setFileRevealer({}); // the real one
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", dir->path().toUtf8()); // no xdg-open, no file manager to start
    qunsetenv("BROWSER");
    qunsetenv("DEFAULT_BROWSER");
    QSignalSpy changed(&page, &SupportPageModel::feedbackChanged);
    page.revealFeedbackFile();
    const bool told = changed.count() > 0 || changed.wait(10000);
    qputenv("PATH", path);
    EXPECT_TRUE(told);
    EXPECT_TRUE(page.revealNotice().contains(QDir::toNativeSeparators(storePath()))) << page.revealNotice().toStdString();
}

TEST_F(SupportPageTest, FailedSaveShowsTheErrorKeepsTheTextAndCancelDropsIt)
{
    FeedbackStore store;
    SupportPageModel page(nullptr, &store);
    page.leaveComment();
    QDir().mkpath(storePath()); // nothing can be written in the file's place
    FeedbackComposerModel composer;
    composer.setPage(&page);
    composer.setContact(QStringLiteral("me"));
    composer.setComment(QStringLiteral("calmer"));
    EXPECT_EQ(composer.errorText(), "");
    EXPECT_FALSE(composer.save());
    EXPECT_EQ(composer.errorText(), "Could not save feedback.json");
    EXPECT_EQ(composer.comment(), "calmer");
    EXPECT_EQ(composer.contact(), "me");
    EXPECT_TRUE(page.showingFeedbackComposer());
    EXPECT_FALSE(page.hasSavedFeedback());
    EXPECT_EQ(page.feedbackConfirmation(), "");

    composer.cancel();
    EXPECT_FALSE(page.showingFeedbackComposer());
    EXPECT_EQ(store.count(), 0);

    // The next presentation starts afresh; a retry that succeeds clears the error.
    FeedbackComposerModel next;
    next.setPage(&page);
    EXPECT_EQ(next.comment(), "");
    EXPECT_EQ(next.errorText(), "");
    QDir().rmdir(storePath());
    next.setComment(QStringLiteral("calmer"));
    EXPECT_TRUE(next.save());
    EXPECT_EQ(store.count(), 1);
    EXPECT_EQ(store.lastSaveError(), "");
}

TEST_F(SupportPageTest, AtMostOneTopicOpenAndNotesToggle)
{
    FeedbackStore store;
    SupportPageModel page(nullptr, &store);
    EXPECT_FALSE(page.showDisplayNotes());
    EXPECT_EQ(page.notesToggleLabel(), "Show");
    page.toggleDisplayNotes();
    EXPECT_EQ(page.notesToggleLabel(), "Hide");
    EXPECT_EQ(page.expandedTopic(), -1);
    page.toggleTopic(0);
    EXPECT_EQ(page.expandedTopic(), 0);
    page.toggleTopic(2);
    EXPECT_EQ(page.expandedTopic(), 2);
    page.toggleDisplayNotes();
    page.toggleDisplayNotes();
    EXPECT_EQ(page.expandedTopic(), 2); // kept while the list was collapsed
    page.toggleTopic(2);
    EXPECT_EQ(page.expandedTopic(), -1);
    page.toggleTopic(6);
    EXPECT_EQ(page.expandedTopic(), -1);
}

TEST_F(SupportPageTest, VersionReadsDevWithoutAShortVersion)
{
    FeedbackStore store;
    EXPECT_EQ(SupportPageModel(nullptr, &store).versionText(), "1.0.0") << "the project's version, as --version prints it";
    mac->bundle().setInfoValue(QStringLiteral("CFBundleShortVersionString"), QVariant());
    EXPECT_EQ(SupportPageModel(nullptr, &store).versionText(), "Dev");
}

TEST_F(SupportPageTest, FixedTextsOfThePageTheComposerAndTheTopicSections)
{
    FeedbackStore store;
    SupportPageModel page(nullptr, &store);
    test::expectViewTexts(page, {
        {"pageTitle", "Support"},
        {"pageSubtitle", "Updates, feedback and a few plain-language notes on display comfort."},
        {"updatesTitle", "Updates"},
        {"updateButtonHelp", "Check the Quellvista release feed"},
        {"feedbackTitle", "Feedback"},
        {"feedbackSubtitle", "Send comments or bugs"},
        {"feedbackIntro", "Tell us what felt calmer, what felt confusing, or what display setup behaved unexpectedly."},
        {"leaveCommentLabel", "Leave comment"},
        {"reviewLabel", "Review"},
        {"reviewHelp", "Open the saved feedback file in Finder"},
        {"aboutTitle", "About Quellvista"},
        {"aboutSubtitle", "Mac display comfort utility"},
        {"aboutText", "Quellvista is built for people who want calmer long sessions on modern Mac displays."},
        {"versionTitle", "Version"},
        {"supportTitle", "Support"},
        {"notesTitle", "Display notes"},
        {"notesSubtitle", "Short explanations for the curious. No setup required."},
    });
    // On the computer itself the about texts speak of the computer.
    PlatformServices services = mac->services();
    HostMachineWords hostWords;
    services.words = &hostWords;
    installPlatform(services);
    EXPECT_EQ(SupportPageModel::aboutSubtitle(), "Computer display comfort utility");
    EXPECT_EQ(SupportPageModel::aboutText(),
              "Quellvista is built for people who want calmer long sessions on modern computer displays.");
    installPlatform(mac->services());
    FeedbackComposerModel composer;
    test::expectViewTexts(composer, {
        {"title", "Leave feedback"},
        {"subtitle", "Saved locally as structured feedback so it is easier to review later."},
        {"categoryTitle", "Category"},
        {"contactPlaceholder", "Name or email (optional)"},
        {"commentPlaceholder", "What happened, what felt confusing, or what would you like improved?"},
        {"cancelLabel", "Cancel"},
        {"saveLabel", "Save comment"},
    });
    for (const QVariant &topic : page.topics()) {
        const QVariantMap t = topic.toMap();
        EXPECT_EQ(t.value("whyItMattersTitle"), "Why it matters");
        EXPECT_EQ(t.value("howQuellvistaHelpsTitle"), "How Quellvista helps");
        EXPECT_EQ(t.value("youMayNoticeTitle"), "You may notice");
    }
}

TEST(EducationTopicTest, SixTopicsInOrderWithTheirExactTexts)
{
    const QList<EducationTopic> &all = EducationTopic::all();
    ASSERT_EQ(all.size(), 6);
    QStringList titles;
    QList<IllustrationKind> kinds;
    for (const EducationTopic &topic : all) {
        titles << topic.title;
        kinds << topic.illustrationPlaceholder;
        EXPECT_FALSE(topic.id.isNull());
        EXPECT_TRUE(topic.whyItMatters.contains(u'\u2014') || topic.summary.contains(u'\u2014')
                    || topic.howQuellvistaHelps.contains(u'\u2014') || topic.youMayNotice.contains(u'\u2014'))
            << topic.title.toStdString();
        EXPECT_FALSE(topic.summary.contains(u'\u2019')); // straight apostrophes only
    }
    EXPECT_EQ(titles, (QStringList{"What is Temporal Dithering?", "What is PWM Avoidance?",
                                   "What is Edge Uniformity?", "Why do some people experience display strain?",
                                   "Integer-scaled resolutions", "Font smoothing"}));
    EXPECT_EQ(kinds, (QList<IllustrationKind>{IllustrationKind::dithering, IllustrationKind::pwm,
                                              IllustrationKind::uniformity, IllustrationKind::strainFactors,
                                              IllustrationKind::integerScaling, IllustrationKind::fontSmoothing}));
    EXPECT_EQ(all[4].summary,
              QStringLiteral("Notched MacBooks (14\" and 16\" Pro) default to non-integer scaling \u2014 fractional "
                             "pixel ratios like 1.77\u00d7. This helps fit the menu bar around the notch but "
                             "introduces subpixel interpolation."));
    EXPECT_TRUE(all[0].howQuellvistaHelps.contains(QStringLiteral("`enableDither` property to 'No'")));
    EXPECT_EQ(all[2].youMayNotice, QStringLiteral("A subtle feeling of visual relief \u2014 a less 'pinched' screen."));
    EXPECT_EQ(all[3].howQuellvistaHelps,
              QStringLiteral("Quellvista addresses the three root hardware causes \u2014 dithering, PWM, uniformity "
                             "\u2014 plus provides behavioral tools like break reminders and blink detection."));
    EXPECT_EQ(all[5].youMayNotice, QStringLiteral("Crisper edges on text. Some report it feels 'more like paper.'"));
    // The other texts with a dash, each compared whole.
    const struct {
        QString shown, expected;
    } dashed[] = {
        {all[0].whyItMatters, QStringLiteral("For some sensitive eyes, this rapid change can feel like subtle flicker "
                                             "\u2014 leading to eye strain, headaches, or nausea.")},
        {all[1].summary,
         QStringLiteral("MacBook backlights use PWM (Pulse-Width Modulation) to control brightness \u2014 rapidly "
                        "switching on and off thousands of times per second. At LOW brightness, the flicker becomes "
                        "more pronounced.")},
        {all[2].whyItMatters,
         QStringLiteral("Some sensitive users find this subtle vignette creates a sense of visual pressure \u2014 "
                        "peripheral vision detects the darkening but the conscious mind can't place it.")},
        {all[4].howQuellvistaHelps,
         QStringLiteral("The resolution picker shows only integer-scaled options by default \u2014 where each logical "
                        "pixel maps to exactly 4 physical pixels. Everything becomes slightly larger but "
                        "significantly crisper.")},
        {all[5].whyItMatters,
         QStringLiteral("Some sensitive users perceive font smoothing as blur or ghosting \u2014 a subtle haze around "
                        "letterforms that contributes to strain over long sessions.")},
    };
    for (const auto &text : dashed)
        EXPECT_EQ(text.shown, text.expected);
    EXPECT_EQ((QStringList{all[0].categoryLabel, all[2].categoryLabel, all[3].categoryLabel}),
              (QStringList{"Hardware", "Display", "Vision"}));
}

TEST(TopicIllustrationTest, SquareWaveAt276By176)
{
    const QList<QPointF> points = TopicIllustrationItem::squareWavePoints(QSizeF(276, 176));
    ASSERT_EQ(points.size(), 32);
    EXPECT_EQ(points.first(), QPointF(0, 35.2));
    EXPECT_DOUBLE_EQ(points[1].x(), 17.25);
    EXPECT_DOUBLE_EQ(points[2].y(), 123.2 + 0.0);
    EXPECT_DOUBLE_EQ(points[3].x(), 34.5); // one period
    EXPECT_EQ(points.last(), QPointF(276, 123.2)); // ends off, at the right edge
    for (const QPointF &p : points)
        EXPECT_TRUE(qFuzzyCompare(p.y(), 35.2) || qFuzzyCompare(p.y(), 123.2));
}

TEST(TopicIllustrationTest, PixelGridsAndBlurredCells)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            EXPECT_DOUBLE_EQ(TopicIllustrationItem::pixelOpacity(false, 0.7, r, c), 0.7);
            const bool even = (r + c) % 2 == 0;
            EXPECT_DOUBLE_EQ(TopicIllustrationItem::pixelOpacity(true, 0, r, c), even ? 0.9 : 0.45);
            EXPECT_DOUBLE_EQ(TopicIllustrationItem::pixelOpacity(true, 1, r, c), even ? 0.45 : 0.9);
        }
    const QList<qreal> first = TopicIllustrationItem::blurredOpacities();
    const QList<qreal> second = TopicIllustrationItem::blurredOpacities();
    ASSERT_EQ(first.size(), 35);
    EXPECT_NE(first, second);
    for (qreal v : first + second) {
        EXPECT_GE(v, 0.3);
        EXPECT_LE(v, 0.7);
    }
    EXPECT_EQ(TopicIllustrationItem::genericCaption(IllustrationKind::fontSmoothing), QStringLiteral("Aa \u2192 Aa"));
    EXPECT_EQ(TopicIllustrationItem::genericSymbol(IllustrationKind::strainFactors), "brain.head.profile");
}

} // namespace
