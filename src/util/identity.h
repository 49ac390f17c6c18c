#pragma once

#include <QString>

// Which program: its version and the mouse-pointer states.
class cSHAREDSubs {
public:
    static cSHAREDSubs& instance();
    // major.minor.revision from the build, without leading zeros.
    QString AppVersion() const;
    void BusyMouse();
    void BusyBGmouse();
    void BackgroundMouse() { BusyBGmouse(); }
    void NormalMouse();
    bool InIDE() const { return false; }
};

// Which system.
class cSharedOSInfo {
public:
    enum Platform { Unknown = 0, Win9x = 1, WinNT = 2 };
    static cSharedOSInfo& instance();

    // The Windows names for the Windows versions that have one; elsewhere the system's
    // pretty name ("Debian GNU/Linux 12 (bookworm)"); empty when it cannot be read.
    QString fOSName() const;
    bool IsWindowsNT() const { return GetWinPlatform() == WinNT; }
    bool IsWindows95() const { return GetWinPlatform() == Win9x; }
    int GetWinPlatform() const;

    static QString windowsName(int platform, int major, int minor);
};

// Which folders. Each path ends in "/", or is empty when the system cannot name it.
class cSharedGetSpecialFolder {
public:
    static QString SystemTempFolder();
    static QString MyDocsFolder();
    static QString DesktopFolder();
    static QString LocalAppsFolder();
};
