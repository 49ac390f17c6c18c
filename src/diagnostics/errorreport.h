#pragma once

#include <QString>

// The report behind the error report window, without the window: the header that names the
// program and the system, the "mailto:" address with its encoded subject and body, and the
// text the user can view and paste into a mail by hand. Texts use CR LF line ends, as the
// window's text boxes hand them over (see windowsLineEnds).
class ErrorReport {
public:
    // Who is reporting, and to whom.
    struct Identity {
        QString title;
        QString version;
        QString osName;
        QString mailbox;
        // This program on this system, reporting to the maker's bug-report mailbox.
        static Identity current();
    };

    explicit ErrorReport(Identity identity = Identity::current());

    QString errorText;
    QString comment;
    bool userHasCommented = false;
    QString logText;
    // Full path of the log; only its file name goes into the mail.
    QString logFilename;

    // "Error Report: Parlo 0.1.0, Debian GNU/Linux 12 (bookworm)".
    QString header() const;
    // "Bug%20Report%20(Parlo%20-%200.1.0)".
    QString mailSubject() const;
    // Encoded for a "mailto:" address and cut to MaxMailBody characters.
    QString mailBody() const;
    QString mailtoAddress() const;
    // The whole report framed by the instructions for sending it by hand.
    QString reportText() const;
    // Writes reportText() to reportFilePath(); returns that path, or an empty string when the
    // file could not be written (the failure is in the action trail).
    QString writeReportFile() const;

    // Mail programs and browsers refuse very long "mailto:" addresses.
    static constexpr int MaxMailBody = 400;

    // Escapes what would end the body early ("%", "?", "&", "#") and turns every line break
    // into "%0D%0A"; a CR LF pair becomes a single break.
    static QString encodeForMail(const QString& text);
    // FullLog.txt in the system's temporary folder.
    static QString reportFilePath();
    // The log file's text, or "No log file" when there is none to read.
    static QString loadLog(const QString& filename);
    // Line ends as the described text boxes hold them: every line break becomes CR LF.
    static QString windowsLineEnds(const QString& text);
    // Line ends for a Qt text box, which shows a CR as a stray character.
    static QString displayLineEnds(const QString& text);

private:
    Identity m_identity;
};
