#include "net/fSHAREDInternet.h"

#include "diagnostics/log.h"
#include "files/filesubs.h"
#include "net/encrypt.h"
#include "platform/textcodec.h"
#include "settings/lang.h"
#include "settings/settings.h"
#include "util/identity.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const QString kModule = QStringLiteral("fSHAREDInternet");
// Seconds without a sign of life before a transfer is given up.
constexpr int kTimeoutTicks = 60;
int g_tickInterval = 1000;

// The texts that reach a status line, in the user's language.
QString said(const QString& english)
{
    return cSharedLang::instance().GetTranslation(english);
}

QString kb(qint64 bytes)
{
    return QString::number(double(bytes) / 1024.0, 'f', 2);
}

QString stateText(int state)
{
    switch (state) {
    case TransferState::ResolvingHost:
        return QStringLiteral("Resolving Host");
    case TransferState::HostResolved:
        return QStringLiteral("Host Resolved");
    case TransferState::Connecting:
        return QStringLiteral("Connecting");
    case TransferState::Connected:
        return QStringLiteral("Connected");
    case TransferState::Requesting:
        return QStringLiteral("Requesting");
    case TransferState::RequestSent:
        return QStringLiteral("Request Sent");
    case TransferState::ReceivingResponse:
        return QStringLiteral("Receiving Response");
    case TransferState::ResponseReceived:
        return QStringLiteral("Response Received");
    case TransferState::Disconnecting:
        return QStringLiteral("Disconnecting");
    case TransferState::Disconnected:
        return QStringLiteral("Disconnected");
    case TransferState::Error:
        return QStringLiteral("Error");
    case TransferState::ResponseCompleted:
        return QStringLiteral("Response Completed");
    default:
        return QStringLiteral("Other response");
    }
}

// The status raised for the first four states.
QString stateStatus(int state)
{
    switch (state) {
    case TransferState::ResolvingHost:
        return said(QStringLiteral("Resolving host"));
    case TransferState::HostResolved:
        return said(QStringLiteral("Resolved host"));
    case TransferState::Connecting:
        return said(QStringLiteral("Connecting"));
    case TransferState::Connected:
        return said(QStringLiteral("Connected"));
    default:
        return {};
    }
}

} // namespace

fSHAREDInternet::fSHAREDInternet(QWidget* parent) : QDialog(parent)
{
    setObjectName(kModule);
    setWindowTitle(QStringLiteral("Internet"));

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    lblFile = new QLabel(Frame1);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblProgress = new QLabel(Frame1);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    lblProgress->setMinimumWidth(320);
    auto* frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addWidget(lblFile);
    frameLayout->addWidget(lblProgress);

    cmdStop = new QPushButton(QStringLiteral("&Stop"), this);
    cmdStop->setObjectName(QStringLiteral("cmdStop"));
    connect(cmdStop, &QPushButton::clicked, this, &fSHAREDInternet::cmdStop_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdStop);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);

    Timer1.setInterval(g_tickInterval);
    connect(&Timer1, &QTimer::timeout, this, &fSHAREDInternet::Timer1_Timer);
    m_busyWait.setSingleShot(true);
    connect(&m_busyWait, &QTimer::timeout, this, [this] {
        Timer1.start();
        m_ticks = 0;
        startTransfer(m_transferUrl, m_saveToFile ? m_localFile : QString());
    });
    connect(&Inet1, &TransferClient::StateChanged, this, &fSHAREDInternet::Inet1_StateChanged);
    connect(&Inet1, &TransferClient::progress, this, &fSHAREDInternet::onProgress);
    connect(&Inet1, &TransferClient::dataReceived, this,
            [this](const QByteArray& piece) { m_content += piece; });
    m_noControl = !TransferClient::available();

    cSharedLang::instance().TranslateForm(this);
}

fSHAREDInternet::~fSHAREDInternet()
{
    Inet1.Cancel();
}

void fSHAREDInternet::setTickIntervalForTests(int ms)
{
    g_tickInterval = ms > 0 ? ms : 1000;
}

bool fSHAREDInternet::Connected() const
{
    return Inet1.StillExecuting() || m_busyWait.isActive();
}

int fSHAREDInternet::retryAfterSeconds(const QString& header, const QDateTime& now)
{
    const QString value = header.trimmed();
    bool number = false;
    qint64 seconds = value.toLongLong(&number);
    if (!number) {
        // HTTP dates end in "GMT", which Qt's RFC 2822 reading does not take.
        QString date = value;
        if (date.endsWith(QLatin1String(" GMT"), Qt::CaseInsensitive))
            date = date.chopped(4) + QStringLiteral(" +0000");
        const QDateTime at = QDateTime::fromString(date, Qt::RFC2822Date);
        // Without a usable value the wait is a short one.
        seconds = at.isValid() ? now.secsTo(at) : 5;
    }
    return int(std::clamp<qint64>(seconds, 0, kMaxRetryAfter));
}

bool fSHAREDInternet::retryWhenBusy()
{
    const int status = Inet1.statusCode();
    if (status != 429 && status != 503)
        return false;
    if (m_busyRetried) {
        endTransfer();
        const QString message =
            said(QStringLiteral("The server is busy (HTTP %1). Please try again later."))
                .arg(status);
        Q_EMIT Status(message);
        Q_EMIT DownloadError(message);
        return true;
    }
    m_busyRetried = true;
    const int wait = retryAfterSeconds(Inet1.GetHeader(QStringLiteral("Retry-After")),
                                       QDateTime::currentDateTimeUtc());
    Q_EMIT Status(wait == 1
                      ? said(QStringLiteral("Server busy, trying again in 1 second"))
                      : said(QStringLiteral("Server busy, trying again in %1 seconds")).arg(wait));
    // The clock that gives up on a silent transfer waits too.
    Timer1.stop();
    m_busyWait.start(wait * 1000);
    return true;
}

fSHAREDInternet::FtpAddress fSHAREDInternet::ftpAddress(const QString& url)
{
    QString address = url.trimmed();
    address.replace(u'\\', u'/');
    FtpAddress parts;
    qsizetype hostStart = 0;
    if (!address.startsWith(QLatin1String("FTP."), Qt::CaseInsensitive)) {
        const auto slashes = address.indexOf(QLatin1String("//"));
        hostStart = slashes < 0 ? address.size() : slashes + 2;
    }
    const auto pathStart = address.indexOf(u'/', hostStart);
    parts.host = address.mid(hostStart, pathStart < 0 ? -1 : pathStart - hostStart);
    const QString path = pathStart < 0 ? QStringLiteral("/") : address.mid(pathStart);
    const auto lastSlash = path.lastIndexOf(u'/');
    parts.folder = path.left(lastSlash + 1);
    parts.file = path.mid(lastSlash + 1);
    return parts;
}

void fSHAREDInternet::ApplyProxy()
{
    auto& settings = cSHAREDSettings::shared();
    auto& log = cSharedLogging::instance();
    const int type = settings.sGet(QStringLiteral("ProxyType"), 1).toInt();
    Inet1.AccessType = type;
    Inet1.UserName.clear();
    Inet1.Password.clear();
    if (type == TransferClient::NamedProxy) {
        const QString server = settings.sGet(QStringLiteral("ProxyServer")).toString().trimmed();
        const QString port = settings.sGet(QStringLiteral("ProxyPort")).toString().trimmed();
        Inet1.Proxy = !server.isEmpty() && !port.isEmpty() ? server + ':' + port : QString();
    } else if (type == TransferClient::Direct) {
        Inet1.Proxy.clear();
    }
    log.AddAction(QStringLiteral("Proxy set to: %1 %2").arg(Inet1.AccessType).arg(Inet1.Proxy));
    if (type == TransferClient::NamedProxy) {
        Inet1.UserName = ProxyUser();
        Inet1.Password = ProxyPassword();
        log.AddDebug(QStringLiteral("Proxy username/password set"));
    }
}

QString fSHAREDInternet::ProxyUser() const
{
    return cSHAREDSettings::shared().sGet(QStringLiteral("ProxyUser")).toString();
}

QString fSHAREDInternet::ProxyPassword() const
{
    return cSharedDecrypt::instance().Decrypt(
        cSHAREDSettings::shared().sGet(QStringLiteral("ProxyPwd")).toString());
}

bool fSHAREDInternet::startTransfer(const QString& url, const QString& target)
{
    // The user's proxy choice holds for every transfer, however it was started.
    ApplyProxy();
    m_transferUrl = url;
    if (Inet1.Execute(url, target))
        return true;
    switch (Inet1.errorNumber()) {
    case TransferError::ControlUnavailable:
        m_noControl = true;
        endTransfer();
        Q_EMIT NoInternet();
        break;
    case TransferError::StillExecuting:
        cSHAREDSubs::instance().NormalMouse();
        transferFailed(said(QStringLiteral("Download failed. Please try again.")));
        break;
    default:
        transferFailed(Inet1.ResponseInfo());
        break;
    }
    return false;
}

void fSHAREDInternet::DownloadFile(const QString& sUrl, const QString& Filename, bool bGetSize)
{
    m_url = sUrl;
    m_getSize = bGetSize;
    if (m_noControl) {
        // Nothing can be fetched: the caller hears of a failure, never of a finished file.
        cSharedFileSubs::instance().EraseFile(Filename);
        endTransfer();
        Q_EMIT DownloadError(said(QStringLiteral("No internet transfer available")));
        Q_EMIT NoInternet();
        return;
    }
    lblFile->setText(Filename);
    m_size = 0;
    m_received = 0;
    m_content.clear();
    m_saveToFile = true;
    m_stop = false;
    m_retried = false;
    m_busyRetried = false;
    m_downloading = false;
    // A conditional download keeps the copy there until a newer one has arrived.
    if (QFile::exists(Filename) && !Inet1.IfModifiedSince.isValid())
        cSharedFileSubs::instance().EraseFile(Filename);
    m_ftp = false;
    m_localFile = Filename;
    m_ticks = 0;
    Timer1.setInterval(g_tickInterval);
    Timer1.start();

    if (!sUrl.trimmed().startsWith(QLatin1String("FTP"), Qt::CaseInsensitive)) {
        startTransfer(sUrl.trimmed(), Filename);
        return;
    }
    const FtpAddress ftp = ftpAddress(sUrl);
    if (ftp.host.isEmpty()) {
        transferFailed(said(QStringLiteral("No address specified")));
        return;
    }
    m_ftp = true;
    startTransfer(QStringLiteral("ftp://") + ftp.host + ftp.folder + ftp.file, Filename);
}

QString fSHAREDInternet::OpenURL(const QString& sUrl, bool ShowStatus)
{
    m_url = sUrl;
    if (m_noControl) {
        endTransfer();
        Q_EMIT NoInternet();
        return {};
    }
    SuppressAllButErrors = !ShowStatus;
    m_ticks = 0;
    m_size = 0;
    m_received = 0;
    m_content.clear();
    m_stop = false;
    m_saveToFile = false;
    m_getSize = false;
    m_retried = false;
    m_busyRetried = false;
    m_downloading = false;
    m_localFile.clear();
    Timer1.setInterval(g_tickInterval);
    Timer1.start();
    if (!startTransfer(sUrl.trimmed(), {}))
        return {};
    // Windows stay alive while we wait; the end of the transfer ends the wait.
    QEventLoop wait;
    m_wait = &wait;
    if (Timer1.isActive() && !m_stop)
        wait.exec();
    m_wait = nullptr;
    return m_stop && Inet1.errorNumber() == TransferError::None ? TextCodec::decode(m_content)
                                                                : QString();
}

void fSHAREDInternet::endTransfer()
{
    m_busyWait.stop();
    m_stop = true;
    Timer1.stop();
    if (m_wait)
        m_wait->quit();
}

void fSHAREDInternet::transferFailed(const QString& message)
{
    Inet1.Cancel();
    endTransfer();
    Q_EMIT DownloadError(message);
}

void fSHAREDInternet::Inet1_StateChanged(int state)
{
    lblProgress->setText(said(stateText(state)));
    m_ticks = 0;
    const QString status = stateStatus(state);
    if (!status.isEmpty() && !SuppressAllButErrors)
        Q_EMIT Status(status);

    switch (state) {
    case TransferState::ReceivingResponse:
        Q_EMIT Receiving();
        break;
    case TransferState::ResponseReceived:
        if (m_size == 0) {
            m_size = -1;
            const QString length = Inet1.GetHeader(QStringLiteral("Content-Length"));
            if (m_getSize && !length.isEmpty())
                m_size = length.toLongLong();
        }
        lblProgress->setText(said(QStringLiteral("File size: %1")).arg(m_size));
        break;
    case TransferState::Error:
        switch (Inet1.errorNumber()) {
        case TransferError::TimedOut:
            cSHAREDSubs::instance().NormalMouse();
            transferFailed(said(QStringLiteral("Download timed out. Please try again.")));
            return;
        case TransferError::RequestFailedRetry:
            if (!m_retried) {
                m_retried = true;
                m_getSize = false;
                m_size = 0;
                startTransfer(m_transferUrl, m_localFile);
                return;
            }
            break;
        default:
            if (retryWhenBusy())
                return;
            break;
        }
        endTransfer();
        Q_EMIT Status(Inet1.ResponseInfo());
        Q_EMIT DownloadError(Inet1.ResponseInfo());
        break;
    case TransferState::ResponseCompleted:
        onProgress(Inet1.bytesReceived());
        endTransfer();
        Q_EMIT Status(NotModified()
                          ? said(QStringLiteral("Not changed since the last download"))
                          : said(QStringLiteral("Downloaded %1 kb (100%)")).arg(kb(m_received)));
        Q_EMIT DownloadFinished();
        break;
    default:
        break;
    }
}

void fSHAREDInternet::onProgress(qint64 received)
{
    m_ticks = 0;
    m_received = received;
    if (received > 0 && !m_downloading) {
        m_downloading = true;
        if (!SuppressAllButErrors)
            Q_EMIT Status(said(QStringLiteral("Downloading")));
    }
    if (SuppressAllButErrors || SuppressAllButDLAndErrors)
        return;
    if (m_size > 0) {
        const int percent = int(std::lround(double(received) / double(m_size) * 100.0));
        if (m_getSize)
            ReportProgress(said(QStringLiteral("%1 kb of %2 kb (%3%)"))
                               .arg(std::lround(double(received) / 1024.0))
                               .arg(std::lround(double(m_size) / 1024.0))
                               .arg(percent),
                           float(percent));
        else
            ReportProgress(said(QStringLiteral("%1 kb downloaded"))
                               .arg(std::lround(double(received) / 1024.0)),
                           0);
    } else {
        ReportProgress(said(QStringLiteral("Downloaded %1kb")).arg(kb(received)), 100);
    }
}

void fSHAREDInternet::ReportProgress(const QString& message, float percent)
{
    // At most four reports a second.
    if (m_lastProgress.isValid() && m_lastProgress.elapsed() <= 250)
        return;
    m_lastProgress.start();
    lblProgress->setText(message);
    Q_EMIT Status(message);
    Q_EMIT Progress(percent, message);
}

void fSHAREDInternet::Timer1_Timer()
{
    ++m_ticks;
    if (m_ticks <= kTimeoutTicks)
        return;
    // One error ends the transfer; what it wrote goes with it.
    transferFailed(said(QStringLiteral("Transfer timed out")));
}

void fSHAREDInternet::Cancel()
{
    Inet1.Cancel();
    endTransfer();
    Q_EMIT Progress(0, said(QStringLiteral("Download cancelled")));
    Q_EMIT DownloadCancelled();
}

void fSHAREDInternet::reject()
{
    if (Inet1.StillExecuting())
        Cancel();
    QDialog::reject();
}

void fSHAREDInternet::CancelDownload()
{
    Timer1.stop();
    m_busyWait.stop();
    Inet1.Cancel();
    if (!m_localFile.isEmpty() && QFile::exists(m_localFile))
        cSharedFileSubs::instance().EraseFile(m_localFile);
    endTransfer();
    Q_EMIT DownloadError(said(QStringLiteral("Download cancelled")));
}
