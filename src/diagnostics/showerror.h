#pragma once

#include <QString>

// Shows an error the user must see in the error report window.
class cSHAREDShowError {
public:
    static cSHAREDShowError& instance();
    void ShowErr(const QString& errorMessage, const QString& helpPage = {});
    // "Error " + number + " - " + description + " in " + procedure + " of " + module.
    void ShowErrObj(int number, const QString& description, const QString& subname,
                    const QString& moduleName, const QString& helpPage = {});
};
