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

std::optional<QDateTime> dateFromIso(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}Z$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    QDateTime date = QDateTime::fromString(text.left(19), QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    if (!date.isValid())
        return std::nullopt;
    date.setTimeSpec(Qt::UTC);
    return date;
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
    entry.id = QUuid::fromString(idText);
    if (idText.size() != 36 || entry.id.isNull())
        return std::nullopt;
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
    const QFileInfo info(m_storePath);
    if (!info.exists() && !info.isSymLink())
        return;
    std::optional<QList<FeedbackEntry>> decoded;
    if (info.size() <= kMaxFileBytes) {
        const files::StoredFile file = files::readStoredFile(m_storePath);
        if (file.state == files::StoredFile::State::absent)
            return;
        if (file.state == files::StoredFile::State::read)
            decoded = decode(file.bytes);
    }
    if (decoded) {
        m_entries = *decoded;
        return;
    }
    m_logger.error("feedback.json could not be read; it is kept aside before the next save");
    m_lastSaveError = kReadError;
    m_mustKeepFile = true;
    keepUnreadableFile();
}

bool FeedbackStore::keepUnreadableFile()
{
    if (!m_mustKeepFile)
        return true;
    QString kept;
    QString error;
    if (!files::keepAside(m_storePath, &kept, &error)) {
        m_logger.error("Could not keep the unreadable feedback.json aside: %s", qUtf8Printable(error));
        return false;
    }
    m_mustKeepFile = false;
    if (!kept.isEmpty()) {
        m_logger.info("Kept unreadable feedback.json as %s", qUtf8Printable(QFileInfo(kept).fileName()));
        m_unreadableNotice = QStringLiteral("feedback.json could not be read. It was kept as %1.")
                                 .arg(QDir::toNativeSeparators(kept));
        emit unreadableNoticeChanged();
    }
    return true;
}

bool FeedbackStore::add(FeedbackCategory category, const QString &comment, const QString &contact)
{
    const QString text = feedback::trimmed(comment);
    if (text.isEmpty())
        return false;
    FeedbackEntry entry;
    entry.id = QUuid::createUuid();
    const QDateTime now = scheduler().now().toUTC();
    entry.createdAt = now.addMSecs(-now.time().msec());
    entry.category = category;
    entry.comment = text;
    entry.contact = feedback::trimmed(contact);
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
    QString error;
    if (!keepUnreadableFile() || !files::writeAtomically(m_storePath, encode(m_entries), &error)) {
        if (!error.isEmpty())
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
