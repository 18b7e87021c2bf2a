#pragma once

#include "design/ViewValue.h"
#include "pages/support/FeedbackStore.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <functional>

namespace qv {

class UpdateChecker;

// Shows a file in the desktop's file manager (org.freedesktop.FileManager1 ShowItems over
// D-Bus), or opens its folder when that is not possible or the file does not exist;
// notShown runs (perhaps later) when neither could be done. Tests replace it.
using FileRevealer = std::function<void(const QString &path, const std::function<void()> &notShown)>;
void revealInFileManager(const QString &path, const std::function<void()> &notShown = {});
void setFileRevealer(FileRevealer revealer);

// The state of the Support page: the updates card bound to the application's update
// checker, the feedback card over the shared feedback store, the about card and the
// display notes with at most one topic open. It lives as long as the page.
class SupportPageModel : public QObject, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    // Updates card
    Q_PROPERTY(QString updatesSubtitle READ updatesSubtitle NOTIFY updatesChanged)
    Q_PROPERTY(QString updateStatus READ updateStatus NOTIFY updatesChanged)
    Q_PROPERTY(QString updateButtonLabel READ updateButtonLabel NOTIFY updatesChanged)
    Q_PROPERTY(bool updateButtonEnabled READ updateButtonEnabled NOTIFY updatesChanged)
    Q_PROPERTY(QString updateMessage READ updateMessage NOTIFY updatesChanged)
    // Feedback card
    Q_PROPERTY(QString feedbackConfirmation READ feedbackConfirmation NOTIFY feedbackChanged)
    Q_PROPERTY(bool hasSavedFeedback READ hasSavedFeedback NOTIFY feedbackChanged)
    Q_PROPERTY(QString savedCountText READ savedCountText NOTIFY feedbackChanged)
    Q_PROPERTY(QString storeNotice READ storeNotice NOTIFY feedbackChanged)
    Q_PROPERTY(QString revealNotice READ revealNotice NOTIFY feedbackChanged)
    Q_PROPERTY(bool showingFeedbackComposer READ showingFeedbackComposer WRITE setShowingFeedbackComposer NOTIFY
                   composerChanged)
    // About card
    Q_PROPERTY(QString versionText READ versionText CONSTANT)
    Q_PROPERTY(QString supportContact READ supportContact CONSTANT)
    // Display notes
    Q_PROPERTY(bool showDisplayNotes READ showDisplayNotes NOTIFY notesChanged)
    Q_PROPERTY(QString notesToggleLabel READ notesToggleLabel NOTIFY notesChanged)
    Q_PROPERTY(int expandedTopic READ expandedTopic NOTIFY notesChanged)
    Q_PROPERTY(QVariantList topics READ topics NOTIFY topicsChanged)
    Q_PROPERTY(QColor warningTint READ warningTint NOTIFY topicsChanged)
    // The page's fixed texts
    QV_VIEW_TEXT(pageTitle, "Support")
    QV_VIEW_TEXT(pageSubtitle, "Updates, feedback and a few plain-language notes on display comfort.")
    QV_VIEW_TEXT(updatesTitle, "Updates")
    QV_VIEW_TEXT(updateButtonHelp, "Check the Quellvista release feed")
    QV_VIEW_TEXT(feedbackTitle, "Feedback")
    QV_VIEW_TEXT(feedbackSubtitle, "Send comments or bugs")
    QV_VIEW_TEXT(feedbackIntro,
                 "Tell us what felt calmer, what felt confusing, or what display setup behaved unexpectedly.")
    QV_VIEW_TEXT(leaveCommentLabel, "Leave comment")
    QV_VIEW_TEXT(reviewLabel, "Review")
    QV_MACHINE_TEXT(reviewHelp, MacText::revealFeedbackHelp, "Open the saved feedback file in Finder")
    QV_VIEW_TEXT(aboutTitle, "About Quellvista")
    // The about texts name the machine as the platform does.
    Q_PROPERTY(QString aboutSubtitle READ aboutSubtitle CONSTANT)
    Q_PROPERTY(QString aboutText READ aboutText CONSTANT)
    QV_VIEW_TEXT(versionTitle, "Version")
    QV_VIEW_TEXT(supportTitle, "Support")
    QV_VIEW_TEXT(notesTitle, "Display notes")
    QV_VIEW_TEXT(notesSubtitle, "Short explanations for the curious. No setup required.")

public:
    static const QString kSavedConfirmation;

    static QString aboutSubtitle();
    static QString aboutText();

    // Made by QML: the update checker of the engine's page services, taken as it is
    // created, and the shared feedback store.
    explicit SupportPageModel(QObject *parent = nullptr);
    // A page over a given updater (null: no update checker) and store.
    SupportPageModel(UpdateChecker *updater, FeedbackStore *store, QObject *parent = nullptr);

    void classBegin() override;
    void componentComplete() override {}

    QString updatesSubtitle() const;
    QString updateStatus() const;
    QString updateButtonLabel() const;
    bool updateButtonEnabled() const;
    QString updateMessage() const;

    QString feedbackConfirmation() const { return m_confirmation; }
    bool hasSavedFeedback() const { return m_store->count() > 0; }
    QString savedCountText() const;
    QString storeNotice() const { return m_store->unreadableNotice(); }
    // Where the feedback file is, once "Review" found nothing to show it with.
    QString revealNotice() const { return m_revealNotice; }
    bool showingFeedbackComposer() const { return m_showingComposer; }
    void setShowingFeedbackComposer(bool showing);

    QString versionText() const;
    QString supportContact() const { return QStringLiteral("support@quellvista.app"); }

    bool showDisplayNotes() const { return m_showDisplayNotes; }
    QString notesToggleLabel() const;
    // The index of the open topic in the table, -1 when none.
    int expandedTopic() const;
    // The topics in table order, their colours for the current appearance, each with the
    // titles of its sections.
    QVariantList topics() const;
    // The tint of a topic's "Why it matters" card: the system orange.
    QColor warningTint() const;

    FeedbackStore &store() const { return *m_store; }

    // The update button: nothing while a check runs, else the check action.
    Q_INVOKABLE void checkForUpdates();
    Q_INVOKABLE void leaveComment() { setShowingFeedbackComposer(true); }
    // The composer saved a note.
    Q_INVOKABLE void feedbackSaved();
    // Shows the feedback file in the file manager (its folder when the file is missing).
    Q_INVOKABLE void revealFeedbackFile();
    Q_INVOKABLE void toggleDisplayNotes();
    Q_INVOKABLE void toggleTopic(int index);

signals:
    void updatesChanged();
    void feedbackChanged();
    void composerChanged();
    void notesChanged();
    void topicsChanged();

private:
    void setUpdater(UpdateChecker *updater);

    QPointer<UpdateChecker> m_updater;
    FeedbackStore *m_store;
    QString m_confirmation;
    QString m_revealNotice;
    bool m_showingComposer = false;
    bool m_showDisplayNotes = false;
    std::optional<QUuid> m_expandedTopicId;
};

// The composer sheet's state: category, contact and comment, the save rule shared with
// the store, and the error line after a failed save. A new one is made for every
// presentation, so each starts afresh.
class FeedbackComposerModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject *page READ page WRITE setPage NOTIFY pageChanged)
    Q_PROPERTY(QStringList categories READ categories CONSTANT)
    Q_PROPERTY(int categoryIndex READ categoryIndex WRITE setCategoryIndex NOTIFY changed)
    Q_PROPERTY(QString contact READ contact WRITE setContact NOTIFY changed)
    Q_PROPERTY(QString comment READ comment WRITE setComment NOTIFY changed)
    Q_PROPERTY(bool canSave READ canSave NOTIFY changed)
    Q_PROPERTY(bool placeholderVisible READ placeholderVisible NOTIFY changed)
    Q_PROPERTY(QString errorText READ errorText NOTIFY changed)
    Q_PROPERTY(int commentMaximumLength READ commentMaximumLength CONSTANT)
    Q_PROPERTY(int contactMaximumLength READ contactMaximumLength CONSTANT)
    // The dimming over the window behind the sheet, deeper in dark appearance.
    Q_PROPERTY(QColor backdropColor READ backdropColor NOTIFY backdropColorChanged)
    QV_VIEW_TEXT(title, "Leave feedback")
    QV_VIEW_TEXT(subtitle, "Saved locally as structured feedback so it is easier to review later.")
    QV_VIEW_TEXT(categoryTitle, "Category")
    QV_VIEW_TEXT(contactPlaceholder, "Name or email (optional)")
    QV_VIEW_TEXT(commentName, "Comment")
    QV_VIEW_TEXT(commentPlaceholder, "What happened, what felt confusing, or what would you like improved?")
    QV_VIEW_TEXT(cancelLabel, "Cancel")
    QV_VIEW_TEXT(saveLabel, "Save comment")
    // Under a field whose paste was cut to what the store keeps.
    QV_VIEW_TEXT(commentCutNote, "Cut to 10,000 characters, the longest note that is kept.")
    QV_VIEW_TEXT(contactCutNote, "Cut to 254 characters, the longest contact that is kept.")

public:
    explicit FeedbackComposerModel(QObject *parent = nullptr);
    QColor backdropColor() const;

    QObject *page() const { return m_page; }
    void setPage(QObject *page);
    QStringList categories() const;
    int categoryIndex() const { return m_categoryIndex; }
    void setCategoryIndex(int index);
    QString contact() const { return m_contact; }
    void setContact(const QString &contact);
    QString comment() const { return m_comment; }
    void setComment(const QString &comment);
    bool canSave() const { return !feedback::trimmed(m_comment).isEmpty(); }
    bool placeholderVisible() const { return m_comment.isEmpty(); }
    static int commentMaximumLength() { return int(FeedbackStore::kMaxCommentLength); }
    static int contactMaximumLength() { return int(FeedbackStore::kMaxContactLength); }
    // The store's error after a failed save here; empty otherwise.
    QString errorText() const;

    // Adds the note as typed; on success the page shows its confirmation and the sheet
    // closes, on failure the sheet stays with the error line and the typed text.
    Q_INVOKABLE bool save();
    Q_INVOKABLE void cancel();

signals:
    void backdropColorChanged();
    void pageChanged();
    void changed();

private:
    FeedbackStore &store() const;

    QPointer<SupportPageModel> m_page;
    int m_categoryIndex = 3; // Comfort
    QString m_contact;
    QString m_comment;
    bool m_showError = false;
};

} // namespace qv
