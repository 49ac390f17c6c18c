#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

// One named value of the store.
struct cSHAREDSetting {
    // The name as first spelled, commas removed.
    QString KeyName;
    // Text, 16/32-bit integer, double, date or empty; never a boolean.
    QVariant KeyValue;
};

// Named values kept in memory and stored in a small text file, one "NAME,value" line per
// entry with CR LF line ends. Names are matched without regard to letter case; entries keep
// the order in which they were first created. Besides plain values the store keeps numbered
// sets: S_INDEX holds the highest index handed out and S_1, S_2, ... the members.
//
// Nothing reaches the disk except through SaveSettings. Failures are noted in the log's
// action trail (module "cSHAREDSettings") and the operation returns its default.
class cSHAREDSettings {
public:
    cSHAREDSettings();
    ~cSHAREDSettings();
    cSHAREDSettings(const cSHAREDSettings&) = delete;
    cSHAREDSettings& operator=(const cSHAREDSettings&) = delete;

    // The one instance every window uses; it holds Parlo.ini once the reader loads it.
    static cSHAREDSettings& shared();
    // Parlo.ini in the program folder.
    static QString sharedFilename();

    int SettingsCount() const { return static_cast<int>(m_entries.size()); }
    // 1-based, in store order; "" when there is no such position.
    QString SettingNameByIndex(int index) const;

    void sSet(const QString& settingTitle, const QVariant& settingValue)
    {
        StoreSetting(settingTitle, settingValue);
    }
    // Creates or updates; a boolean is held as the 16-bit -1 or 0.
    void StoreSetting(const QString& settingTitle, const QVariant& settingValue);

    QVariant sGetWD(const QString& settingTitle, const QVariant& defaultIfZero)
    {
        return RetrieveWithDefault(settingTitle, defaultIfZero);
    }
    // The value, or the default when it is missing, zero, False or not a number at all.
    QVariant RetrieveWithDefault(const QString& settingTitle, const QVariant& defaultIfZero);

    void DeleteAllSettings();

    QVariant sGet(const QString& settingTitle, const QVariant& defaultIfUnknown = {}) const
    {
        return RetrieveSetting(settingTitle, defaultIfUnknown);
    }
    // The value, or the default when no entry has the name. A text value TRUE or FALSE
    // (any case, blanks around) comes back as a boolean. Values read from the file are text
    // with the blanks of printed numbers (" 2 ", "-1 ", " 0 "): read them with toInt(),
    // and a stored boolean as toInt() != 0, never toBool(), which calls " 0 " true.
    QVariant RetrieveSetting(const QString& settingTitle,
                             const QVariant& defaultIfUnknown = {}) const;
    bool IsSettingPresent(const QString& settingTitle) const;

    // Replaces the file with the whole store; false when it could not be written (the user
    // has been told why). The store itself never changes here.
    bool SaveSettings(const QString& settingsFile);
    // Empties the store, then reads the file when it exists.
    void LoadSettings(const QString& settingsFile);

    void DeleteSettingByName(const QString& settingName);
    // 1-based position.
    void DeleteSetting(int index);

    // Sets. Set names are used in upper case.
    int AddToSet(const QString& setName, const QVariant& value);
    int LastIndexInSet(const QString& settingTitle) const;
    void DeleteFromSetByValue(const QString& setName, const QVariant& valueToFind);
    bool ValueInSet(const QString& setName, const QVariant& valueToFind) const;
    int SetCount(const QString& settingTitle) const;
    void DeleteASet(const QString& setName);

    // The file's bytes for the current store, as SaveSettings writes them.
    QByteArray fileContents() const;
    // A value as it appears after the comma: numbers with the blanks of printed numbers.
    static QString fileText(const QVariant& value);

    // Puts bytes on disk whole or not at all; returns 0 or the failure's error number.
    // Replaceable so that tests can stage a full disk or a refused file.
    using Writer = std::function<int(const QString& path, const QByteArray& bytes)>;
    void setWriter(Writer writer);
    static int writeWholeFile(const QString& path, const QByteArray& bytes);

private:
    struct Entry {
        QString key; // upper-cased name, the lookup key
        cSHAREDSetting setting;
    };

    void AddSetting(const QString& settingTitle, const QVariant& settingValue);
    void DeleteFromSetByIndex(const QString& setName, int index);

    const Entry* find(const QString& key) const;
    void removeAt(qsizetype position);
    void removeKey(const QString& key);
    // The highest existing member index of the set not above last, 0 when none.
    int highestMember(const QString& upperSet, int last) const;
    // The first member whose text equals the value's, 0 when none.
    int firstMemberEqualTo(const QString& upperSet, const QVariant& value) const;

    std::vector<Entry> m_entries;
    QHash<QString, qsizetype> m_positions;
    Writer m_writer;
};
