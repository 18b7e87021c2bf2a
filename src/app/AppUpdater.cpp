#include "app/AppUpdater.h"

#include "platform/Bundle.h"
#include "platform/MachineWords.h"
#include "platform/Platform.h"
#include "platform/Updater.h"
#include "runtime/TextDecoding.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace qv {

namespace appcast {

std::optional<QStringView> elementText(QStringView text, QStringView name)
{
    const QString open = u'<' + name.toString() + u'>';
    const QString close = QStringLiteral("</") + name.toString() + u'>';
    const qsizetype start = text.indexOf(open);
    if (start < 0)
        return std::nullopt;
    const qsizetype from = start + open.size();
    const qsizetype end = text.indexOf(close, from);
    if (end < 0)
        return std::nullopt;
    return text.mid(from, end - from);
}

std::optional<qint64> wholeNumber(const QString &text)
{
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    if (i == text.size())
        return std::nullopt;
    for (qsizetype k = i; k < text.size(); ++k) {
        if (text[k] < u'0' || text[k] > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt; // beyond 64 bits
    return value;
}

QString feedText(const QString &text)
{
    QString out;
    out.reserve(std::min<qsizetype>(text.size(), kMaxFeedTextLength + 1));
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // Direction marks, embeddings, overrides and isolates would reorder the sentence
        // around the text; other controls have no place in one line.
        if ((u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069) || u == 0x200E || u == 0x200F ||
            u == 0x061C)
            continue;
        if (c.isSpace() || c.category() == QChar::Other_Control)
            out += u' ';
        else
            out += c;
    }
    out = out.simplified();
    if (out.size() > kMaxFeedTextLength) {
        qsizetype cut = kMaxFeedTextLength - 1;
        if (out[cut - 1].isHighSurrogate())
            --cut;
        out = out.left(cut).trimmed() + u'\u2026';
    }
    return out;
}

QString decodeReferences(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype end = text[i] == u'&' ? text.indexOf(u';', i) : -1;
        if (end < 0 || end - i > 12) {
            out += text[i];
            continue;
        }
        const QStringView name = text.mid(i + 1, end - i - 1);
        i = end;
        if (name == u"lt") out += u'<';
        else if (name == u"gt") out += u'>';
        else if (name == u"amp") out += u'&';
        else if (name == u"quot") out += u'"';
        else if (name == u"apos") out += u'\'';
        else {
            const bool hex = name.startsWith(u"#x");
            const QStringView digits = name.mid(hex ? 2 : 1);
            bool ok = name.startsWith(u'#') && !digits.isEmpty() && digits.size() <= 8;
            for (const QChar c : digits)
                ok = ok && (c.isDigit() || (hex && QStringLiteral("abcdefABCDEF").contains(c))) && c.unicode() < 128;
            const uint code = ok ? digits.toUInt(&ok, hex ? 16 : 10) : 0;
            ok = ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
            // A reference this reader does not know (an entity a document type declares,
            // a misspelt one) is not shown as markup.
            const char32_t character = ok ? char32_t(code) : char32_t(QChar::ReplacementCharacter);
            out += QString::fromUcs4(&character, 1);
        }
    }
    return out;
}

std::optional<Release> readRelease(const QByteArray &body)
{
    const std::optional<QString> decoded = text::decodeUtf8(body);
    if (!decoded)
        return std::nullopt;
    const QString &text = *decoded;
    const std::optional<QStringView> item = elementText(text, u"item");
    if (!item)
        return std::nullopt;

    // An element's text, its character references read; nothing when it is missing or
    // holds nothing but blanks.
    auto trimmed = [&](QStringView name) -> std::optional<QString> {
        if (const auto found = elementText(*item, name)) {
            QString text = feedText(decodeReferences(*found));
            if (!text.isEmpty())
                return text;
        }
        return std::nullopt;
    };
    Release release;
    if (auto shortVersion = trimmed(u"sparkle:shortVersionString"))
        release.versionText = *shortVersion;
    else if (auto title = trimmed(u"title"))
        release.versionText = *title;
    if (auto build = trimmed(u"sparkle:version")) {
        release.buildText = *build;
        release.build = wholeNumber(*build);
    }
    return release;
}

QString message(const Release &release, const QString &appVersion, std::optional<qint64> appBuild,
                bool frameworkOffersInstaller)
{
    const QString &version = release.versionText;
    if (!appBuild || !release.build)
        return QStringLiteral("Latest release is ") + version + u'.';
    const QString feedBuild = QString::number(*release.build);
    if (*appBuild == *release.build)
        return QStringLiteral("You're up to date. Latest release is %1 build %2.").arg(version, feedBuild);
    if (*appBuild > *release.build)
        return QStringLiteral("Release feed latest is %1 build %2. This build is %3 build %4.")
            .arg(version, feedBuild, appVersion, QString::number(*appBuild));
    if (frameworkOffersInstaller)
        return machineWords()
            .say(MacText::updateAvailableWithInstaller,
                 QStringLiteral("Version %1 build %2 is available. Sparkle will offer the signed installer."))
            .arg(version, feedBuild);
    return QStringLiteral("Version %1 build %2 is available.").arg(version, feedBuild);
}

} // namespace appcast

namespace {

QString infoText(const QString &key)
{
    const QVariant value = platform().bundle ? platform().bundle->infoValue(key) : QVariant();
    if (value.typeId() != QMetaType::QString)
        return {};
    return value.toString();
}

} // namespace

const QString AppUpdater::kUnreachableMessage =
    QStringLiteral("Could not reach the update feed. Check your connection and try again.");
const QString AppUpdater::kUnreadableMessage =
    QStringLiteral("Could not read the update feed. Please try again in a moment.");

// One request in flight.
struct AppUpdater::Fetch {
    QPointer<QNetworkReply> reply;
    QByteArray body;
    TaskHandle timeout;
    bool frameworkCheckStarted = false;
    bool timedOut = false;
    bool tooLarge = false;
};

AppUpdater::AppUpdater(QObject *parent)
    : UpdateChecker(parent), m_publicAppcastURL(defaultPublicAppcastURL())
{
    const QVariant feed = platform().bundle ? platform().bundle->infoValue(QStringLiteral("SUFeedURL")) : QVariant();
    if (feed.typeId() == QMetaType::QString) {
        const QUrl url(feed.toString(), QUrl::StrictMode);
        if (url.isValid() && !url.isEmpty())
            m_feedURL = url;
    }
    if (Updater *updater = platform().updater) {
        QPointer<AppUpdater> self(this);
        updater->setCanCheckObserver([self] {
            if (self)
                emit self->canCheckForUpdatesChanged();
        });
        updater->start();
    }
    m_network = new QNetworkAccessManager(this);
}

AppUpdater::~AppUpdater()
{
    if (Updater *updater = platform().updater)
        updater->setCanCheckObserver({});
}

QUrl AppUpdater::defaultPublicAppcastURL()
{
    return QUrl(QStringLiteral("https://quellvista.tebrix.com/appcast.xml"));
}

bool AppUpdater::isPlaceholderFeed(const std::optional<QUrl> &feed)
{
    if (!feed)
        return true;
    const QString host = feed->host().toLower();
    return host == u"localhost.invalid" || host == u"localhost" || host == u"127.0.0.1";
}

bool AppUpdater::canCheckForUpdates() const
{
    return platform().updater && platform().updater->canCheckForUpdates();
}

void AppUpdater::checkForUpdates()
{
    if (isCheckingFeed())
        return;
    bool frameworkCheck = false;
    if (canCheckForUpdates() && !usesPlaceholderFeed()) {
        platform().updater->checkForUpdates();
        frameworkCheck = true;
    }
    checkReleaseFeed(frameworkCheck);
}

void AppUpdater::checkReleaseFeed(bool frameworkCheckStarted)
{
    if (m_runningChecks++ == 0)
        emit isCheckingFeedChanged();

    const QUrl url = usesPlaceholderFeed() || !m_feedURL ? m_publicAppcastURL : *m_feedURL;
    QNetworkRequest request(url);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    auto fetch = std::make_shared<Fetch>();
    fetch->frameworkCheckStarted = frameworkCheckStarted;
    QNetworkReply *reply = m_network->get(request);
    fetch->reply = reply;
    // The network thread stops reading once this much waits to be taken, so a body that
    // arrives faster than it is read (or never ends) cannot pile up in memory unseen.
    reply->setReadBufferSize(kReadBufferBytes);

    // A feed may be hostile: it is read as it arrives and dropped once it grows too large.
    connect(reply, &QNetworkReply::readyRead, reply, [fetch, reply] {
        fetch->body += reply->readAll();
        if (fetch->body.size() > kMaxFeedBytes) {
            fetch->tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::metaDataChanged, reply, [fetch, reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > kMaxFeedBytes) {
            fetch->tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, fetch] { finishFetch(fetch); });
    fetch->timeout = scheduler().after(kFeedTimeoutMs, reply, [fetch, reply] {
        fetch->timedOut = true;
        reply->abort();
    });
}

void AppUpdater::finishFetch(const std::shared_ptr<Fetch> &fetch)
{
    QNetworkReply *reply = fetch->reply;
    fetch->timeout.cancel();
    if (fetch->tooLarge) {
        m_logger.error("Update feed is larger than %lld bytes; the check stops", kMaxFeedBytes);
        endCheck(fetch, kUnreadableMessage);
        return;
    }
    if (fetch->timedOut) {
        m_logger.error("Update feed did not answer within %lld ms", kFeedTimeoutMs);
        endCheck(fetch, kUnreachableMessage);
        return;
    }
    // The status is not looked at: an error page is still a body. Only a request that got
    // no answer at all (or was redirected too often) is a failure.
    const QNetworkReply::NetworkError error = reply->error();
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    const bool transportFailure = error != QNetworkReply::NoError
        && (!answered || error < QNetworkReply::ContentAccessDenied);
    if (transportFailure) {
        m_logger.error("Could not fetch the update feed: %s", qUtf8Printable(reply->errorString()));
        endCheck(fetch, kUnreachableMessage);
        return;
    }
    fetch->body += reply->readAll();

    const std::optional<appcast::Release> release = appcast::readRelease(fetch->body);
    if (!release) {
        m_logger.error("Update feed is not UTF-8 text or holds no item");
        endCheck(fetch, kUnreadableMessage);
        return;
    }
    if (release->versionText.isEmpty()) {
        m_logger.error("Update feed's first item names no version (no sparkle:shortVersionString and no title)");
        endCheck(fetch, kUnreadableMessage);
        return;
    }
    if (!release->buildText.isEmpty() && !release->build)
        m_logger.info("Update feed build \"%s\" is not a whole number", qUtf8Printable(release->buildText.left(64)));

    QString appVersion = infoText(QStringLiteral("CFBundleShortVersionString"));
    if (appVersion.isNull())
        appVersion = QStringLiteral("dev");
    const std::optional<qint64> appBuild = appcast::wholeNumber(infoText(QStringLiteral("CFBundleVersion")));
    endCheck(fetch, appcast::message(*release, appVersion, appBuild, fetch->frameworkCheckStarted));
}

void AppUpdater::endCheck(const std::shared_ptr<Fetch> &fetch, const QString &message)
{
    if (fetch->reply)
        fetch->reply->deleteLater();
    if (m_message != message) {
        m_message = message;
        emit updateCheckMessageChanged();
    }
    if (--m_runningChecks == 0)
        emit isCheckingFeedChanged();
    emit feedCheckFinished();
}

} // namespace qv
