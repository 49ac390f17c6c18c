#include "platform/transfer/transferclient.h"

#include "parlo_config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

namespace {

constexpr int kMaxRedirects = 10;
// Progress reaches the owner at most this often; the last count always arrives.
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

bool globalInit()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ok;
}

QString reasonPhrase(int code)
{
    switch (code) {
    case 400:
        return QStringLiteral("Bad Request");
    case 401:
        return QStringLiteral("Unauthorized");
    case 403:
        return QStringLiteral("Forbidden");
    case 404:
        return QStringLiteral("Not Found");
    case 407:
        return QStringLiteral("Proxy Authentication Required");
    case 408:
        return QStringLiteral("Request Timeout");
    case 410:
        return QStringLiteral("Gone");
    case 429:
        return QStringLiteral("Too Many Requests");
    case 500:
        return QStringLiteral("Internal Server Error");
    case 502:
        return QStringLiteral("Bad Gateway");
    case 503:
        return QStringLiteral("Service Unavailable");
    case 504:
        return QStringLiteral("Gateway Timeout");
    default:
        return {};
    }
}

} // namespace

// What the worker thread owns. The UI thread only touches `cancel` and wakes the poll.
struct TransferClient::Worker {
    TransferClient* client = nullptr;
    int generation = 0;
    QString url;
    QString targetFile;
    int accessType = Direct;
    QByteArray proxy, userName, password;
    QByteArray certificateAuthorities;
    long connectTimeout = 60;
    qint64 ifModifiedSince = -1; // seconds since 1970, -1 for none

    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    std::thread thread;
    std::atomic<bool> cancel{false};

    // Worker-side state of the response.
    int lastState = 0;
    int status = 0;
    QString reason;
    QList<QPair<QString, QString>> headers;
    bool headersDone = false;
    bool httpFailed = false;
    bool writeFailed = false;
    QString writeError;
    qint64 received = 0;
    std::chrono::steady_clock::time_point lastProgress;
    std::unique_ptr<QSaveFile> file;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    ~Worker()
    {
        if (easy) {
            curl_multi_remove_handle(multi, easy);
            curl_easy_cleanup(easy);
        }
        if (multi)
            curl_multi_cleanup(multi);
    }

    void post(std::function<void()> work) { client->post(generation, std::move(work)); }

    void reachState(int state)
    {
        while (lastState < state) {
            const int next = ++lastState;
            TransferClient* c = client;
            const int gen = generation;
            post([c, gen, next] { c->deliverState(gen, next); });
        }
    }

    void postProgress(bool force)
    {
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - lastProgress < kProgressInterval)
            return;
        lastProgress = now;
        TransferClient* c = client;
        const qint64 count = received;
        post([c, count] {
            c->m_received = count;
            Q_EMIT c->progress(count);
        });
    }

    // The response is in: its headers go to the owner with the state.
    void responseReceived()
    {
        if (lastState >= TransferState::ResponseReceived)
            return;
        reachState(TransferState::ReceivingResponse);
        qint64 length = -1;
        bool fromHeader = false;
        for (const auto& [name, value] : headers) {
            if (name.compare(QLatin1String("Content-Length"), Qt::CaseInsensitive) == 0) {
                bool ok = false;
                length = value.toLongLong(&ok);
                fromHeader = ok;
                if (!ok)
                    length = -1;
            }
        }
        if (!fromHeader) {
            curl_off_t size = -1;
            if (curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) == CURLE_OK)
                length = size;
        }
        TransferClient* c = client;
        post([c, length, st = status, rs = reason, hs = headers] {
            c->m_contentLength = length;
            c->m_statusCode = st;
            c->m_headers = hs;
            if (st)
                c->m_responseInfo = QStringLiteral("HTTP %1 %2").arg(st).arg(rs).trimmed();
        });
        reachState(TransferState::ResponseReceived);
    }

    static size_t onHeader(char* data, size_t size, size_t count, void* self)
    {
        auto* w = static_cast<Worker*>(self);
        const size_t bytes = size * count;
        const QString line = QString::fromLatin1(data, qsizetype(bytes)).trimmed();
        if (w->lastState < TransferState::ReceivingResponse)
            w->reachState(TransferState::ReceivingResponse);
        if (line.startsWith(QLatin1String("HTTP/"))) {
            // Each response of a redirect chain starts afresh; the last one counts.
            const QStringList parts = line.split(' ', Qt::SkipEmptyParts);
            w->status = parts.value(1).toInt();
            w->reason = parts.mid(2).join(' ');
            if (w->reason.isEmpty())
                w->reason = reasonPhrase(w->status);
            w->headers.clear();
        } else if (w->status && !line.isEmpty()) {
            const auto colon = line.indexOf(':');
            if (colon > 0)
                w->headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
        return bytes;
    }

    bool openFile()
    {
        if (file)
            return true;
        file = std::make_unique<QSaveFile>(targetFile);
        if (!file->open(QIODevice::WriteOnly)) {
            writeFailed = true;
            writeError = QStringLiteral("Cannot write %1: %2").arg(targetFile, file->errorString());
            return false;
        }
        return true;
    }

    static size_t onBody(char* data, size_t size, size_t count, void* self)
    {
        auto* w = static_cast<Worker*>(self);
        const size_t bytes = size * count;
        if (w->cancel)
            return 0;
        // An error page is never taken for the body that was asked for.
        if (w->status >= 400) {
            w->httpFailed = true;
            w->responseReceived();
            return 0;
        }
        w->responseReceived();
        if (!w->targetFile.isEmpty()) {
            if (!w->openFile())
                return 0;
            if (w->file->write(data, qint64(bytes)) != qint64(bytes)) {
                w->writeFailed = true;
                w->writeError = QStringLiteral("Cannot write %1: %2")
                                    .arg(w->targetFile, w->file->errorString());
                return 0;
            }
        } else {
            TransferClient* c = w->client;
            QByteArray piece(data, qsizetype(bytes));
            w->post([c, piece] { Q_EMIT c->dataReceived(piece); });
        }
        w->received += qint64(bytes);
        w->postProgress(false);
        return bytes;
    }

    void followConnection()
    {
        curl_off_t t = 0;
        if (curl_easy_getinfo(easy, CURLINFO_NAMELOOKUP_TIME_T, &t) == CURLE_OK && t > 0)
            reachState(TransferState::Connecting);
        if (curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &t) == CURLE_OK && t > 0)
            reachState(TransferState::Connected);
        if (curl_easy_getinfo(easy, CURLINFO_PRETRANSFER_TIME_T, &t) == CURLE_OK && t > 0)
            reachState(TransferState::RequestSent);
    }

    void setOptions()
    {
        const QByteArray urlBytes = url.toUtf8();
        curl_easy_setopt(easy, CURLOPT_URL, urlBytes.constData());
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
        curl_easy_setopt(easy, CURLOPT_USERAGENT, userAgent().toUtf8().constData());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
        // What was asked for over HTTPS is never handed over in the clear by a redirect.
        const bool secure = url.startsWith(QLatin1String("https:"), Qt::CaseInsensitive);
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https,ftp");
        if (!certificateAuthorities.isEmpty())
            curl_easy_setopt(easy, CURLOPT_CAINFO, certificateAuthorities.constData());
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, long(kMaxRedirects));
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, connectTimeout);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Worker::onHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Worker::onBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 256L * 1024L);
        if (ifModifiedSince >= 0) {
            curl_easy_setopt(easy, CURLOPT_TIMECONDITION, long(CURL_TIMECOND_IFMODSINCE));
            curl_easy_setopt(easy, CURLOPT_TIMEVALUE_LARGE, curl_off_t(ifModifiedSince));
        }
        // Access types: the environment's proxy (libcurl reads it by default), none, or ours.
        if (accessType == Direct || (accessType == NamedProxy && proxy.isEmpty())) {
            curl_easy_setopt(easy, CURLOPT_PROXY, "");
        } else if (accessType == NamedProxy) {
            curl_easy_setopt(easy, CURLOPT_PROXY, proxy.constData());
            if (!userName.isEmpty()) {
                curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, userName.constData());
                curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, password.constData());
            }
        }
    }

    void run()
    {
        setOptions();
        reachState(TransferState::ResolvingHost);
        CURLcode result = CURLE_OK;
        if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
        } else {
            for (;;) {
                int running = 0;
                if (curl_multi_perform(multi, &running) != CURLM_OK) {
                    result = CURLE_FAILED_INIT;
                    break;
                }
                if (cancel)
                    return;
                followConnection();
                if (!running) {
                    int queued = 0;
                    while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
                        if (msg->msg == CURLMSG_DONE)
                            result = msg->data.result;
                    }
                    break;
                }
                // Cancel wakes the poll; libcurl shortens the wait for its own timers.
                curl_multi_poll(multi, nullptr, 0, 10000, nullptr);
                if (cancel)
                    return;
            }
        }
        conclude(result);
    }

    void conclude(CURLcode result)
    {
        int number = TransferError::None;
        QString info;
        if (result == CURLE_OK && status >= 400)
            httpFailed = true;
        if (httpFailed) {
            responseReceived();
            number = TransferError::Failed;
            info = QStringLiteral("HTTP %1 %2").arg(status).arg(reason).trimmed();
        } else if (writeFailed) {
            number = TransferError::Failed;
            info = writeError;
        } else if (result == CURLE_OK) {
            responseReceived();
            // Not modified: the copy the caller has stays as it is.
            if (!targetFile.isEmpty() && status != 304 && openFile() &&
                (!file->flush() || !file->commit())) {
                number = TransferError::Failed;
                info = QStringLiteral("Cannot write %1: %2").arg(targetFile, file->errorString());
            }
        } else {
            info = QString::fromUtf8(errorBuffer).trimmed();
            if (info.isEmpty())
                info = QString::fromUtf8(curl_easy_strerror(result));
            if (result == CURLE_OPERATION_TIMEDOUT)
                number = TransferError::TimedOut;
            else if ((result == CURLE_GOT_NOTHING || result == CURLE_SEND_ERROR ||
                      result == CURLE_RECV_ERROR) &&
                     received == 0)
                number = TransferError::RequestFailedRetry;
            else
                number = TransferError::Failed;
        }
        if (number != TransferError::None && file)
            file->cancelWriting();
        postProgress(true);
        TransferClient* c = client;
        const int gen = generation;
        post([c, gen, number, info] { c->finish(gen, number, info); });
    }
};

TransferClient::TransferClient(QObject* parent) : QObject(parent) {}

TransferClient::~TransferClient()
{
    Cancel();
}

bool TransferClient::available()
{
    return globalInit();
}

QString TransferClient::userAgent()
{
    return QStringLiteral("Parlo/" PARLO_VERSION_STRING);
}

QString TransferClient::GetHeader(const QString& name) const
{
    for (const auto& [key, value] : m_headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    if (name.compare(QLatin1String("Content-Length"), Qt::CaseInsensitive) == 0 &&
        m_contentLength >= 0)
        return QString::number(m_contentLength);
    return {};
}

void TransferClient::post(int generation, std::function<void()> work)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, work = std::move(work)] {
            if (generation == m_generation && m_running)
                work();
        },
        Qt::QueuedConnection);
}

void TransferClient::deliverState(int generation, int state)
{
    if (generation != m_generation || !m_running)
        return;
    m_lastState = state;
    Q_EMIT StateChanged(state);
}

void TransferClient::joinWorker()
{
    if (m_worker && m_worker->thread.joinable())
        m_worker->thread.join();
    m_worker.reset();
}

void TransferClient::finish(int generation, int errorNumber, const QString& info)
{
    if (generation != m_generation)
        return;
    joinWorker();
    m_running = false;
    m_errorNumber = errorNumber;
    if (!info.isEmpty() || errorNumber != TransferError::None)
        m_responseInfo = info;
    Q_EMIT StateChanged(errorNumber == TransferError::None ? TransferState::ResponseCompleted
                                                           : TransferState::Error);
}

bool TransferClient::Execute(const QString& url, const QString& targetFile)
{
    if (m_running) {
        m_errorNumber = TransferError::StillExecuting;
        m_responseInfo = QStringLiteral("Still executing last request");
        return false;
    }
    joinWorker();
    m_headers.clear();
    m_statusCode = 0;
    m_contentLength = -1;
    m_received = 0;
    m_lastState = 0;
    m_responseInfo.clear();
    m_errorNumber = TransferError::None;

    const QString scheme = QUrl(url.trimmed()).scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https") &&
        scheme != QLatin1String("ftp")) {
        m_errorNumber = TransferError::Failed;
        m_responseInfo = QStringLiteral("Unsupported address: %1").arg(url);
        return false;
    }
    auto worker = std::make_unique<Worker>();
    if (!available() || !(worker->multi = curl_multi_init()) ||
        !(worker->easy = curl_easy_init())) {
        m_errorNumber = TransferError::ControlUnavailable;
        m_responseInfo = QStringLiteral("The transfer library is not available");
        return false;
    }
    worker->client = this;
    worker->generation = ++m_generation;
    worker->url = url.trimmed();
    worker->targetFile = targetFile;
    worker->accessType = AccessType;
    worker->proxy = Proxy.toUtf8();
    worker->userName = UserName.toUtf8();
    worker->password = Password.toUtf8();
    worker->certificateAuthorities = QFile::encodeName(CertificateAuthorities);
    worker->connectTimeout = RequestTimeout > 0 ? RequestTimeout : 60;
    worker->ifModifiedSince =
        IfModifiedSince.isValid() ? std::max<qint64>(0, IfModifiedSince.toSecsSinceEpoch()) : -1;
    m_worker = std::move(worker);
    m_running = true;
    Worker* w = m_worker.get();
    w->thread = std::thread([w] { w->run(); });
    return true;
}

void TransferClient::Cancel()
{
    ++m_generation; // whatever the worker already posted is dropped
    if (m_worker) {
        m_worker->cancel = true;
        curl_multi_wakeup(m_worker->multi);
    }
    joinWorker(); // the temporary file goes with the worker's QSaveFile
    m_running = false;
}
