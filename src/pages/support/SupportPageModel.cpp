#include "pages/support/SupportPageModel.h"

#include "design/Theme.h"
#include "pages/services/PageServices.h"
#include "pages/support/EducationTopic.h"
#include "platform/MachineWords.h"
#include "runtime/Logging.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace qv {

namespace {

FileRevealer &revealerOverride()
{
    static FileRevealer revealer;
    return revealer;
}

const Logger &supportLogger()
{
    static const Logger logger("SupportPage");
    return logger;
}

} // namespace

void setFileRevealer(FileRevealer revealer)
{
    revealerOverride() = std::move(revealer);
}

void revealInFileManager(const QString &path, const std::function<void()> &notShown)
{
    if (revealerOverride()) {
        revealerOverride()(path, notShown);
        return;
    }
    const QFileInfo info(path);
    const QUrl folder = QUrl::fromLocalFile(info.absolutePath());
    auto openFolder = [folder, notShown] {
        if (QDesktopServices::openUrl(folder))
            return;
        supportLogger().info("Nothing could open %s", qUtf8Printable(folder.toLocalFile()));
        if (notShown)
            notShown();
    };
    // With no session bus a call would never be answered.
    if (!info.exists() || !QDBusConnection::sessionBus().isConnected()) {
        openFolder();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(info.absoluteFilePath()).toString()} << QString();
    // Asked without waiting: a file manager that is slow to start never holds up the page.
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, openFolder] {
        watcher->deleteLater();
        if (!watcher->isError())
            return;
        supportLogger().info("No file manager shows items over D-Bus (%s); opening the folder",
                             qUtf8Printable(watcher->error().message()));
        openFolder();
    });
}

const QString SupportPageModel::kSavedConfirmation = QStringLiteral("Saved to feedback.json");

QString SupportPageModel::aboutSubtitle()
{
    const QString machine = machineWords().machine();
    return machine.left(1).toUpper() + machine.mid(1) + QStringLiteral(" display comfort utility");
}

QString SupportPageModel::aboutText()
{
    return QStringLiteral("Quellvista is built for people who want calmer long sessions on modern %1 displays.")
        .arg(machineWords().machine());
}

SupportPageModel::SupportPageModel(QObject *parent) : SupportPageModel(nullptr, &FeedbackStore::shared(), parent) {}

SupportPageModel::SupportPageModel(UpdateChecker *updater, FeedbackStore *store, QObject *parent)
    : QObject(parent), m_store(store)
{
    setUpdater(updater);
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &SupportPageModel::topicsChanged);
    connect(m_store, &FeedbackStore::entriesChanged, this, &SupportPageModel::feedbackChanged);
    connect(m_store, &FeedbackStore::unreadableNoticeChanged, this, &SupportPageModel::feedbackChanged);
}

void SupportPageModel::classBegin()
{
    if (const PageServices *services = PageServices::find(this); services && services->updater)
        setUpdater(services->updater);
}

void SupportPageModel::setUpdater(UpdateChecker *updater)
{
    if (m_updater)
        disconnect(m_updater, nullptr, this, nullptr);
    m_updater = updater;
    if (!m_updater)
        return;
    connect(m_updater, &UpdateChecker::isCheckingFeedChanged, this, &SupportPageModel::updatesChanged);
    connect(m_updater, &UpdateChecker::updateCheckMessageChanged, this, &SupportPageModel::updatesChanged);
    connect(m_updater, &UpdateChecker::canCheckForUpdatesChanged, this, &SupportPageModel::updatesChanged);
}

QString SupportPageModel::updatesSubtitle() const
{
    return !m_updater || m_updater->usesPlaceholderFeed()
               ? QStringLiteral("Developer build")
               : machineWords().say(MacText::updatesSubtitle, QStringLiteral("Signed app updates"));
}

QString SupportPageModel::updateStatus() const
{
    if (!m_updater || m_updater->usesPlaceholderFeed())
        return machineWords().say(
            MacText::updatesStatusDeveloperBuild,
            QStringLiteral("Checks the public release feed. Signed builds can install updates automatically."));
    if (m_updater->canCheckForUpdates())
        return QStringLiteral("Ready to check for new versions.");
    return QStringLiteral("Update checking is unavailable right now.");
}

QString SupportPageModel::updateButtonLabel() const
{
    return m_updater && m_updater->isCheckingFeed() ? QStringLiteral("Checking...")
                                                    : QStringLiteral("Check for updates");
}

bool SupportPageModel::updateButtonEnabled() const
{
    return m_updater && !m_updater->isCheckingFeed();
}

QString SupportPageModel::updateMessage() const
{
    return m_updater ? m_updater->updateCheckMessage() : QString();
}

void SupportPageModel::checkForUpdates()
{
    // The updater ignores a press while its check runs, so a double click starts one check.
    if (m_updater)
        m_updater->checkForUpdates();
}

QString SupportPageModel::savedCountText() const
{
    return QStringLiteral("%1 saved").arg(m_store->count());
}

void SupportPageModel::setShowingFeedbackComposer(bool showing)
{
    if (showing == m_showingComposer)
        return;
    m_showingComposer = showing;
    emit composerChanged();
}

void SupportPageModel::feedbackSaved()
{
    m_confirmation = kSavedConfirmation;
    emit feedbackChanged();
}

void SupportPageModel::revealFeedbackFile()
{
    const QString path = m_store->storePath();
    revealInFileManager(path, [page = QPointer<SupportPageModel>(this), path] {
        if (!page)
            return;
        page->m_revealNotice = QStringLiteral("No file manager could show it. The file is at %1")
                                   .arg(QDir::toNativeSeparators(path));
        emit page->feedbackChanged();
    });
}

QString SupportPageModel::versionText() const
{
    return feedback::appVersionText();
}

QString SupportPageModel::notesToggleLabel() const
{
    return m_showDisplayNotes ? QStringLiteral("Hide") : QStringLiteral("Show");
}

int SupportPageModel::expandedTopic() const
{
    const QList<EducationTopic> &all = EducationTopic::all();
    for (qsizetype i = 0; i < all.size(); ++i)
        if (m_expandedTopicId == all[i].id)
            return int(i);
    return -1;
}

QVariantList SupportPageModel::topics() const
{
    const bool dark = Theme::shared().isDark();
    QVariantList list;
    for (const EducationTopic &topic : EducationTopic::said(machineWords())) {
        list.append(QVariantMap{
            {QStringLiteral("icon"), topic.icon},
            {QStringLiteral("title"), topic.title},
            {QStringLiteral("categoryLabel"), topic.categoryLabel},
            {QStringLiteral("categoryColor"), dark ? systemColor::inDarkAppearance(topic.categoryColor)
                                                   : topic.categoryColor},
            {QStringLiteral("summary"), topic.summary},
            {QStringLiteral("whyItMatters"), topic.whyItMatters},
            {QStringLiteral("howQuellvistaHelps"), topic.howQuellvistaHelps},
            {QStringLiteral("youMayNotice"), topic.youMayNotice},
            {QStringLiteral("illustration"), int(topic.illustrationPlaceholder)},
            {QStringLiteral("whyItMattersTitle"), QStringLiteral("Why it matters")},
            {QStringLiteral("howQuellvistaHelpsTitle"), QStringLiteral("How Quellvista helps")},
            {QStringLiteral("youMayNoticeTitle"), QStringLiteral("You may notice")},
        });
    }
    return list;
}

QColor SupportPageModel::warningTint() const
{
    const QColor orange = systemColor::orange();
    return Theme::shared().isDark() ? systemColor::inDarkAppearance(orange) : orange;
}

void SupportPageModel::toggleDisplayNotes()
{
    m_showDisplayNotes = !m_showDisplayNotes;
    emit notesChanged();
}

void SupportPageModel::toggleTopic(int index)
{
    const QList<EducationTopic> &all = EducationTopic::all();
    if (index < 0 || index >= all.size())
        return;
    const QUuid id = all[index].id;
    if (m_expandedTopicId == id)
        m_expandedTopicId.reset();
    else
        m_expandedTopicId = id;
    emit notesChanged();
}

FeedbackComposerModel::FeedbackComposerModel(QObject *parent) : QObject(parent)
{
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &FeedbackComposerModel::backdropColorChanged);
}

QColor FeedbackComposerModel::backdropColor() const
{
    return Theme::withOpacity(QColor(Qt::black), Theme::shared().isDark() ? 0.45 : 0.2);
}

void FeedbackComposerModel::setPage(QObject *page)
{
    auto *model = qobject_cast<SupportPageModel *>(page);
    if (model == m_page)
        return;
    if (m_page)
        disconnect(&m_page->store(), nullptr, this, nullptr);
    m_page = model;
    if (m_page)
        connect(&m_page->store(), &FeedbackStore::lastSaveErrorChanged, this, &FeedbackComposerModel::changed);
    emit pageChanged();
    emit changed();
}

FeedbackStore &FeedbackComposerModel::store() const
{
    return m_page ? m_page->store() : FeedbackStore::shared();
}

QStringList FeedbackComposerModel::categories() const
{
    QStringList labels;
    for (FeedbackCategory category : feedback::allCategories())
        labels.append(feedback::rawValue(category));
    return labels;
}

void FeedbackComposerModel::setCategoryIndex(int index)
{
    if (index < 0 || index >= feedback::allCategories().size() || index == m_categoryIndex)
        return;
    m_categoryIndex = index;
    emit changed();
}

void FeedbackComposerModel::setContact(const QString &contact)
{
    if (contact == m_contact)
        return;
    m_contact = contact;
    emit changed();
}

void FeedbackComposerModel::setComment(const QString &comment)
{
    if (comment == m_comment)
        return;
    m_comment = comment;
    emit changed();
}

QString FeedbackComposerModel::errorText() const
{
    return m_showError ? store().lastSaveError() : QString();
}

bool FeedbackComposerModel::save()
{
    const FeedbackCategory category = feedback::allCategories().at(m_categoryIndex);
    if (store().add(category, m_comment, m_contact)) {
        if (m_page) {
            m_page->feedbackSaved();
            m_page->setShowingFeedbackComposer(false);
        }
        return true;
    }
    m_showError = true;
    emit changed();
    return false;
}

void FeedbackComposerModel::cancel()
{
    if (m_page)
        m_page->setShowingFeedbackComposer(false);
}

} // namespace qv
