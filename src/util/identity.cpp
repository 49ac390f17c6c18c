#include "util/identity.h"

#include "parlo_config.h"
#include "util/delay.h"

#include <QCursor>
#include <QGuiApplication>
#include <QOperatingSystemVersion>
#include <QStandardPaths>
#include <QSysInfo>

namespace {

bool haveGui()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

void setPointer(Qt::CursorShape shape)
{
    if (!haveGui())
        return;
    // One override at a time, so that a single NormalMouse always restores the pointer.
    if (QGuiApplication::overrideCursor())
        QGuiApplication::changeOverrideCursor(QCursor(shape));
    else
        QGuiApplication::setOverrideCursor(QCursor(shape));
}

QString withSlash(const QString& folder)
{
    if (folder.isEmpty())
        return folder;
    return folder.endsWith('/') ? folder : folder + '/';
}

} // namespace

cSHAREDSubs& cSHAREDSubs::instance()
{
    static cSHAREDSubs subs;
    return subs;
}

QString cSHAREDSubs::AppVersion() const
{
    return QString::number(PARLO_VERSION_MAJOR) + '.' + QString::number(PARLO_VERSION_MINOR) + '.' +
           QString::number(PARLO_VERSION_PATCH);
}

void cSHAREDSubs::BusyMouse()
{
    setPointer(Qt::WaitCursor);
    cSHAREDDelay::instance().RegularDoEvents();
}

void cSHAREDSubs::BusyBGmouse()
{
    setPointer(Qt::BusyCursor);
    cSHAREDDelay::instance().RegularDoEvents();
}

void cSHAREDSubs::NormalMouse()
{
    if (haveGui()) {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }
    cSHAREDDelay::instance().RegularDoEvents();
}

cSharedOSInfo& cSharedOSInfo::instance()
{
    static cSharedOSInfo info;
    return info;
}

QString cSharedOSInfo::windowsName(int platform, int major, int minor)
{
    if (platform == WinNT) {
        if (major >= 7)
            return QStringLiteral("WINNT7+");
        if (major == 6)
            return minor == 0 ? QStringLiteral("Vista/Svr2008") : QStringLiteral("WINNT6+");
        if (major == 5) {
            switch (minor) {
            case 0:
                return QStringLiteral("Win2K");
            case 1:
                return QStringLiteral("WinXP");
            case 2:
                return QStringLiteral("XP64/Svr2003");
            default:
                return QStringLiteral("WINNT5+");
            }
        }
        return QStringLiteral("WinNT");
    }
    if (platform == Win9x) {
        switch (minor) {
        case 0:
            return QStringLiteral("Win95");
        case 10:
            return QStringLiteral("Win98");
        case 90:
            return QStringLiteral("WinME");
        default:
            return QStringLiteral("WIN32");
        }
    }
    return {};
}

int cSharedOSInfo::GetWinPlatform() const
{
#ifdef Q_OS_WIN
    return WinNT;
#else
    return Unknown;
#endif
}

QString cSharedOSInfo::fOSName() const
{
#ifdef Q_OS_WIN
    const auto v = QOperatingSystemVersion::current();
    return windowsName(WinNT, v.majorVersion(), v.minorVersion());
#else
    const QString name = QSysInfo::prettyProductName();
    return name == QLatin1String("Unknown") ? QString() : name;
#endif
}

QString cSharedGetSpecialFolder::SystemTempFolder()
{
    return withSlash(QStandardPaths::writableLocation(QStandardPaths::TempLocation));
}

QString cSharedGetSpecialFolder::MyDocsFolder()
{
    return withSlash(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

QString cSharedGetSpecialFolder::DesktopFolder()
{
    return withSlash(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
}

QString cSharedGetSpecialFolder::LocalAppsFolder()
{
    return withSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}
