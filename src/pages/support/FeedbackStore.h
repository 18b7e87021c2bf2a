#pragma once

#include "runtime/Files.h"
#include "runtime/Logging.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace qv {

enum class FeedbackCategory { bug, idea, displaySetup, comfort, other };

namespace feedback {

// Every category in its display order.
const QList<FeedbackCategory> &allCategories();
// The label shown and stored: "Bug", "Idea", "Display setup", "Comfort", "Other".
QString rawValue(FeedbackCategory category);
// Exact, case-sensitive match of a stored label.
std::optional<FeedbackCategory> categoryFromRawValue(const QString &text);

// Comment and contact lose white space and line breaks at both ends; the composer's Save
// button follows the same rule, so it is never enabled for a note the store refuses.
QString trimmed(const QString &text);
// text cut to maximum UTF-16 units, never inside a character.
QString cutTo(const QString &text, qsizetype maximum);

// The text the application's bundle holds under key; the fallback when it holds none.
QString bundleText(const QString &key, const QString &fallback);
// The application's short version as saved with a note and shown on the Support page.
inline QString appVersionText()
{
    return bundleText(QStringLiteral("CFBundleShortVersionString"), QStringLiteral("Dev"));
}

} // namespace feedback

// One saved note.
struct FeedbackEntry {
    QUuid id;
    QDateTime createdAt; // UTC, whole seconds
    FeedbackCategory category = FeedbackCategory::other;
    QString comment;
    QString contact;
    QString appVersion;
    QString buildNumber;
    QString systemVersion;
    // Members of the stored object beyond the eight known ones, written back as they were.
    QJsonObject otherKeys;

    QJsonObject toJson() const;
    // Nothing unless all eight keys hold texts of the right form.
    static std::optional<FeedbackEntry> fromJson(const QJsonObject &object);
};

// The notes the user wrote on the Support page, newest first, kept in feedback.json in
// the application-support folder (pretty-printed, sorted keys, ISO 8601 dates). A file
// that cannot be read is kept aside before anything is written in its place.
class FeedbackStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY entriesChanged)
    Q_PROPERTY(QString lastSaveError READ lastSaveError NOTIFY lastSaveErrorChanged)
    Q_PROPERTY(QString unreadableNotice READ unreadableNotice NOTIFY unreadableNoticeChanged)

public:
    static const QString kReadError;
    static const QString kSaveError;
    // The one size rule for reading and saving: a larger file is kept aside unread, and a
    // list that would grow past it is not saved.
    static constexpr qint64 kMaxFileBytes = files::kMaxStoredFileBytes;
    // The longest note and contact kept, in UTF-16 units: a short note is what the file is
    // for, and each costs the editor time in proportion to its length on every key.
    // Several hundred notes of the longest kind still fit the file (a character takes at
    // most six bytes there).
    static constexpr qsizetype kMaxCommentLength = 10000;
    static constexpr qsizetype kMaxContactLength = 254; // the longest e-mail address

    explicit FeedbackStore(QObject *parent = nullptr);
    static FeedbackStore &shared();

    const QList<FeedbackEntry> &entries() const { return m_entries; }
    int count() const { return int(m_entries.size()); }
    // Empty when nothing failed since the last successful save.
    QString lastSaveError() const { return m_lastSaveError.value_or(QString()); }
    bool hasSaveError() const { return m_lastSaveError.has_value(); }
    QString storePath() const { return m_storePath; }
    // That the file could not be read and where it is now (kept aside, or still in place
    // when it could not be kept), as a sentence for the Support page; empty otherwise.
    QString unreadableNotice() const { return m_unreadableNotice; }

    // Adds a note at the front and writes the file; comment and contact are trimmed and
    // cut to their longest. False when the trimmed comment is empty (nothing changes) or
    // the file could not be written (the note is not kept).
    bool add(FeedbackCategory category, const QString &comment, const QString &contact);

    static QByteArray encode(const QList<FeedbackEntry> &entries);
    // Nothing unless the whole file reads as a list of entries.
    static std::optional<QList<FeedbackEntry>> decode(const QByteArray &bytes);

signals:
    void entriesChanged();
    void lastSaveErrorChanged();
    void unreadableNoticeChanged();

private:
    void load();
    bool save();
    bool keepUnreadableFile();
    void setLastSaveError(std::optional<QString> error);
    void setUnreadableNotice(const QString &notice);

    QList<FeedbackEntry> m_entries;
    std::optional<QString> m_lastSaveError;
    QString m_storePath;
    QString m_unreadableNotice;
    QString m_readProblem;
    files::UnreadFile m_unreadFile; // the file on disk could not be read and is still there
    Logger m_logger{"Feedback"};
};

} // namespace qv
