#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <functional>
#include <memory>

// The states a transfer passes through, as the download window knows them.
namespace TransferState {
enum : int {
    ResolvingHost = 1,
    HostResolved = 2,
    Connecting = 3,
    Connected = 4,
    Requesting = 5,
    RequestSent = 6,
    ReceivingResponse = 7,
    ResponseReceived = 8,
    Disconnecting = 9,
    Disconnected = 10,
    Error = 11,
    ResponseCompleted = 12,
};
}

// The error numbers callers act upon.
namespace TransferError {
enum : int {
    None = 0,
    ControlUnavailable = 339,
    RequestFailedRetry = 35756,
    TimedOut = 35761,
    StillExecuting = 35764,
    Failed = 35750, // anything else: ResponseInfo() says what
};
}

// One HTTP, HTTPS or FTP transfer at a time over libcurl, run on a worker thread. The body
// goes either to a file, written as it arrives under a temporary name and renamed only when
// the transfer succeeded, or to the caller in pieces (dataReceived). Every signal is
// delivered on the thread that owns the client, never after Cancel() returned.
class TransferClient : public QObject {
    Q_OBJECT
public:
    enum AccessType { SystemDefault = 0, Direct = 1, NamedProxy = 2 };

    explicit TransferClient(QObject* parent = nullptr);
    ~TransferClient() override;

    // False when libcurl could not be set up; no transfer is possible then.
    static bool available();

    int AccessType = Direct;
    QString Proxy;    // "host:port" for NamedProxy
    QString UserName; // the proxy's credentials
    QString Password;
    int RequestTimeout = 60; // seconds allowed for connecting
    // A file of further certificate authorities to trust instead of the system's store
    // (a private server's own); empty for the system's.
    QString CertificateAuthorities;
    // When valid, an HTTP server answers 304 with no body if its file is no newer, and a
    // target file is then left as it was (statusCode() says 304).
    QDateTime IfModifiedSince;

    // Starts fetching url; into targetFile, or to dataReceived when it is empty. Returns
    // false with errorNumber() set when no transfer started (one is still running, the
    // control is unavailable, the URL is not one we fetch).
    bool Execute(const QString& url, const QString& targetFile = {});
    // Stops the transfer at once; what it wrote is removed and no further signal comes.
    void Cancel();
    bool StillExecuting() const { return m_running; }

    // Of the last response: a header's value ("" when absent), the status line's meaning
    // or the failure's text, the error number of a failed transfer, and the byte counts.
    QString GetHeader(const QString& name) const;
    QString ResponseInfo() const { return m_responseInfo; }
    int errorNumber() const { return m_errorNumber; }
    int statusCode() const { return m_statusCode; }
    qint64 contentLength() const { return m_contentLength; }
    qint64 bytesReceived() const { return m_received; }

    // "Parlo/<version>", sent with every request.
    static QString userAgent();

Q_SIGNALS:
    void StateChanged(int state);
    // Bytes arrived: the total so far. Always sent once more, with the final total, before
    // the transfer ends.
    void progress(qint64 received);
    // A piece of the body, when no target file was given.
    void dataReceived(const QByteArray& piece);

private:
    struct Worker;
    void post(int generation, std::function<void()> work);
    void deliverState(int generation, int state);
    void finish(int generation, int errorNumber, const QString& info);
    void joinWorker();

    std::unique_ptr<Worker> m_worker;
    int m_generation = 0;
    bool m_running = false;
    int m_lastState = 0;
    QList<QPair<QString, QString>> m_headers;
    QString m_responseInfo;
    int m_errorNumber = TransferError::None;
    int m_statusCode = 0;
    qint64 m_contentLength = -1;
    qint64 m_received = 0;
};
