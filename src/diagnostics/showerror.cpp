#include "diagnostics/showerror.h"

#include "diagnostics/userprompt.h"

cSHAREDShowError& cSHAREDShowError::instance()
{
    static cSHAREDShowError display;
    return display;
}

void cSHAREDShowError::ShowErr(const QString& errorMessage, const QString& helpPage)
{
    cUserPrompt::current().showError(errorMessage, helpPage);
}

void cSHAREDShowError::ShowErrObj(int number, const QString& description, const QString& subname,
                                  const QString& moduleName, const QString& helpPage)
{
    ShowErr("Error " + QString::number(number) + " - " + description + " in " + subname + " of " +
                moduleName,
            helpPage);
}
