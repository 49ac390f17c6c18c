#include "diagnostics/widgetprompt.h"

#include "diagnostics/fSHAREDErrorRpt.h"

#include <QApplication>
#include <QMessageBox>

void cWidgetPrompt::message(const QString& text)
{
    QMessageBox::information(QApplication::activeWindow(), QApplication::applicationName(), text);
}

cUserPrompt::Answer cWidgetPrompt::retryCancel(const QString& text)
{
    const auto button =
        QMessageBox::warning(QApplication::activeWindow(), QApplication::applicationName(), text,
                             QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry);
    return button == QMessageBox::Retry ? Answer::Retry : Answer::Cancel;
}

void cWidgetPrompt::showError(const QString& errorMessage, const QString& helpPage)
{
    // A fresh window each time, so nothing of one report survives into the next.
    fSHAREDErrorRpt report(QApplication::activeWindow());
    if (translateWindow)
        translateWindow(&report);
    report.ShowError(errorMessage, helpPage);
}
