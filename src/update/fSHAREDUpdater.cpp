#include "update/fSHAREDUpdater.h"

#include "diagnostics/log.h"
#include "diagnostics/userprompt.h"
#include "files/filesubs.h"
#include "net/cSHAREDInternet.h"
#include "net/fSHAREDProxy.h"
#include "parlo_config.h"
#include "settings/lang.h"
#include "settings/settings.h"
#include "util/delay.h"
#include "util/identity.h"
#include "util/programpaths.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

const QString kProgramName = QStringLiteral("Parlo");
const QColor kDarkRed(192, 0, 0);
const QColor kGreen(0, 128, 0);

QString translated(const QString& english)
{
    return cSharedLang::instance().GetTranslation(english);
}

QString makerSite()
{
    return QStringLiteral(PARLO_MAKER_SITE);
}

// A fetch is only tried for an address that names a server; anything else fails at once,
// without a word to the network.
bool fetchable(const QString& url)
{
    return url.contains(QLatin1String("://"));
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& tip = {})
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(tip);
    return button;
}

} // namespace

cStatusStrip::cStatusStrip(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

QSize cStatusStrip::sizeHint() const
{
    return {360, fontMetrics().height() + 8};
}

void cStatusStrip::PrintCentered(const QString& text)
{
    m_text = text;
    m_percent = -1;
    update();
}

void cStatusStrip::ShowProgressString(float percent, const QString& text)
{
    m_text = text;
    m_percent = qBound(0.0f, percent, 100.0f);
    update();
}

void cStatusStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (m_percent >= 0) {
        QRect bar = rect();
        bar.setWidth(int(bar.width() * m_percent / 100.0f));
        painter.fillRect(bar, palette().color(QPalette::Highlight));
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}

fSHAREDUpdater::fSHAREDUpdater(QWidget* parent)
    : QDialog(parent), m_inet(std::make_unique<cSHAREDInternet>())
{
    setObjectName(QStringLiteral("fSharedUpdater"));
    askYesNo = [this](const QString& question) {
        return QMessageBox::question(isVisible() ? this : parentWidget(), windowTitle(),
                                     question) == QMessageBox::Yes;
    };
    clock = [] { return QDateTime::currentDateTime(); };

    lblYouHave = new QLabel(QStringLiteral("You have:"), this);
    lblYouHave->setObjectName(QStringLiteral("lblYouHave"));
    lblProgram = new QLabel(this);
    lblProgram->setObjectName(QStringLiteral("lblProgram"));
    lblStatus = new QLabel(QStringLiteral("Status:"), this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblUpdate = new QLabel(this);
    lblUpdate->setObjectName(QStringLiteral("lblUpdate"));
    picStatus = new cStatusStrip(this);
    picStatus->setObjectName(QStringLiteral("picStatus"));
    txtDetails = new QTextEdit(this);
    txtDetails->setObjectName(QStringLiteral("txtDetails"));
    txtDetails->setReadOnly(true);
    txtDetails->setAccessibleName(QStringLiteral("Version details"));
    // The server's words are shown as they are, never translated.
    txtDetails->setProperty(cSharedLang::kNoTranslate, true);
    txtDetails->hide();
    chkDisableAutoUpdate = new QCheckBox(QStringLiteral("Disable automatic checking"), this);
    chkDisableAutoUpdate->setObjectName(QStringLiteral("chkDisableAutoUpdate"));
    chkDisableAutoUpdate->setToolTip(
        QStringLiteral("If you tick this box, the program will NOT check for updated versions. "
                       "Recommended setting: not ticked"));
    cmdCheckAgain = makeButton(this, "cmdCheckAgain", QStringLiteral("Check Again"));
    cmdShowDetail =
        makeButton(this, "cmdShowDetail", QStringLiteral("Show Version Details"),
                   QStringLiteral("Reads details of the latest version from the server"));
    cmdDownload =
        makeButton(this, "cmdDownload", QStringLiteral("Download Only"),
                   QStringLiteral("This will download the update package without installing it."));
    cmdDownloadInstall = makeButton(
        this, "cmdDownloadInstall", QStringLiteral("Download and Install"),
        QStringLiteral(
            "This will download the update package and update your copy of the program"));
    cmdProxy = makeButton(this, "cmdProxy", QStringLiteral("Proxy Setup"));
    cmdExit = makeButton(this, "cmdExit", QStringLiteral("Exit"));
    lblPrivacy = new QLabel(QStringLiteral("Privacy Guarantee: No information is sent from your "
                                           "computer when you check for updates."),
                            this);
    lblPrivacy->setObjectName(QStringLiteral("lblPrivacy"));
    lblPrivacy->setWordWrap(true);

    auto* grid = new QGridLayout;
    grid->addWidget(lblYouHave, 0, 0);
    grid->addWidget(lblProgram, 0, 1);
    grid->addWidget(lblStatus, 1, 0);
    grid->addWidget(lblUpdate, 1, 1);
    grid->setColumnStretch(1, 1);
    auto* buttons = new QGridLayout;
    buttons->addWidget(cmdCheckAgain, 0, 0);
    buttons->addWidget(cmdShowDetail, 0, 1);
    buttons->addWidget(cmdProxy, 0, 2);
    buttons->addWidget(cmdDownload, 1, 0);
    buttons->addWidget(cmdDownloadInstall, 1, 1);
    buttons->addWidget(cmdExit, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(picStatus);
    layout->addWidget(txtDetails, 1);
    layout->addWidget(chkDisableAutoUpdate);
    layout->addLayout(buttons);
    layout->addWidget(lblPrivacy);

    connect(cmdCheckAgain, &QPushButton::clicked, this, &fSHAREDUpdater::cmdCheckAgain_Click);
    connect(cmdShowDetail, &QPushButton::clicked, this, &fSHAREDUpdater::cmdShowDetail_Click);
    connect(cmdDownload, &QPushButton::clicked, this, &fSHAREDUpdater::cmdDownload_Click);
    connect(cmdDownloadInstall, &QPushButton::clicked, this,
            &fSHAREDUpdater::cmdDownloadInstall_Click);
    connect(cmdProxy, &QPushButton::clicked, this, &fSHAREDUpdater::cmdProxy_Click);
    connect(cmdExit, &QPushButton::clicked, this, &fSHAREDUpdater::cmdExit_Click);
    connect(m_inet.get(), &cSHAREDInternet::Progress, this, &fSHAREDUpdater::inet_Progress);

    Form_Load();
    cSharedLang::instance().TranslateForm(this);
}

fSHAREDUpdater::~fSHAREDUpdater() = default;

void fSHAREDUpdater::Form_Load()
{
    setWindowTitle(kProgramName + QStringLiteral(" Updater"));
    lblProgram->setText(kProgramName + QStringLiteral(" version ") +
                        cSHAREDSubs::instance().AppVersion());
    chkDisableAutoUpdate->setChecked(autoCheckDisabled());
}

bool fSHAREDUpdater::autoCheckDisabled() const
{
    const QVariant value =
        cSHAREDSettings::shared().sGet(QStringLiteral("DisableAutoUpdateCheck"), true);
    // A value read back from the file is the text of -1 or 0.
    return value.typeId() == QMetaType::Bool ? value.toBool() : value.toInt() != 0;
}

void fSHAREDUpdater::storeAutoCheckChoice()
{
    cSHAREDSettings::shared().sSet(QStringLiteral("DisableAutoUpdateCheck"),
                                   chkDisableAutoUpdate->isChecked());
}

void fSHAREDUpdater::showStatus(const QString& text)
{
    picStatus->PrintCentered(text);
    Q_EMIT Status(text);
}

void fSHAREDUpdater::showUpdateState(const QString& text, const QColor& colour)
{
    QPalette palette = lblUpdate->palette();
    palette.setColor(QPalette::WindowText, colour);
    lblUpdate->setPalette(palette);
    lblUpdate->setText(text);
}

void fSHAREDUpdater::inet_Progress(float percent, const QString& message)
{
    if (!m_showProgress)
        return;
    if (percent >= 100)
        picStatus->PrintCentered(QStringLiteral("Downloaded ") + message);
    else
        picStatus->ShowProgressString(percent, message);
}

void fSHAREDUpdater::ExtractVersionFromWebFile(const QString& DataString, int& NewMajor,
                                               int& NewMinor, int& NewMinorRevision,
                                               QString& RevLetter, QString& ProgURL)
{
    const UpdateFiles::VersionFile file = UpdateFiles::ExtractVersionFromWebFile(DataString);
    NewMajor = file.version.major;
    NewMinor = file.version.minor;
    NewMinorRevision = file.version.revision;
    RevLetter = file.version.letters;
    ProgURL = file.downloadUrl;
}

void fSHAREDUpdater::ExtractVersionFromAppVer(const QString& versionText, int& major, int& minor,
                                              int& revision, QString& letters)
{
    UpdateFiles::ExtractVersionFromAppVer(versionText, major, minor, revision, letters);
}

bool fSHAREDUpdater::CheckForUpdate(bool SuppressForm, const QString& UpdateURL,
                                    const QString& DetailsURL, const QString& UpdateFilename,
                                    const QString& CurrentVersion)
{
    auto& log = cSharedLogging::instance();
    const int check = ++m_checks;
    bool result = false;
    cmdCheckAgain->setEnabled(false);
    cmdShowDetail->setEnabled(false);
    QString current = CurrentVersion;
    if (current.isEmpty())
        current = cSHAREDSubs::instance().AppVersion();
    else
        lblProgram->setText(QStringLiteral("Version ") + current);
    const UpdateFiles::Version installed = UpdateFiles::versionFromText(current);
    if (!SuppressForm) {
        show();
        cSHAREDDelay::instance().DoEventss();
    }
    chkDisableAutoUpdate->setChecked(autoCheckDisabled());
    if (m_inet->Connected())
        m_inet->Cancel();
    m_updateUrl = UpdateURL;
    m_detailsUrl = DetailsURL;
    m_updateFilename = UpdateFilename;
    showStatus(translated(QStringLiteral("Checking for update")));
    m_inet->ApplyProxy();
    m_showProgress = false;

    QString text;
    if (fetchable(UpdateURL)) {
        m_fetching = true;
        text = m_inet->OpenURL(UpdateURL, false);
        m_fetching = false;
    }
    if (check != m_checks) {
        // A newer check cancelled this one's fetch and has shown its own result.
        log.AddDebug(QStringLiteral("Update check overtaken by a newer one"));
        return false;
    }

    QString finalMessage;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(QLatin1String("<HTML"), Qt::CaseInsensitive)) {
        log.AddAction(QStringLiteral("Could not retrieve information from the update server."));
        log.AddAction(QStringLiteral("Please visit ") + makerSite() +
                      QStringLiteral(" to see if an update is available."));
        showUpdateState(translated(QStringLiteral("Could not retrieve update status")), kDarkRed);
        finalMessage = translated(QStringLiteral("Update check failed. Visit ") + makerSite() +
                                  QStringLiteral(" to update this program manually."));
    } else {
        showStatus(translated(QStringLiteral("Data retrieved")));
        const UpdateFiles::VersionFile file = UpdateFiles::ExtractVersionFromWebFile(text);
        if (file.downloadUrl.isEmpty()) {
            showUpdateState(QStringLiteral("Could not read update status from file"), kDarkRed);
            finalMessage = QStringLiteral("Update check failed, could not read download filename");
        } else {
            const QString available = UpdateFiles::versionText(file.version);
            m_downloadUrl = file.downloadUrl;
            m_sha256 = file.sha256;
            if (UpdateFiles::isNewer(file.version, installed)) {
                result = true;
                cSHAREDSettings::shared().sSet(QStringLiteral("LastUpdateCheck"),
                                               UpdateFiles::dateText(clock().date()));
                showUpdateState(QStringLiteral("Version ") + available +
                                    QStringLiteral(" is available!"),
                                kGreen);
            } else {
                SaveLastCheckDate();
                log.LogEvent(QStringLiteral("Already up to date (Available version is ") +
                             available + ')');
                showUpdateState(translated(QStringLiteral("You're up to date!")), kDarkRed);
                finalMessage =
                    translated(QStringLiteral("Latest available version is")) + ' ' + available;
            }
        }
    }

    // The result is complete and the buttons ready before the user is asked to look at it.
    showStatus(finalMessage);
    log.AddDebug(finalMessage);
    cmdCheckAgain->setEnabled(true);
    cmdShowDetail->setEnabled(true);
    Q_EMIT Finished();
    if (result && SuppressForm &&
        askYesNo(translated(
            QStringLiteral("An update is available. Would you like to view the details now?"))))
        showModally();
    return result;
}

void fSHAREDUpdater::showModally()
{
    // A window already shown without blocking becomes modal only when shown anew.
    if (isVisible() && !isModal())
        hide();
    exec();
}

void fSHAREDUpdater::ShowandCheck(const QString& UpdateURL, const QString& DetailsURL,
                                  const QString& DownloadedFilename, const QString& CurrentVersion)
{
    m_updateUrl = UpdateURL;
    m_detailsUrl = DetailsURL;
    m_updateFilename = DownloadedFilename;
    if (!CheckForUpdate(false, UpdateURL, DetailsURL, DownloadedFilename, CurrentVersion))
        showModally();
}

bool fSHAREDUpdater::NoAutoCheck()
{
    if (!autoCheckDisabled())
        return false;
    cSharedLogging::instance().LogEvent(QStringLiteral("Automatic update check is disabled"));
    return true;
}

bool fSHAREDUpdater::DoCheckNow()
{
    return UpdateFiles::checkDue(cSHAREDSettings::shared().sGet(QStringLiteral("LastUpdateCheck")),
                                 clock());
}

void fSHAREDUpdater::SaveLastCheckDate()
{
    cSHAREDSettings::shared().sSet(QStringLiteral("LastUpdateCheck"),
                                   UpdateFiles::dayNumber(clock().date()));
}

bool fSHAREDUpdater::DownloadFile(const QString& folder, const QString& filename,
                                  const QString& address)
{
    auto& subs = cSHAREDSubs::instance();
    auto& files = cSharedFileSubs::instance();
    const QString target = cSharedFileSubs::AddSlashIfMissing(folder) + filename;
    m_showProgress = true;
    m_inet->ApplyProxy();
    subs.BusyMouse();
    cSharedLogging::instance().LogEvent(QStringLiteral("Trying to download ") + address);
    bool ok = false;
    if (!UpdateFiles::packageAddressAllowed(address)) {
        cSharedLogging::instance().LogEvent(
            QStringLiteral("Refused to download the update package over an insecure address"));
    } else {
        m_fetching = true;
        ok = m_inet->GetFile(address, target, true, false, false, false);
        m_fetching = false;
    }
    if (!ok) {
        showStatus(QStringLiteral("Error - Download failed."));
        files.EraseFile(target);
        subs.NormalMouse();
        return false;
    }
    picStatus->ShowProgressString(100, QStringLiteral("100%"));
    const auto verdict = UpdateFiles::checkPackage(target, m_inet->ExpectedFilesize(), m_sha256);
    if (verdict != UpdateFiles::PackageVerdict::Good) {
        files.EraseFile(target);
        showStatus(verdict == UpdateFiles::PackageVerdict::NotFoundPage
                       ? QStringLiteral("Error - File not found on server.")
                       : QStringLiteral("Error - Downloaded file is incomplete. Please retry"));
    }
    subs.NormalMouse();
    return verdict == UpdateFiles::PackageVerdict::Good;
}

bool fSHAREDUpdater::downloadPackage()
{
    if (m_downloadUrl.isEmpty())
        CheckForUpdate(true, m_updateUrl, m_detailsUrl, m_updateFilename, QString());
    return DownloadFile(ProgramPaths::programFolder(), m_updateFilename, m_downloadUrl);
}

void fSHAREDUpdater::DownloadAndInstall(const QString& DownloadURL)
{
    if (m_fetching)
        return;
    DownloadFile(ProgramPaths::programFolder(), m_updateFilename, DownloadURL);
}

void fSHAREDUpdater::cmdCheckAgain_Click()
{
    CheckForUpdate(false, m_updateUrl, m_detailsUrl, m_updateFilename, QString());
}

void fSHAREDUpdater::cmdDownload_Click()
{
    if (m_fetching)
        return;
    if (downloadPackage())
        cUserPrompt::current().message(QStringLiteral("File saved to ") +
                                       ProgramPaths::programFolder() + '/' + m_updateFilename);
}

void fSHAREDUpdater::cmdDownloadInstall_Click()
{
    if (m_fetching || !downloadPackage())
        return;
    if (!askYesNo(translated(
            QStringLiteral("The update has been downloaded. Do you want to install it now?")))) {
        cUserPrompt::current().message(QStringLiteral("File saved to ") +
                                       ProgramPaths::programFolder() + '/' + m_updateFilename);
        return;
    }
    // The choice is kept before the owner shuts down and saves the settings.
    storeAutoCheckChoice();
    hide();
    cSHAREDDelay::instance().DoEventss();
    Q_EMIT InstallFile();
    cmdExit_Click();
}

void fSHAREDUpdater::cmdShowDetail_Click()
{
    if (m_fetching)
        return;
    auto& subs = cSHAREDSubs::instance();
    subs.BusyMouse();
    txtDetails->show();
    txtDetails->setPlainText(QStringLiteral("Retrieving info..."));
    QString text;
    if (fetchable(m_detailsUrl)) {
        m_fetching = true;
        text = m_inet->OpenURL(m_detailsUrl, false);
        m_fetching = false;
    }
    // A fetch that failed brings no text at all; that is no version's details either.
    if (text.isEmpty() || (text.contains(QLatin1String("html"), Qt::CaseInsensitive) &&
                           text.contains(QLatin1String("404")))) {
        txtDetails->setPlainText(
            translated(QStringLiteral("Unable to read data from server. Please check your internet "
                                      "settings and try again.")));
    } else {
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        txtDetails->setPlainText(text);
    }
    subs.NormalMouse();
}

void fSHAREDUpdater::cmdProxy_Click()
{
    fSHAREDProxy proxy(this);
    cSharedLang::instance().TranslateForm(&proxy);
    proxy.exec();
}

void fSHAREDUpdater::cmdExit_Click()
{
    storeAutoCheckChoice();
    Q_EMIT FormClosed();
    StopAll();
}

void fSHAREDUpdater::StopAll()
{
    if (m_inet->Connected())
        m_inet->Cancel();
    hide();
    cSHAREDDelay::instance().DoEventss();
}

void fSHAREDUpdater::reject()
{
    cmdExit_Click();
}

void fSHAREDUpdater::closeEvent(QCloseEvent* event)
{
    cmdExit_Click();
    event->accept();
}
