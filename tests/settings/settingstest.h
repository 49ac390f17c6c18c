#pragma once

#include "settings/settings.h"
#include "testsupport.h"

#include <QString>
#include <QStringList>

#include <ostream>

// A fixture file shipped beside the tests.
inline QString settingsTestData(const char* name)
{
    QString folder = qEnvironmentVariable("PARLO_TEST_DATA");
    if (folder.isEmpty())
        folder = QStringLiteral(SETTINGS_TEST_DATA);
    return folder + '/' + name;
}

// The entries' names in store order.
inline QStringList settingNames(const cSHAREDSettings& settings)
{
    QStringList out;
    for (int i = 1; i <= settings.SettingsCount(); ++i)
        out << settings.SettingNameByIndex(i);
    return out;
}
