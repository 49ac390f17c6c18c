#pragma once

#include "platform/transfer/transferclient.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

class QEventLoop;
class QGroupBox;
class QLabel;
class QPushButton;

// The download window: drives one transfer at a time, turns its states into status and
// progress texts and a few events, and ends a transfer that shows no sign of life for a
// minute. DownloadFile saves a body to a file and reports through events; OpenURL returns
// a body as text and waits for it. A body that fails, times out or is cancelled never
// reaches the file's name.
class fSHAREDInternet : public QDialog {
    Q_OBJECT
public:
    explicit fSHAREDInternet(QWidget* parent = nullptr);
    ~fSHAREDInternet() override;

    bool SuppressAllButDLAndErrors = false;
    bool SuppressAllButErrors = false;

    qint64 ExpectedFilesize() const { return m_size; }
    void Cancel();
    QString OpenURL(const QString& sUrl, bool ShowStatus);
    void CancelDownload();
    void DownloadFile(const QString& sUrl, const QString& Filename, bool bGetSize);
    // For the next DownloadFile: ask only for a file newer than time (invalid: any). The
    // file already there is kept until a newer one has arrived; NotModified() then says
    // whether the server had nothing newer.
    void setIfModifiedSince(const QDateTime& time) { Inet1.IfModifiedSince = time; }
    bool NotModified() const { return Inet1.statusCode() == 304; }
    bool Connected() const;
    void ApplyProxy();
    QString ProxyUser() const;
    QString ProxyPassword() const;

    // The parts of an FTP address, "ftp://host/dir/file" or "FTP.host/dir/file".
    struct FtpAddress {
        QString host;
        QString folder; // with a leading and a trailing "/"
        QString file;
    };
    static FtpAddress ftpAddress(const QString& url);

    // A busy server's answer (429, 503) is retried once after its Retry-After, at most a
    // minute; the seconds to wait for a header's value (seconds or an HTTP date).
    static int retryAfterSeconds(const QString& header, const QDateTime& now);
    static constexpr int kMaxRetryAfter = 60;

    // Tests shorten the clock that counts the seconds without a sign of life.
    static void setTickIntervalForTests(int ms);
    // The transfer control, for tests that look at what it was given.
    const TransferClient& transfer() const { return Inet1; }

Q_SIGNALS:
    void Status(const QString& message);
    void Progress(float Progresspercent, const QString& Message);
    void DownloadFinished();
    void DownloadCancelled();
    void DownloadError(const QString& message);
    void UploadError(const QString& message);
    void Receiving();
    void NoInternet();

public Q_SLOTS:
    void reject() override; // closing the window stops the transfer

private Q_SLOTS:
    void Inet1_StateChanged(int state);
    void Timer1_Timer();
    void cmdStop_Click() { Cancel(); }

private:
    bool startTransfer(const QString& url, const QString& target);
    void onProgress(qint64 received);
    void ReportProgress(const QString& message, float percent);
    void transferFailed(const QString& message);
    bool retryWhenBusy();
    void endTransfer();

    TransferClient Inet1;
    QTimer Timer1;
    QTimer m_busyWait; // until a busy server's Retry-After has passed
    bool m_busyRetried = false;
    QPushButton* cmdStop;
    QGroupBox* Frame1;
    QLabel* lblFile;
    QLabel* lblProgress;

    qint64 m_size = 0;
    qint64 m_received = 0;
    QByteArray m_content;
    bool m_stop = false;
    bool m_saveToFile = false;
    bool m_getSize = false;
    bool m_ftp = false;
    bool m_retried = false;
    bool m_downloading = false;
    QString m_localFile;
    QString m_url;
    QString m_transferUrl; // what was asked of the control, for its one retry
    int m_ticks = 0;
    bool m_noControl = false;
    QElapsedTimer m_lastProgress;
    QEventLoop* m_wait = nullptr;
};
