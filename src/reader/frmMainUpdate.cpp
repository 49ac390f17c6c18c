// The reader window's side of the update check: the automatic check a while after start-up,
// the menu item, and the hand-over to the installer stand-in once a package is in.
#include "diagnostics/failure.h"
#include "files/filesubs.h"
#include "reader/frmMain.h"
#include "update/fSHAREDUpdater.h"
#include "update/versionfile.h"
#include "util/delay.h"
#include "util/programpaths.h"

#include <QAction>
#include <QCoreApplication>
#include <QProcess>
#include <QTimer>

namespace {

const QString kModule = QStringLiteral("frmMain");
const QString kPackageName = QStringLiteral("Parlo2Upd.exe");

} // namespace

void frmMain::connectUpdateControls()
{
    connect(Timer3, &QTimer::timeout, this, &frmMain::Timer3_Timer);
    connect(mnuCheckForUpdate, &QAction::triggered, this, &frmMain::mnuCheckForUpdate_Click);
}

void frmMain::createUpdater()
{
    if (Updater)
        return;
    Updater = new fSHAREDUpdater(this);
    Updater->hide();
    connect(Updater, &fSHAREDUpdater::InstallFile, this, &frmMain::Updater_InstallFile);
    // A check still waiting for its server must not keep the program from ending.
    connect(this, &frmMain::shutDownFinished, Updater, &fSHAREDUpdater::StopAll);
}

void frmMain::Timer3_Timer()
{
    // At most one automatic check in a run.
    Timer3->stop();
    if (m_shutDown)
        return;
    createUpdater();
    if (!Updater->NoAutoCheck() && Updater->DoCheckNow())
        checkforupdate(true);
}

void frmMain::mnuCheckForUpdate_Click()
{
    Timer3->stop();
    checkforupdate(false);
}

void frmMain::checkforupdate(bool automatic)
{
    createUpdater();
    Updater->CheckForUpdate(automatic, UpdateFiles::currentVersionUrl(), UpdateFiles::detailsUrl(),
                            kPackageName, QString());
}

void frmMain::Updater_InstallFile()
{
    hide();
    cSHAREDDelay::instance().DoEventss();
    if (Updater)
        Updater->StopAll();
    // The stand-in finds the package's name here; WriteTextFile notes its own failure.
    cSharedFileSubs::instance().WriteTextFile(
        ProgramPaths::programFile(QStringLiteral("updater.ini")), kPackageName);
    const QString program =
        m_options.updaterProgram.isEmpty()
            ? QCoreApplication::applicationDirPath() + QStringLiteral("/parlo-updater")
            : m_options.updaterProgram;
    if (!QProcess::startDetached(program, {windowTitle()}, ProgramPaths::programFolder()))
        noteFailure(Err::FileNotFound, QStringLiteral("updater_installfile"), kModule);
    ShutDown();
}
