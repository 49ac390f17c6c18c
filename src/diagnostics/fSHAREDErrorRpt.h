#pragma once

#include "diagnostics/errorreport.h"

#include <QDialog>

class QGroupBox;
class QPlainTextEdit;
class QPushButton;

// The error report window: shows an error the user must see together with the current log,
// takes an optional comment, and sends the report by mail, shows it as a file, or opens help.
class fSHAREDErrorRpt : public QDialog {
    Q_OBJECT
public:
    explicit fSHAREDErrorRpt(QWidget* parent = nullptr);

    // Fills the window for this error and shows it modally.
    void ShowError(const QString& errorMessage, const QString& helpIndex = {});
    // Fills the window for this error without showing it: the first half of ShowError.
    void LoadError(const QString& errorMessage, const QString& helpIndex = {});
    void MakeClean() { m_userHasCommented = false; }

    bool userHasCommented() const { return m_userHasCommented; }
    // Set when the user closed the window with Exit, Escape or the close box.
    bool closed() const { return m_closed; }
    QString helpTopic() const { return m_helpTopic; }
    // The report as the window holds it now.
    ErrorReport report() const;

public Q_SLOTS:
    void reject() override;

private Q_SLOTS:
    void cmdShowComments_Click();
    void cmdViewLog_Click();
    void cmdEmail_Click();
    void cmdViewReport_Click();
    void cmdHelp_Click();
    void cmdExit_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void growToFit();

    QPlainTextEdit* txtError;
    QGroupBox* fraComments;
    QPlainTextEdit* txtUserMessage;
    QGroupBox* fraLog;
    QPlainTextEdit* txtLog;
    QPushButton* cmdShowComments;
    QPushButton* cmdViewLog;
    QPushButton* cmdEmail;
    QPushButton* cmdViewReport;
    QPushButton* cmdHelp;
    QPushButton* cmdExit;

    bool m_userHasCommented = false;
    bool m_closed = false;
    QString m_helpTopic;
    QString m_logFilename;
};
