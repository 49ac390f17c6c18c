#include "net/cSHAREDInternet.h"

#include "files/filesubs.h"
#include "net/fSHAREDInternet.h"

#include <QEventLoop>
#include <QFile>

cSHAREDInternet::cSHAREDInternet(QObject* parent)
    : QObject(parent), m_window(std::make_unique<fSHAREDInternet>())
{
    fSHAREDInternet* w = m_window.get();
    connect(w, &fSHAREDInternet::DownloadFinished, this, [this] {
        m_finished = true;
        ended();
    });
    auto failed = [this] {
        m_failed = true;
        ended();
    };
    connect(w, &fSHAREDInternet::DownloadError, this, failed);
    connect(w, &fSHAREDInternet::UploadError, this, failed);
    connect(w, &fSHAREDInternet::DownloadCancelled, this, [this] {
        m_cancelled = true;
        Q_EMIT DownloadCancelled();
        ended();
    });
    connect(w, &fSHAREDInternet::Status, this, &cSHAREDInternet::Status);
    connect(w, &fSHAREDInternet::Progress, this, &cSHAREDInternet::Progress);
    connect(w, &fSHAREDInternet::Receiving, this, &cSHAREDInternet::Receiving);
}

cSHAREDInternet::~cSHAREDInternet()
{
    if (m_window->Connected())
        m_window->Cancel();
}

void cSHAREDInternet::ended()
{
    m_window->hide();
    if (m_wait)
        m_wait->quit();
}

void cSHAREDInternet::setSuppressAllButDLAndErrors(bool suppress)
{
    m_window->SuppressAllButDLAndErrors = suppress;
}

void cSHAREDInternet::setSuppressAllButErrors(bool suppress)
{
    m_window->SuppressAllButErrors = suppress;
}

void cSHAREDInternet::ApplyProxy()
{
    m_window->ApplyProxy();
}

void cSHAREDInternet::Cancel()
{
    m_window->Cancel();
    m_cancelled = true;
}

qint64 cSHAREDInternet::ExpectedFilesize() const
{
    return m_window->ExpectedFilesize();
}

bool cSHAREDInternet::Connected() const
{
    return m_window->Connected();
}

QString cSHAREDInternet::OpenURL(const QString& sUrl, bool ShowStatus)
{
    m_cancelled = false;
    return m_window->OpenURL(sUrl, ShowStatus);
}

bool cSHAREDInternet::GetFile(const QString& strUrl, const QString& Filename, bool GetSize,
                              bool SuppressAllButDLAndErrors, bool SuppressAllButErrors,
                              bool WithProgressForm)
{
    m_cancelled = false;
    m_window->SuppressAllButDLAndErrors = SuppressAllButDLAndErrors;
    m_window->SuppressAllButErrors = SuppressAllButErrors;
    m_finished = false;
    m_failed = false;
    if (m_window->Connected()) {
        m_window->Cancel();
        m_cancelled = false; // that was the earlier transfer's end, not this one's
    }
    m_window->DownloadFile(strUrl, Filename, GetSize);
    auto done = [this] { return m_finished || m_failed || m_cancelled; };
    // A transfer that could not start has already said so.
    if (!done() && WithProgressForm)
        m_window->exec();
    if (!done()) {
        QEventLoop wait;
        m_wait = &wait;
        wait.exec();
        m_wait = nullptr;
    }
    if (m_failed || m_cancelled) {
        if (QFile::exists(Filename))
            cSharedFileSubs::instance().EraseFile(Filename);
        return false;
    }
    return true;
}
