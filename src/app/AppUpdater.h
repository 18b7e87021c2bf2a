#pragma once

#include "pages/services/UpdateChecker.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace qv {

// Reading a release feed (an appcast) the way the update check does: plain text
// searches, no XML parser.
namespace appcast {

// The text between the first "<name>" and the first "</name>" after it; nothing when
// either is missing. Exact and case-sensitive: a tag with attributes is not found.
std::optional<QStringView> elementText(QStringView text, QStringView name);

// A whole decimal number: an optional leading "+" or "-", then digits only, fitting a
// signed 64-bit integer.
std::optional<qint64> wholeNumber(const QString &text);

struct Release {
    QString versionText;        // short version, else title; empty when the item has neither
    std::optional<qint64> build; // "sparkle:version" as a whole number
    QString buildText;          // the element's text as it stood (for the log)
};

// A feed's text made fit for the one-line message: white space and line breaks folded to
// single blanks, other controls and the direction controls (marks, embeddings, overrides,
// isolates) taken out, and cut to kMaxFeedTextLength characters with an ellipsis.
inline constexpr qsizetype kMaxFeedTextLength = 64;
QString feedText(const QString &text);

// Text with XML's character references (&amp; &lt; &gt; &quot; &apos;, &#N; and &#xN;)
// read; any other reference becomes U+FFFD, as no document type is read.
QString decodeReferences(QStringView text);

// The first item of a feed body; nothing when the body is not UTF-8 or has no item.
std::optional<Release> readRelease(const QByteArray &body);

// The one-line outcome of a check. frameworkOffersInstaller: a framework check was started
// alongside, so its installer will be offered.
QString message(const Release &release, const QString &appVersion, std::optional<qint64> appBuild,
                bool frameworkOffersInstaller);

} // namespace appcast

// The application's update checker: it starts the update framework's updater and runs a
// check of its own against the release feed that ends in a one-line message.
class AppUpdater : public UpdateChecker {
    Q_OBJECT
    Q_PROPERTY(bool isCheckingFeed READ isCheckingFeed NOTIFY isCheckingFeedChanged)
    Q_PROPERTY(QString updateCheckMessage READ updateCheckMessage NOTIFY updateCheckMessageChanged)
    Q_PROPERTY(bool usesPlaceholderFeed READ usesPlaceholderFeed CONSTANT)
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    // The texts of a check that could not finish.
    static const QString kUnreachableMessage;
    static const QString kUnreadableMessage;

    // A feed may not be larger, take longer or redirect more often than this.
    static constexpr qint64 kMaxFeedBytes = 1024 * 1024;
    // What the network may hold unread for the check at one time.
    static constexpr qint64 kReadBufferBytes = 64 * 1024;
    static constexpr qint64 kFeedTimeoutMs = 20'000;
    static constexpr int kMaxRedirects = 5;

    explicit AppUpdater(QObject *parent = nullptr);
    ~AppUpdater() override;

    static QUrl defaultPublicAppcastURL();
    QUrl publicAppcastURL() const { return m_publicAppcastURL; }
    // Tests point the public feed at a local server.
    void setPublicAppcastURL(const QUrl &url) { m_publicAppcastURL = url; }
    const std::optional<QUrl> &feedURL() const { return m_feedURL; }

    // True when there is no feed address of our own, or it names the local machine.
    bool usesPlaceholderFeed() const override { return isPlaceholderFeed(m_feedURL); }
    static bool isPlaceholderFeed(const std::optional<QUrl> &feed);

    // The framework's answer whether a check may start now.
    bool canCheckForUpdates() const override;
    bool isCheckingFeed() const override { return m_runningChecks > 0; }
    QString updateCheckMessage() const override { return m_message; }

    // The check action of the Support page and the pop-over: nothing while a check runs;
    // otherwise the framework's check when it is allowed and the feed is ours, then the
    // own check.
    Q_INVOKABLE void checkForUpdates() override;
    // The own check against the release feed; its outcome is updateCheckMessage.
    void checkReleaseFeed(bool frameworkCheckStarted = false);

signals:
    // One own check ended (every path).
    void feedCheckFinished();

private:
    struct Fetch;
    void finishFetch(const std::shared_ptr<Fetch> &fetch);
    void endCheck(const std::shared_ptr<Fetch> &fetch, const QString &message);

    QUrl m_publicAppcastURL;
    std::optional<QUrl> m_feedURL;
    int m_runningChecks = 0;
    QString m_message;
    QNetworkAccessManager *m_network = nullptr;
    Logger m_logger{"AppUpdater"};
};

} // namespace qv
