// The update service's replies are outside input. The first byte picks the ping reply
// or the latest-driver reply and its HTTP status; the rest is the body. Every reply
// ends the check exactly once, and an offer the main window would take always carries
// a link the download can fetch (an absolute http or https address).
#include "online/updateoffer.h"
#include "online/updateserver.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>

namespace {

void Silence(QtMsgType, const QMessageLogContext &, const QString &) {}

// A finished reply that hands out a fixed body; no network behind it.
class FixedReply : public QNetworkReply {
public:
    FixedReply(const QByteArray &body, int status, bool failed) : m_body(body)
    {
        setAttribute(QNetworkRequest::HttpStatusCodeAttribute, status);
        if (failed)
            setError(QNetworkReply::InternalServerError, QStringLiteral("Internal Server Error"));
        open(QIODevice::ReadOnly);
        setFinished(true);
    }
    void abort() override {}
    qint64 bytesAvailable() const override { return m_body.size() - m_offset + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min<qint64>(maxSize, m_body.size() - m_offset);
        if (n <= 0)
            return 0; // all handed out; the reply is finished
        std::memcpy(data, m_body.constData() + m_offset, size_t(n));
        m_offset += n;
        return n;
    }

private:
    QByteArray m_body;
    qint64 m_offset = 0;
};

} // namespace

// Qt 5.15's JSON parser loses the first value of a key that appears twice in one object
// when that value is an object or an array ({"data":{},"data":1}): a plain program that
// only calls QJsonDocument::fromJson on such a text leaks the same way. The update
// replies are parsed by Qt, so the leak is Qt's and is suppressed by that name.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:QJsonDocument::fromJson\n";
}

// Qt is built without frame pointers: the fast unwinder stops inside it and the leak's
// stack never names fromJson, so the suppression above could not match. The full
// unwinder costs about eight times the executions per second, for an exact suppression.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_updatereply";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    // No "/dataconfig.ini": the check is off, so nothing goes to the network.
    static QTemporaryDir install;
    static const bool silenced = [] {
        qInstallMessageHandler(Silence);
        return true;
    }();
    (void)silenced;
    if (size < 1)
        return 0;

    const uint8_t mode = data[0];
    const QByteArray body(reinterpret_cast<const char *>(data + 1), int(size - 1));
    const bool failed = (mode & 0x02) != 0;
    FixedReply reply(body, failed ? 500 : 200, failed);

    UpdateServer server(install.path());
    int ended = 0;
    int offers = 0;
    QObject::connect(&server, &UpdateServer::UpdateCheckEnded, [&] { ++ended; });
    QObject::connect(&server, &UpdateServer::GetNewDriver,
                     [&](int, const QString &version, const QString &link, const QString &) {
                         ++offers;
                         // What the main window does with an offer.
                         if (ApplyNewDriverOffer(nullptr, true, version, link) && !UpdateServer::IsDownloadLink(link))
                             std::abort();
                         if (ApplyNewDriverOffer(nullptr, true, version, link)) {
                             const QUrl url(link.trimmed());
                             if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
                                 std::abort();
                             if (url.host().isEmpty())
                                 std::abort();
                         }
                     });
    if (mode & 0x01)
        server.on_GetDriverFinished(&reply);
    else
        server.on_PingFinished(&reply);

    if (ended != 1)
        std::abort(); // every reply ends the check once
    if (offers > 1 || (offers == 1 && (failed || !(mode & 0x01))))
        std::abort(); // only a driver reply that arrived may offer, and once
    return 0;
}
