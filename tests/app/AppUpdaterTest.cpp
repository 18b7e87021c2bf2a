#include "app/AppUpdater.h"

#include "platform/sim/SimBundle.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <atomic>
#include <functional>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace qv;

namespace {

// A tiny HTTP server on the loopback address: every request gets the answer the test
// sets; each connection is closed after one answer.
class FeedServer : public QObject {
    Q_OBJECT
public:
    using Answer = std::function<void(QTcpSocket *, const QByteArray &request)>;

    FeedServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                    m_pending[socket] += socket->readAll();
                    if (!m_pending[socket].contains("\r\n\r\n"))
                        return;
                    ++requests;
                    emit requested();
                    answer(socket, m_pending.take(socket));
                });
            }
        });
    }

    QUrl url(const QString &path = QStringLiteral("/appcast.xml")) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }

    static void reply(QTcpSocket *socket, const QByteArray &body, const QByteArray &status = "200 OK")
    {
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: application/xml\r\nContent-Length: "
                      + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }
    // Answers every request with body.
    void serve(const QByteArray &body, const QByteArray &status = "200 OK")
    {
        answer = [body, status](QTcpSocket *socket, const QByteArray &) { reply(socket, body, status); };
    }

    Answer answer;
    int requests = 0;

signals:
    void requested();

private:
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

QByteArray feed(const QByteArray &item)
{
    return "<?xml version=\"1.0\"?><rss><channel><title>Quellvista</title><item>" + item
        + "</item></channel></rss>";
}

class AppUpdaterTest : public test::QvTest {
protected:
    void setInfo(const QString &key, const QVariant &value) { mac->bundle().setInfoValue(key, value); }

    std::unique_ptr<AppUpdater> makeUpdater()
    {
        auto updater = std::make_unique<AppUpdater>();
        updater->setPublicAppcastURL(server.url());
        return updater;
    }

    // Runs the check action and waits for the own check to end.
    QString check(AppUpdater &updater)
    {
        QSignalSpy finished(&updater, &AppUpdater::feedCheckFinished);
        updater.checkForUpdates();
        EXPECT_TRUE(updater.isCheckingFeed());
        EXPECT_TRUE(finished.wait(5000));
        EXPECT_FALSE(updater.isCheckingFeed());
        return updater.updateCheckMessage();
    }

    FeedServer server;
};

TEST_F(AppUpdaterTest, PlaceholderFeedRule)
{
    const struct {
        QVariant feed;
        bool placeholder;
    } cases[] = {
        {QVariant(), true},
        {QVariant(42), true}, // not text
        {QStringLiteral("http://[::1"), true}, // not a URL
        {QStringLiteral("https://LOCALHOST/appcast.xml"), true},
        {QStringLiteral("http://127.0.0.1:8080/appcast.xml"), true},
        {QStringLiteral("https://localhost.invalid/appcast.xml"), true},
        {QStringLiteral("file:///srv/appcast.xml"), false}, // no host
        {QStringLiteral("https://updates.example.org/appcast.xml"), false},
    };
    for (const auto &c : cases) {
        setInfo(QStringLiteral("SUFeedURL"), c.feed);
        AppUpdater updater;
        EXPECT_EQ(updater.usesPlaceholderFeed(), c.placeholder) << c.feed.toString().toStdString();
    }
}

// A feed of our own (a file: no host, so no placeholder) with the framework allowing a
// check: the framework's check runs and the message promises its installer; without the
// framework's check the message does not.
TEST_F(AppUpdaterTest, FrameworkCheckOnlyForARealFeedItAllowsAndTheMessageSaysSo)
{
    const QByteArray newer
        = feed("<sparkle:shortVersionString>1.2</sparkle:shortVersionString><sparkle:version>121</sparkle:version>");
    const QString path = dir->filePath(QStringLiteral("appcast.xml"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(newer);
    file.close();
    server.serve(newer);
    setInfo(QStringLiteral("CFBundleVersion"), QStringLiteral("120"));

    const QString available = QStringLiteral("Version 1.2 build 121 is available.");
    const struct {
        QVariant feed;
        bool allows;
        int frameworkChecks;
        QString message;
    } cases[] = {
        {QUrl::fromLocalFile(path).toString(), true, 1, available + QStringLiteral(" Sparkle will offer the signed installer.")},
        {QUrl::fromLocalFile(path).toString(), false, 0, available},
        {QVariant(), true, 0, available}, // placeholder: the public feed, no framework check
    };
    for (const auto &c : cases) {
        setInfo(QStringLiteral("SUFeedURL"), c.feed);
        mac->updater().setAllowsChecks(c.allows);
        const int before = mac->updater().checkCount();
        auto updater = makeUpdater();
        EXPECT_TRUE(mac->updater().isStarted());
        EXPECT_EQ(updater->canCheckForUpdates(), c.allows);
        EXPECT_EQ(check(*updater), c.message);
        EXPECT_EQ(mac->updater().checkCount() - before, c.frameworkChecks);
    }
}

TEST_F(AppUpdaterTest, MessageTable)
{
    const QByteArray v14 = "<sparkle:shortVersionString>1.4</sparkle:shortVersionString>";
    const struct {
        const char *name;
        QByteArray body;
        QVariant appBuild;
        QString message;
    } cases[] = {
        {"title over three lines", feed("<title>Quellvista\n1.5\r\n\tfinal</title>"), QStringLiteral("120"),
         QStringLiteral("Latest release is Quellvista 1.5 final.")},
        {"a million characters", feed("<title>" + QByteArray(1'000'000, 'x') + "</title>"), QStringLiteral("120"),
         QStringLiteral("Latest release is ") + QString(63, u'x') + QChar(0x2026) + u'.'},
        {"direction controls", feed("<title>\u202E1.5\u202C \u2066beta\u2069\u200F</title>"), QStringLiteral("120"),
         QStringLiteral("Latest release is 1.5 beta.")},
        {"line and paragraph separators", feed("<title>1.5\u2028\u2029\u0085next</title>"), QStringLiteral("120"),
         QStringLiteral("Latest release is 1.5 next.")},
        {"cut between surrogates", feed("<title>" + QByteArray(62, 'v') + "\U0001F600\U0001F600</title>"),
         QStringLiteral("120"), QStringLiteral("Latest release is ") + QString(62, u'v') + QChar(0x2026) + u'.'},
        {"up to date", feed(v14 + "<sparkle:version>120</sparkle:version>"), QStringLiteral("120"),
         QStringLiteral("You're up to date. Latest release is 1.4 build 120.")},
        {"newer here", feed(v14 + "<sparkle:version>118</sparkle:version>"), QStringLiteral("120"),
         QStringLiteral("Release feed latest is 1.4 build 118. This build is 1.0.0 build 120.")},
        {"newer in feed", feed(v14 + "<sparkle:version>121</sparkle:version>"), QStringLiteral("120"),
         QStringLiteral("Version 1.4 build 121 is available.")},
        {"dotted build", feed(v14 + "<sparkle:version>1.4.2</sparkle:version>"), QStringLiteral("120"),
         QStringLiteral("Latest release is 1.4.")},
        {"app build not a number", feed(v14 + "<sparkle:version>121</sparkle:version>"), QStringLiteral("12a"),
         QStringLiteral("Latest release is 1.4.")},
        {"app build not text", feed(v14 + "<sparkle:version>121</sparkle:version>"), QVariant(120),
         QStringLiteral("Latest release is 1.4.")},
        {"build beyond 64 bits", feed(v14 + "<sparkle:version>9223372036854775808</sparkle:version>"),
         QStringLiteral("120"), QStringLiteral("Latest release is 1.4.")},
        {"signed plus", feed(v14 + "<sparkle:version>+121</sparkle:version>"), QStringLiteral("120"),
         QStringLiteral("Version 1.4 build 121 is available.")},
        {"signed minus", feed(v14 + "<sparkle:version>-3</sparkle:version>"), QStringLiteral("120"),
         QStringLiteral("Release feed latest is 1.4 build -3. This build is 1.0.0 build 120.")},
        {"sign alone", feed(v14 + "<sparkle:version>-</sparkle:version>"), QStringLiteral("120"),
         QStringLiteral("Latest release is 1.4.")},
        {"version only in attributes", feed("<title>Quellvista 1.5</title><enclosure sparkle:version=\"130\"/>"),
         QStringLiteral("120"), QStringLiteral("Latest release is Quellvista 1.5.")},
        {"no version at all", feed("<link>x</link>"), QStringLiteral("120"), AppUpdater::kUnreadableMessage},
        {"blank version, then a title", feed("<sparkle:shortVersionString> </sparkle:shortVersionString><title>1.5</title>"),
         QStringLiteral("120"), QStringLiteral("Latest release is 1.5.")},
        {"references", feed("<title>Caf&#xe9; &amp; Th&#233; &lt;1.5&gt;</title>"), QStringLiteral("120"),
         QStringLiteral("Latest release is Caf\u00e9 & Th\u00e9 <1.5>.")},
        {"unknown or broken references", feed("<title>1.5 &e9;&#xD800;&#0;&eacute; &#x202E;x & y</title>"),
         QStringLiteral("120"), QStringLiteral("Latest release is 1.5 \ufffd\ufffd\ufffd\ufffd x & y.")},
        {"entity bomb", "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">]>"
                        "<r><item><title>&b;</title></item></r>", QStringLiteral("120"),
         QStringLiteral("Latest release is \ufffd.")},
        {"blank lines trimmed", feed("<sparkle:shortVersionString>\n\n  1.4 \n\n</sparkle:shortVersionString>"
                                     "<sparkle:version>\n 120\n</sparkle:version>"),
         QStringLiteral("120"), QStringLiteral("You're up to date. Latest release is 1.4 build 120.")},
        {"markup kept as text", feed("<sparkle:shortVersionString><b>1.4</b></sparkle:shortVersionString>"),
         QStringLiteral("120"), QStringLiteral("Latest release is <b>1.4</b>.")},
        {"html error page", "<html><body>Not found</body></html>", QStringLiteral("120"),
         AppUpdater::kUnreadableMessage},
        {"not utf-8", feed(v14 + "\xff\xfe"), QStringLiteral("120"), AppUpdater::kUnreadableMessage},
        {"item never closed", "<rss><item><title>1.4</title>", QStringLiteral("120"), AppUpdater::kUnreadableMessage},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        setInfo(QStringLiteral("CFBundleVersion"), c.appBuild);
        server.serve(c.body, c.body.startsWith("<html") ? "404 Not Found" : "200 OK");
        auto updater = makeUpdater();
        EXPECT_EQ(check(*updater), c.message);
    }
}

TEST_F(AppUpdaterTest, MissingBundleVersionReadsDev)
{
    setInfo(QStringLiteral("CFBundleShortVersionString"), QVariant());
    setInfo(QStringLiteral("CFBundleVersion"), QStringLiteral("120"));
    server.serve(feed("<title>1.4</title><sparkle:version>7</sparkle:version>"));
    auto updater = makeUpdater();
    EXPECT_EQ(check(*updater), QStringLiteral("Release feed latest is 1.4 build 7. This build is dev build 120."));
}

TEST_F(AppUpdaterTest, UnreachableFeed)
{
    auto updater = makeUpdater();
    updater->setPublicAppcastURL(QUrl(QStringLiteral("http://127.0.0.1:1/appcast.xml")));
    EXPECT_EQ(check(*updater), AppUpdater::kUnreachableMessage);
}

// Hostile feeds end the check; it never hangs and never reads without bound.
TEST_F(AppUpdaterTest, HostileFeedsEndTheCheck)
{
    // A readable feed, only too large.
    const QByteArray big = feed("<title>1.4</title>") + QByteArray(AppUpdater::kMaxFeedBytes, ' ');
    const struct {
        const char *name;
        FeedServer::Answer answer;
        QString message;
    } cases[] = {
        // First, so that no request of an earlier case that the network stack retries late
        // is counted with its redirects.
        {"redirects forever",
         [](QTcpSocket *s, const QByteArray &) {
             s->write("HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
             s->disconnectFromHost();
         },
         AppUpdater::kUnreachableMessage},
        {"too large, announced", [&](QTcpSocket *s, const QByteArray &) { FeedServer::reply(s, big); },
         AppUpdater::kUnreadableMessage},
        {"too large, unannounced",
         [&](QTcpSocket *s, const QByteArray &) {
             s->write("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + big);
             s->disconnectFromHost();
         },
         AppUpdater::kUnreadableMessage},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        server.answer = c.answer;
        server.requests = 0;
        auto updater = makeUpdater();
        EXPECT_EQ(check(*updater), c.message);
        // The first request and the redirects followed, each of which the network stack
        // may send once more when the server closed its connection.
        EXPECT_LE(server.requests, 2 * (AppUpdater::kMaxRedirects + 1));
    }
}

TEST_F(AppUpdaterTest, FeedThatNeverFinishesTimesOut)
{
    server.answer = [](QTcpSocket *s, const QByteArray &) {
        s->write("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n<rss><item>");
    };
    auto updater = makeUpdater();
    QSignalSpy finished(updater.get(), &AppUpdater::feedCheckFinished);
    QSignalSpy requested(&server, &FeedServer::requested);
    updater->checkForUpdates();
    ASSERT_TRUE(requested.wait(5000));
    advance(AppUpdater::kFeedTimeoutMs - 1);
    EXPECT_TRUE(updater->isCheckingFeed());
    advance(1);
    if (finished.isEmpty()) {
        ASSERT_TRUE(finished.wait(5000));
    }
    EXPECT_FALSE(updater->isCheckingFeed());
    EXPECT_EQ(updater->updateCheckMessage(), AppUpdater::kUnreachableMessage);
}

// A second press while a check runs starts nothing; the last message stays while checking.
TEST_F(AppUpdaterTest, OneCheckAtATimeAndTheMessageStaysUntilReplaced)
{
    server.serve(feed("<title>1.4</title>"));
    auto updater = makeUpdater();
    EXPECT_EQ(check(*updater), QStringLiteral("Latest release is 1.4."));

    server.serve(feed("<title>1.5</title>"));
    QSignalSpy finished(updater.get(), &AppUpdater::feedCheckFinished);
    server.requests = 0;
    updater->checkForUpdates();
    updater->checkForUpdates();
    EXPECT_EQ(updater->updateCheckMessage(), QStringLiteral("Latest release is 1.4."));
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(server.requests, 1);
    EXPECT_EQ(updater->updateCheckMessage(), QStringLiteral("Latest release is 1.5."));
}

// The process's resident size in KiB.
long residentKiB()
{
    long pages = 0, resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Answers one request, from a thread of its own, with a chunked body that never ends,
// written as fast as the client takes it until the client goes; meanwhile it notes the
// process's largest resident size.
class EndlessChunkedServer {
public:
    EndlessChunkedServer()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_listener, 1);
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
        port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~EndlessChunkedServer()
    {
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }

    int port = 0;
    std::atomic<long> peakKiB{0};
    std::atomic<qint64> sentBytes{0};

private:
    void serve()
    {
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            return;
        char request[4096];
        if (::recv(client, request, sizeof request, 0) <= 0) {
            ::close(client);
            return;
        }
        const QByteArray head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
        const QByteArray chunk = "4000\r\n" + QByteArray(0x4000, 'x') + "\r\n";
        bool ok = ::send(client, head.constData(), head.size(), MSG_NOSIGNAL) == head.size();
        for (int n = 0; ok; ++n) {
            ok = ::send(client, chunk.constData(), chunk.size(), MSG_NOSIGNAL) == chunk.size();
            sentBytes += chunk.size();
            if (n % 64 == 0)
                peakKiB = std::max(peakKiB.load(), residentKiB());
        }
        ::close(client);
    }

    int m_listener = -1;
    std::thread m_thread;
};

// A feed whose body never ends is read no further than the limit, and the network stack
// does not pile it up unread meanwhile.
TEST_F(AppUpdaterTest, AnEndlessChunkedFeedKeepsMemoryBounded)
{
    EndlessChunkedServer endless;
    auto updater = makeUpdater();
    updater->setPublicAppcastURL(QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(endless.port)));
    const long baseline = residentKiB();
    EXPECT_EQ(check(*updater), AppUpdater::kUnreadableMessage);
    EXPECT_LT(std::max(endless.peakKiB.load(), residentKiB()) - baseline, 20 * 1024)
        << endless.sentBytes.load() << " bytes sent";
}

} // namespace

#include "AppUpdaterTest.moc"
