#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

// The update server's files and the rules for reading them, with no window and no network:
// the version file, version texts and their order, the downloaded package's checks, and
// the day numbers of the automatic check.
namespace UpdateFiles {

struct Version {
    int major = 0;
    int minor = 0;
    int revision = 0;
    QString letters;
};

// "2.1.3b": with fewer than three parts the outputs keep what they held.
void ExtractVersionFromAppVer(const QString& versionText, int& major, int& minor, int& revision,
                              QString& letters);
Version versionFromText(const QString& versionText);

// What the version file says: the version on line 1, the package's address on line 2
// (every "@@@" replaced by the version's figures and letters), and an optional third line
// "sha256=" with the package's checksum in 64 hex digits (lower case here; empty without).
struct VersionFile {
    Version version;
    QString downloadUrl;
    QString sha256;
};
VersionFile ExtractVersionFromWebFile(const QString& dataString);

// major.minor.revision + letters, upper-cased, as the window shows it.
QString versionText(const Version& version);
// By the numbers first; with equal numbers the letters decide, any letters beating none.
bool isNewer(const Version& available, const Version& current);

// The package is a program that will be run: it travels only over HTTPS, or over plain
// HTTP from this computer's own loopback address.
bool packageAddressAllowed(const QString& url);

enum class PackageVerdict {
    Good,
    Incomplete,   // not the size the server announced, too small, or the wrong checksum
    NotFoundPage, // the server's error page instead of the package
};
// A package file of fewer than this many bytes is never a whole package.
constexpr qint64 kMinimumPackageSize = 25000;
// expectedSize <= 0 when the server announced none; sha256 empty when the version file
// named none.
PackageVerdict checkPackage(const QString& path, qint64 expectedSize, const QString& sha256);

// Days since 30 December 1899: a date's own, and the current moment's to the nearest day.
qint64 dayNumber(const QDate& date);
qint64 roundedDayNumber(const QDateTime& moment);
// "08/Dec/2026", in English whatever the user's locale.
QString dateText(const QDate& date);
// True when the last check stored under "LastUpdateCheck" (a day number or a date text;
// invalid or absent counts as a week ago) is 7 or more days before now.
bool checkDue(const QVariant& lastCheck, const QDateTime& now);

// The server holding versions/, without a trailing "/": the setting "UpdateServer", else
// the build's own; empty when neither names one.
QString updateServer();
// The version and details files on that server; empty when there is no server.
QString currentVersionUrl();
QString detailsUrl();

} // namespace UpdateFiles
