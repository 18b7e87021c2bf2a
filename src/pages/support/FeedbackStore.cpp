#include "pages/support/FeedbackStore.h"

#include "platform/Bundle.h"
#include "platform/Platform.h"
#include "runtime/Files.h"
#include "runtime/Scheduler.h"
#include "runtime/Shared.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace qv {

namespace feedback {

const QList<FeedbackCategory> &allCategories()
{
    static const QList<FeedbackCategory> all{FeedbackCategory::bug, FeedbackCategory::idea,
                                             FeedbackCategory::displaySetup, FeedbackCategory::comfort,
                                             FeedbackCategory::other};
    return all;
}

QString rawValue(FeedbackCategory category)
{
    switch (category) {
    case FeedbackCategory::bug: return QStringLiteral("Bug");
    case FeedbackCategory::idea: return QStringLiteral("Idea");
    case FeedbackCategory::displaySetup: return QStringLiteral("Display setup");
    case FeedbackCategory::comfort: return QStringLiteral("Comfort");
    case FeedbackCategory::other: break;
    }
    return QStringLiteral("Other");
}

std::optional<FeedbackCategory> categoryFromRawValue(const QString &text)
{
    for (FeedbackCategory category : allCategories())
        if (rawValue(category) == text)
            return category;
    return std::nullopt;
}

QString trimmed(const QString &text)
{
    return text.trimmed();
}

QString cutTo(const QString &text, qsizetype maximum)
{
    if (text.size() <= maximum)
        return text;
    qsizetype end = std::max<qsizetype>(maximum, 0);
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end);
}

QString bundleText(const QString &key, const QString &fallback)
{
    const QVariant value = platform().bundle ? platform().bundle->infoValue(key) : QVariant();
    return value.typeId() == QMetaType::QString ? value.toString() : fallback;
}

} // namespace feedback

namespace {

const QString kId = QStringLiteral("id");
const QString kCreatedAt = QStringLiteral("createdAt");
const QString kCategory = QStringLiteral("category");
const QString kComment = QStringLiteral("comment");
const QString kContact = QStringLiteral("contact");
const QString kAppVersion = QStringLiteral("appVersion");
const QString kBuildNumber = QStringLiteral("buildNumber");
const QString kSystemVersion = QStringLiteral("systemVersion");

QString isoDate(const QDateTime &date)
{
    return date.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + u'Z';
}

// Date and time are read apart and joined as UTC: read as one, Qt would take them as local
// time first, and a moment in the hour a spring clock change skips would not exist.
std::optional<QDateTime> dateFromIso(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})T(\\d{2}:\\d{2}:\\d{2})Z$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate day = QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(match.captured(2), QStringLiteral("HH:mm:ss"));
    if (!day.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(day, time, Qt::UTC);
}

// Any UUID in its 36-character form, the all-zero one included.
bool isUuidText(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    return form.match(text).hasMatch();
}

} // namespace

QJsonObject FeedbackEntry::toJson() const
{
    QJsonObject object = otherKeys;
    object.insert(kAppVersion, appVersion);
    object.insert(kBuildNumber, buildNumber);
    object.insert(kCategory, feedback::rawValue(category));
    object.insert(kComment, comment);
    object.insert(kContact, contact);
    object.insert(kCreatedAt, isoDate(createdAt));
    object.insert(kId, id.toString(QUuid::WithoutBraces).toUpper());
    object.insert(kSystemVersion, systemVersion);
    return object;
}

std::optional<FeedbackEntry> FeedbackEntry::fromJson(const QJsonObject &object)
{
    const QString *fields[] = {&kId, &kCreatedAt, &kCategory, &kComment,
                               &kContact, &kAppVersion, &kBuildNumber, &kSystemVersion};
    for (const QString *key : fields)
        if (!object.value(*key).isString())
            return std::nullopt;
    FeedbackEntry entry;
    const QString idText = object.value(kId).toString();
    if (!isUuidText(idText))
        return std::nullopt;
    entry.id = QUuid::fromString(idText);
    const auto created = dateFromIso(object.value(kCreatedAt).toString());
    const auto category = feedback::categoryFromRawValue(object.value(kCategory).toString());
    if (!created || !category)
        return std::nullopt;
    entry.createdAt = *created;
    entry.category = *category;
    entry.comment = object.value(kComment).toString();
    entry.contact = object.value(kContact).toString();
    entry.appVersion = object.value(kAppVersion).toString();
    entry.buildNumber = object.value(kBuildNumber).toString();
    entry.systemVersion = object.value(kSystemVersion).toString();
    entry.otherKeys = object;
    for (const QString *key : fields)
        entry.otherKeys.remove(*key);
    return entry;
}

const QString FeedbackStore::kReadError = QStringLiteral("Could not read feedback.json");
const QString FeedbackStore::kSaveError = QStringLiteral("Could not save feedback.json");

FeedbackStore::FeedbackStore(QObject *parent) : QObject(parent)
{
    const QString folder = files::applicationSupportDirectory();
    QDir().mkpath(folder); // a folder that cannot be made shows up as a failed save
    m_storePath = folder + QStringLiteral("/feedback.json");
    load();
}

FeedbackStore &FeedbackStore::shared()
{
    return sharedInstance<FeedbackStore>();
}

QByteArray FeedbackStore::encode(const QList<FeedbackEntry> &entries)
{
    QJsonArray array;
    for (const FeedbackEntry &entry : entries)
        array.append(entry.toJson()); // a JSON object keeps its keys sorted
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

std::optional<QList<FeedbackEntry>> FeedbackStore::decode(const QByteArray &bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<FeedbackEntry> entries;
    for (const QJsonValue &value : document.array()) {
        const auto entry = value.isObject() ? FeedbackEntry::fromJson(value.toObject()) : std::nullopt;
        if (!entry)
            return std::nullopt;
        entries.append(*entry);
    }
    return entries;
}

void FeedbackStore::load()
{
    const files::StoredFile file = files::readStoredFile(m_storePath);
    if (file.state == files::StoredFile::State::absent)
        return;
    const std::optional<QList<FeedbackEntry>> decoded =
        file.state == files::StoredFile::State::read ? decode(file.bytes) : std::nullopt;
    if (decoded) {
        m_entries = *decoded;
        return;
    }
    m_readProblem = file.state == files::StoredFile::State::read ? QStringLiteral("not a list of notes") : file.error;
    m_lastSaveError = kReadError;
    m_unreadFile.mark();
    // Kept aside now, so that the page can say where it is before anything is saved.
    keepUnreadableFile();
}

bool FeedbackStore::keepUnreadableFile()
{
    return m_unreadFile.clearForSave(
        m_storePath,
        [this](const QString &kept) {
            m_logger.error("feedback.json could not be read (%s); it is kept as %s", qUtf8Printable(m_readProblem),
                           qUtf8Printable(kept));
            setUnreadableNotice(QStringLiteral("feedback.json could not be read. It was kept as %1.")
                                    .arg(QDir::toNativeSeparators(kept)));
        },
        [this](const QString &error) {
            m_logger.error("feedback.json could not be read (%s) and could not be kept aside (%s); nothing is "
                           "saved over it",
                           qUtf8Printable(m_readProblem), qUtf8Printable(error));
            setUnreadableNotice(QStringLiteral("feedback.json could not be read. It is still at %1, and new "
                                               "notes cannot be saved until it is moved.")
                                    .arg(QDir::toNativeSeparators(m_storePath)));
        });
}

void FeedbackStore::setUnreadableNotice(const QString &notice)
{
    if (notice == m_unreadableNotice)
        return;
    m_unreadableNotice = notice;
    emit unreadableNoticeChanged();
}

bool FeedbackStore::add(FeedbackCategory category, const QString &comment, const QString &contact)
{
    const QString text = feedback::trimmed(feedback::cutTo(feedback::trimmed(comment), kMaxCommentLength));
    if (text.isEmpty())
        return false;
    FeedbackEntry entry;
    entry.id = QUuid::createUuid();
    const QDateTime now = scheduler().now().toUTC();
    entry.createdAt = now.addMSecs(-now.time().msec());
    entry.category = category;
    entry.comment = text;
    entry.contact = feedback::trimmed(feedback::cutTo(feedback::trimmed(contact), kMaxContactLength));
    entry.appVersion = feedback::appVersionText();
    entry.buildNumber = feedback::bundleText(QStringLiteral("CFBundleVersion"), QStringLiteral("Unknown"));
    entry.systemVersion = platform().bundle ? platform().bundle->operatingSystemVersionString() : QString();

    m_entries.prepend(entry);
    if (save()) {
        emit entriesChanged();
        return true;
    }
    // Not on disk, so not kept: the count never shows a note that is not saved, and the
    // composer keeps the text for another try.
    m_entries.removeFirst();
    return false;
}

bool FeedbackStore::save()
{
    if (!keepUnreadableFile()) {
        setLastSaveError(kSaveError);
        return false;
    }
    // What is written here must be read at the next start: a list that has grown past
    // the size read back is not written.
    const QByteArray bytes = encode(m_entries);
    QString error;
    if (bytes.size() > kMaxFileBytes)
        error = QStringLiteral("the notes would take %1 bytes, more than the %2 a stored file may hold")
                    .arg(bytes.size())
                    .arg(kMaxFileBytes);
    if (!error.isEmpty() || !files::writeAtomically(m_storePath, bytes, &error)) {
        m_logger.error("Could not save feedback.json: %s", qUtf8Printable(error));
        setLastSaveError(kSaveError);
        return false;
    }
    setLastSaveError(std::nullopt);
    return true;
}

void FeedbackStore::setLastSaveError(std::optional<QString> error)
{
    if (error == m_lastSaveError)
        return;
    m_lastSaveError = std::move(error);
    emit lastSaveErrorChanged();
}

} // namespace qv
