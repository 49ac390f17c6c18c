#pragma once

#include "update/versionfile.h"

#include <QDateTime>
#include <QDialog>

#include <functional>
#include <memory>

class cSHAREDInternet;
class QCheckBox;
class QLabel;
class QPushButton;
class QTextEdit;

// The strip at the foot of the update window: a centred text, or a bar with a text.
class cStatusStrip : public QWidget {
    Q_OBJECT
public:
    explicit cStatusStrip(QWidget* parent = nullptr);
    void PrintCentered(const QString& text);
    void ShowProgressString(float percent, const QString& text);
    QString text() const { return m_text; }
    // Below 0 while it shows a plain text.
    float percent() const { return m_percent; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    float m_percent = -1;
};

// The update window: compares the version on the update server with the running
// program's, tells the user, and on request fetches the update package into the program
// folder. Run silently (the automatic check) it speaks up only when an update exists. The
// owner starts the installation when it hears InstallFile. Closing only hides it: the
// owner keeps it for the whole run.
class fSHAREDUpdater : public QDialog {
    Q_OBJECT
public:
    explicit fSHAREDUpdater(QWidget* parent = nullptr);
    ~fSHAREDUpdater() override;

    void StopAll();
    bool CheckForUpdate(bool SuppressForm, const QString& UpdateURL, const QString& DetailsURL,
                        const QString& UpdateFilename, const QString& CurrentVersion);
    void ShowandCheck(const QString& UpdateURL, const QString& DetailsURL,
                      const QString& DownloadedFilename, const QString& CurrentVersion);
    void DownloadAndInstall(const QString& DownloadURL);
    bool NoAutoCheck();
    bool DoCheckNow();
    void SaveLastCheckDate();
    static void ExtractVersionFromWebFile(const QString& DataString, int& NewMajor, int& NewMinor,
                                          int& NewMinorRevision, QString& RevLetter,
                                          QString& ProgURL);
    static void ExtractVersionFromAppVer(const QString& versionText, int& major, int& minor,
                                         int& revision, QString& letters);

    // The address of the package that the last reading of the version file named.
    QString downloadUrl() const { return m_downloadUrl; }
    // Asks a Yes/No question; a message box unless replaced (tests answer it themselves).
    std::function<bool(const QString& question)> askYesNo;
    // The current date and time, for the day count of the automatic check.
    std::function<QDateTime()> clock;
    // The fetch, for tests that watch what it is asked.
    cSHAREDInternet& fetch() { return *m_inet; }

Q_SIGNALS:
    void Status(const QString& Message);
    void Finished();
    void InstallFile();
    void FormClosed();

public Q_SLOTS:
    void reject() override; // the close box and Escape close the window as "Exit" does

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void cmdCheckAgain_Click();
    void cmdDownload_Click();
    void cmdDownloadInstall_Click();
    void cmdShowDetail_Click();
    void cmdProxy_Click();
    void cmdExit_Click();
    void Form_Load();
    void inet_Progress(float percent, const QString& message);
    bool DownloadFile(const QString& folder, const QString& filename, const QString& address);
    // The kept address, after a silent check when none is known yet.
    bool downloadPackage();
    void showStatus(const QString& text);
    void showUpdateState(const QString& text, const QColor& colour);
    bool autoCheckDisabled() const;
    void storeAutoCheckChoice();
    void showModally();

    std::unique_ptr<cSHAREDInternet> m_inet;
    QLabel* lblYouHave = nullptr;
    QLabel* lblProgram = nullptr;
    QLabel* lblStatus = nullptr;
    QLabel* lblUpdate = nullptr;
    QLabel* lblPrivacy = nullptr;
    cStatusStrip* picStatus = nullptr;
    QTextEdit* txtDetails = nullptr;
    QCheckBox* chkDisableAutoUpdate = nullptr;
    QPushButton* cmdCheckAgain = nullptr;
    QPushButton* cmdShowDetail = nullptr;
    QPushButton* cmdDownload = nullptr;
    QPushButton* cmdDownloadInstall = nullptr;
    QPushButton* cmdProxy = nullptr;
    QPushButton* cmdExit = nullptr;

    QString m_updateUrl;
    QString m_detailsUrl;
    QString m_updateFilename;
    QString m_downloadUrl;
    QString m_sha256;
    bool m_showProgress = false;
    // Counts checks started, so that a check overtaken by a newer one leaves its result alone.
    int m_checks = 0;
    // A fetch of the version file, the details or the package is under way.
    bool m_fetching = false;
};
