#include "diagnostics/errorreport.h"

#include "diagnostics/failure.h"
#include "diagnostics/userprompt.h"
#include "files/filesubs.h"
#include "parlo_config.h"
#include "util/identity.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kMailBreak = QStringLiteral("%0D%0A");
const QString kModule = QStringLiteral("fSHAREDErrorRpt");

} // namespace

ErrorReport::Identity ErrorReport::Identity::current()
{
    return {QStringLiteral("Parlo"), cSHAREDSubs::instance().AppVersion(),
            cSharedOSInfo::instance().fOSName(), QStringLiteral(PARLO_BUG_MAILBOX)};
}

ErrorReport::ErrorReport(Identity identity) : m_identity(std::move(identity)) {}

QString ErrorReport::header() const
{
    return "Error Report: " + m_identity.title + ' ' + m_identity.version + ", " +
           m_identity.osName;
}

QString ErrorReport::mailSubject() const
{
    QString subject = "Bug Report (" + m_identity.title + " - " + m_identity.version + ')';
    return subject.replace(' ', QStringLiteral("%20"));
}

QString ErrorReport::encodeForMail(const QString& text)
{
    QString s = text;
    s.replace('%', QStringLiteral("%25"));
    s.replace('?', QStringLiteral("%3F"));
    s.replace('&', QStringLiteral("%26"));
    s.replace('#', QStringLiteral("%23"));
    s.replace('\n', '\r');
    // One left-to-right pass, so a CR LF pair becomes one break and CR LF CR LF stays two.
    s.replace(QStringLiteral("\r\r"), QStringLiteral("\r"));
    s.replace('\r', kMailBreak);
    return s;
}

QString ErrorReport::mailBody() const
{
    // The header is encoded too: a "&" or "#" in a system name would otherwise end the body.
    QString body = encodeForMail(header() + " (Please click Attach and add the file " +
                                 cSharedFileSubs::FileOnly(logFilename) + ')') +
                   kMailBreak + kMailBreak;
    const QString error = userHasCommented ? "User: " + comment + kCrLf + errorText : errorText;
    body += encodeForMail(error) + kMailBreak + kMailBreak;
    body += encodeForMail(logText);
    if (body.size() > MaxMailBody)
        body.truncate(MaxMailBody);
    return body;
}

QString ErrorReport::mailtoAddress() const
{
    return "mailto:" + m_identity.mailbox + "?subject=" + mailSubject() + "&body=" + mailBody() +
           "&attachment=\"\"";
}

QString ErrorReport::reportText() const
{
    const QString dashes(75, '-');
    QString text = dashes + kCrLf +
                   "If the 'submit report' button doesn't work on your system, open an email" +
                   kCrLf + "to '" + m_identity.mailbox + "' and paste the following text into it." +
                   kCrLf + kCrLf + "Submitting a bug report helps improve the software." + kCrLf +
                   dashes + kCrLf + kCrLf;
    text += header() + kCrLf + kCrLf + errorText;
    if (userHasCommented)
        text += kCrLf + kCrLf + comment;
    text += kCrLf + kCrLf + logText;
    return text;
}

QString ErrorReport::reportFilePath()
{
    const QString folder = cSharedGetSpecialFolder::SystemTempFolder();
    return folder.isEmpty() ? QString() : folder + "FullLog.txt";
}

QString ErrorReport::writeReportFile() const
{
    const QString path = reportFilePath();
    const QString procedure = QStringLiteral("cmdViewReport_Click");
    if (path.isEmpty()) {
        noteFailure(Err::PathNotFound, procedure, kModule);
        return {};
    }
    // The temporary folder is shared with every other user: a name planted there by someone
    // else (a link to one of our files, or a file of theirs) must never receive the report.
    const QFileInfo existing(path);
    if (existing.isSymLink() || (existing.exists() && existing.ownerId() != ::getuid())) {
        if (!QFile::remove(path)) {
            noteFailure(Err::PathFileAccess,
                        Err::description(Err::PathFileAccess) + " writing " + path, procedure,
                        kModule);
            return {};
        }
    }
    if (!cSharedFileSubs::instance().WriteTextFile(path, reportText()))
        return {};
    // The log names the user's books and folders; other users need not read it.
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return path;
}

QString ErrorReport::loadLog(const QString& filename)
{
    auto& files = cSharedFileSubs::instance();
    QString text;
    if (filename.isEmpty() || !files.FileExists(filename) || !files.LoadTextFile(filename, text))
        return cUserPrompt::translated(QStringLiteral("No log file"));
    return text;
}

QString ErrorReport::windowsLineEnds(const QString& text)
{
    QString s = text;
    s.replace(kCrLf, QStringLiteral("\n"));
    s.replace('\n', kCrLf);
    return s;
}

QString ErrorReport::displayLineEnds(const QString& text)
{
    QString s = text;
    s.replace(kCrLf, QStringLiteral("\n"));
    s.replace('\r', '\n');
    return s;
}
