#include "update/versionfile.h"

#include "parlo_config.h"
#include "settings/settings.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <limits>
#include <tuple>

namespace UpdateFiles {

namespace {

// The number at the start of a text: blanks skipped, then an optional sign and digits;
// no digits give 0.
int leadingNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    qint64 value = 0;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i)
        value =
            qMin<qint64>(value * 10 + (text[i].unicode() - '0'), std::numeric_limits<int>::max());
    return int(negative ? -value : value);
}

} // namespace

void ExtractVersionFromAppVer(const QString& versionText, int& major, int& minor, int& revision,
                              QString& letters)
{
    const QStringList parts = versionText.split(u'.');
    if (parts.size() < 3)
        return;
    major = leadingNumber(parts[0]);
    minor = leadingNumber(parts[1]);
    revision = leadingNumber(parts[2]);
    const qsizetype digits = QString::number(revision).size();
    if (parts[2].size() != digits)
        letters = parts[2].mid(digits);
}

Version versionFromText(const QString& versionText)
{
    Version v;
    ExtractVersionFromAppVer(versionText, v.major, v.minor, v.revision, v.letters);
    return v;
}

VersionFile ExtractVersionFromWebFile(const QString& dataString)
{
    VersionFile file;
    const qsizetype firstEnd = dataString.indexOf(u'\n');
    if (firstEnd < 0)
        return file;
    const qsizetype secondEnd = dataString.indexOf(u'\n', firstEnd + 1);
    // Blanks around a line are an editor's leftovers; a trailing one would read as letters.
    const QString line1 = dataString.left(firstEnd).remove(u'\r').trimmed();
    const QString line2 =
        dataString.mid(firstEnd + 1, secondEnd < 0 ? -1 : secondEnd - firstEnd - 1)
            .remove(u'\r')
            .trimmed();
    file.version = versionFromText(line1);
    const Version& v = file.version;
    file.downloadUrl = line2;
    file.downloadUrl.replace(QLatin1String("@@@"), QString::number(v.major) +
                                                       QString::number(v.minor) +
                                                       QString::number(v.revision) + v.letters);
    if (secondEnd >= 0) {
        static const QRegularExpression checksum(QStringLiteral("^sha256=([0-9a-fA-F]{64})$"));
        const QString line3 = dataString.mid(secondEnd + 1).section(u'\n', 0, 0).trimmed();
        const auto match = checksum.match(line3);
        if (match.hasMatch())
            file.sha256 = match.captured(1).toLower();
    }
    return file;
}

QString versionText(const Version& version)
{
    return (QString::number(version.major) + '.' + QString::number(version.minor) + '.' +
            QString::number(version.revision) + version.letters)
        .toUpper();
}

bool isNewer(const Version& available, const Version& current)
{
    const auto numbers = [](const Version& v) { return std::tuple(v.major, v.minor, v.revision); };
    if (numbers(available) != numbers(current))
        return numbers(available) > numbers(current);
    return QString::compare(available.letters, current.letters, Qt::CaseSensitive) > 0;
}

bool packageAddressAllowed(const QString& url)
{
    const QUrl address(url.trimmed(), QUrl::StrictMode);
    if (!address.isValid() || address.host().isEmpty())
        return false;
    const QString scheme = address.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return true;
    if (scheme != QLatin1String("http"))
        return false;
    if (address.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    if (address.host() == QLatin1String("::1"))
        return true;
    const QStringList quad = address.host().split(u'.');
    if (quad.size() != 4 || quad[0] != QLatin1String("127"))
        return false;
    for (const QString& part : quad) {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || value < 0 || value > 255)
            return false;
    }
    return true;
}

PackageVerdict checkPackage(const QString& path, qint64 expectedSize, const QString& sha256)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return PackageVerdict::Incomplete;
    const qint64 size = file.size();
    if (expectedSize > 0 && size != expectedSize)
        return PackageVerdict::Incomplete;
    if (size < kMinimumPackageSize) {
        const QByteArray text = file.readAll();
        return text.toLower().contains("<html>") ? PackageVerdict::NotFoundPage
                                                 : PackageVerdict::Incomplete;
    }
    if (!sha256.isEmpty()) {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!hash.addData(&file) || hash.result().toHex() != sha256.toLower().toLatin1())
            return PackageVerdict::Incomplete;
    }
    return PackageVerdict::Good;
}

qint64 dayNumber(const QDate& date)
{
    return QDate(1899, 12, 30).daysTo(date);
}

qint64 roundedDayNumber(const QDateTime& moment)
{
    return dayNumber(moment.date()) + (moment.time() >= QTime(12, 0) ? 1 : 0);
}

QString dateText(const QDate& date)
{
    return QLocale::c().toString(date, QStringLiteral("dd/MMM/yyyy"));
}

bool checkDue(const QVariant& lastCheck, const QDateTime& now)
{
    const qint64 today = roundedDayNumber(now);
    qint64 last = today - 7;
    const QString stored = lastCheck.toString().trimmed();
    if (stored.contains(u'/')) {
        const QDate date = QLocale::c().toDate(stored, QStringLiteral("dd/MMM/yyyy"));
        if (date.isValid())
            last = dayNumber(date);
    } else if (!stored.isEmpty()) {
        bool ok = false;
        const qint64 number = stored.toLongLong(&ok);
        if (ok)
            last = number;
    }
    return last <= today - 7;
}

QString updateServer()
{
    QString server =
        cSHAREDSettings::shared().sGet(QStringLiteral("UpdateServer")).toString().trimmed();
    if (server.isEmpty())
        server = QStringLiteral(PARLO_UPDATE_SERVER).trimmed();
    while (server.endsWith(u'/'))
        server.chop(1);
    return server;
}

QString currentVersionUrl()
{
    const QString server = updateServer();
    return server.isEmpty() ? QString() : server + QStringLiteral("/versions/PRL2_current.txt");
}

QString detailsUrl()
{
    const QString server = updateServer();
    return server.isEmpty() ? QString() : server + QStringLiteral("/versions/PRL2_details.txt");
}

} // namespace UpdateFiles
