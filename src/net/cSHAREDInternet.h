#pragma once

#include <QObject>
#include <QString>

#include <memory>

class fSHAREDInternet;

// Fetches one resource at a time for code that is not a window: GetFile saves it to a file
// and OpenURL returns it as text, both waiting while the program's windows stay responsive.
class cSHAREDInternet : public QObject {
    Q_OBJECT
public:
    explicit cSHAREDInternet(QObject* parent = nullptr);
    ~cSHAREDInternet() override;

    void setSuppressAllButDLAndErrors(bool suppress);
    void setSuppressAllButErrors(bool suppress);
    void ApplyProxy();
    void Cancel();
    // True when the file arrived whole; false at once when the transfer could not start.
    bool GetFile(const QString& strUrl, const QString& Filename, bool GetSize,
                 bool SuppressAllButDLAndErrors, bool SuppressAllButErrors, bool WithProgressForm);
    qint64 ExpectedFilesize() const;
    QString OpenURL(const QString& sUrl, bool ShowStatus);
    bool Connected() const;

    // The download window, for tests and for showing progress.
    fSHAREDInternet& window() { return *m_window; }

Q_SIGNALS:
    void Status(const QString& Message);
    void Progress(float Progresspercent, const QString& Message);
    void Receiving();
    void DownloadCancelled();
    void NoInternet();

private:
    void ended();

    std::unique_ptr<fSHAREDInternet> m_window;
    bool m_cancelled = false;
    bool m_finished = false;
    bool m_failed = false;
    class QEventLoop* m_wait = nullptr;
};
