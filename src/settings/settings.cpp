#include "settings/settings.h"

#include "diagnostics/failure.h"
#include "diagnostics/log.h"
#include "diagnostics/showerror.h"
#include "diagnostics/userprompt.h"
#include "files/filesubs.h"
#include "platform/textcodec.h"
#include "text/sharedtext.h"
#include "util/identity.h"
#include "util/programpaths.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

namespace {

const QString kModule = QStringLiteral("cSHAREDSettings");

QString withoutCommas(const QString& name)
{
    QString out = name;
    out.remove(',');
    return out;
}

bool isSigned(int type)
{
    switch (type) {
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::SChar:
    case QMetaType::Char:
        return true;
    default:
        return false;
    }
}

bool isUnsigned(int type)
{
    switch (type) {
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool isFloating(int type)
{
    return type == QMetaType::Double || type == QMetaType::Float;
}

bool isNumber(int type)
{
    return isSigned(type) || isUnsigned(type) || isFloating(type);
}

QVariant heldValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return QVariant::fromValue<qint16>(value.toBool() ? -1 : 0);
    return value;
}

// A value's text without the blanks of a printed number.
QString plainText(const QVariant& value)
{
    const int type = value.typeId();
    if (!value.isValid())
        return {};
    if (isSigned(type))
        return QString::number(value.toLongLong());
    if (isUnsigned(type))
        return QString::number(value.toULongLong());
    if (isFloating(type)) {
        double number = value.toDouble();
        if (number == 0.0)
            number = 0.0; // no "-0"
        return QLocale::c().toString(number, 'g', QLocale::FloatingPointShortest);
    }
    if (type == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
    if (type == QMetaType::QDate)
        return value.toDate().toString(Qt::ISODate);
    if (type == QMetaType::QDateTime)
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return value.toString();
}

// The word TRUE or FALSE, whatever the case and the blanks around it.
std::optional<bool> truthWord(QStringView text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == ' ')
        ++start;
    while (end > start && text[end - 1] == ' ')
        --end;
    const QStringView word = text.mid(start, end - start);
    if (word.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

// A text that reads as a number, with blanks around it allowed.
std::optional<double> numberIn(const QString& text)
{
    bool ok = false;
    const double number = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

QString memberName(const QString& upperSet, int index)
{
    return upperSet + '_' + QString::number(index);
}

// The index of a member name S_n of the set, 0 when the key is not one.
int memberIndex(const QString& key, const QString& prefix)
{
    if (!key.startsWith(prefix))
        return 0;
    const QStringView digits = QStringView(key).mid(prefix.size());
    if (digits.isEmpty() || digits.front() == '0')
        return 0;
    for (const QChar c : digits) {
        if (c < '0' || c > '9')
            return 0;
    }
    bool ok = false;
    const int index = digits.toInt(&ok);
    return ok ? index : 0;
}

} // namespace

cSHAREDSettings::cSHAREDSettings() : m_writer(&cSHAREDSettings::writeWholeFile) {}

cSHAREDSettings::~cSHAREDSettings() = default;

cSHAREDSettings& cSHAREDSettings::shared()
{
    static cSHAREDSettings settings;
    return settings;
}

QString cSHAREDSettings::sharedFilename()
{
    return ProgramPaths::programFile(QStringLiteral("Parlo.ini"));
}

void cSHAREDSettings::setWriter(Writer writer)
{
    m_writer = writer ? std::move(writer) : Writer(&cSHAREDSettings::writeWholeFile);
}

// ---- lookup ---------------------------------------------------------------------------

const cSHAREDSettings::Entry* cSHAREDSettings::find(const QString& key) const
{
    const auto it = m_positions.constFind(key);
    return it == m_positions.constEnd() ? nullptr : &m_entries[std::size_t(*it)];
}

void cSHAREDSettings::removeAt(qsizetype position)
{
    m_positions.remove(m_entries[std::size_t(position)].key);
    m_entries.erase(m_entries.begin() + position);
    for (auto i = std::size_t(position); i < m_entries.size(); ++i)
        m_positions[m_entries[i].key] = qsizetype(i);
}

void cSHAREDSettings::removeKey(const QString& key)
{
    const auto it = m_positions.constFind(key);
    if (it != m_positions.constEnd())
        removeAt(*it);
}

QString cSHAREDSettings::SettingNameByIndex(int index) const
{
    if (index < 1 || index > SettingsCount())
        return {};
    return m_entries[std::size_t(index - 1)].setting.KeyName;
}

bool cSHAREDSettings::IsSettingPresent(const QString& settingTitle) const
{
    return find(withoutCommas(settingTitle).toUpper()) != nullptr;
}

// ---- storing and retrieving -------------------------------------------------------------

void cSHAREDSettings::AddSetting(const QString& settingTitle, const QVariant& settingValue)
{
    const QString name = withoutCommas(settingTitle);
    QString key = name.toUpper();
    const auto it = m_positions.constFind(key);
    if (it != m_positions.constEnd()) {
        m_entries[std::size_t(*it)].setting.KeyValue = heldValue(settingValue);
        return;
    }
    m_positions.insert(key, qsizetype(m_entries.size()));
    m_entries.push_back({std::move(key), {name, heldValue(settingValue)}});
}

void cSHAREDSettings::StoreSetting(const QString& settingTitle, const QVariant& settingValue)
{
    AddSetting(settingTitle, settingValue);
}

QVariant cSHAREDSettings::RetrieveSetting(const QString& settingTitle,
                                          const QVariant& defaultIfUnknown) const
{
    // Unlike storing, the lookup keeps commas, so a name with a comma is never found.
    const Entry* entry = find(settingTitle.toUpper());
    if (!entry)
        return defaultIfUnknown;
    const QVariant& value = entry->setting.KeyValue;
    if (value.typeId() == QMetaType::QString) {
        if (const auto truth = truthWord(value.toString()))
            return QVariant(*truth);
    }
    return value;
}

QVariant cSHAREDSettings::RetrieveWithDefault(const QString& settingTitle,
                                              const QVariant& defaultIfZero)
{
    const QVariant value = RetrieveSetting(settingTitle);
    const int type = value.typeId();
    if (!value.isValid())
        return defaultIfZero;
    if (isNumber(type) || type == QMetaType::Bool)
        return value.toDouble() == 0.0 ? defaultIfZero : value;
    if (type == QMetaType::QString) {
        const auto number = numberIn(value.toString());
        if (!number) {
            noteFailure(Err::TypeMismatch, QStringLiteral("RetrieveWithDefault"), kModule);
            return defaultIfZero;
        }
        return *number == 0.0 ? defaultIfZero : value;
    }
    // Dates and other values are never zero.
    return value;
}

void cSHAREDSettings::DeleteAllSettings()
{
    m_entries.clear();
    m_positions.clear();
}

void cSHAREDSettings::DeleteSettingByName(const QString& settingName)
{
    // Commas are removed as when storing: a name with a comma deletes what it created.
    removeKey(withoutCommas(settingName).toUpper());
}

void cSHAREDSettings::DeleteSetting(int index)
{
    if (index < 1 || index > SettingsCount()) {
        noteFailure(Err::SubscriptOutOfRange, QStringLiteral("DeleteSetting"), kModule);
        return;
    }
    removeAt(index - 1);
}

// ---- the file ---------------------------------------------------------------------------

QString cSHAREDSettings::fileText(const QVariant& value)
{
    const QVariant held = heldValue(value);
    if (!isNumber(held.typeId()))
        return plainText(held);
    const QString digits = plainText(held);
    return digits.startsWith('-') ? digits + ' ' : ' ' + digits + ' ';
}

QByteArray cSHAREDSettings::fileContents() const
{
    QString text;
    text.reserve(qsizetype(m_entries.size()) * 24);
    for (const Entry& entry : m_entries) {
        text += entry.key;
        text += ',';
        text += fileText(entry.setting.KeyValue);
        text += QLatin1String("\r\n");
    }
    return TextCodec::encode(text);
}

int cSHAREDSettings::writeWholeFile(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    if (info.isDir())
        return Err::PathFileAccess;
    // The owner's write bit is the read-only attribute; root could otherwise write anything.
    if (info.exists() && (cSharedFileSubs::instance().isReadonly(path) || !info.isWritable()))
        return Err::PathFileAccess;
    return cSharedFileSubs::saveWholeFile(path, bytes);
}

namespace {

// Group and others lose every right; the owner keeps what he had, read-only included.
void keepPrivate(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    QFile::setPermissions(path, QFile::permissions(path) &
                                    (QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ExeOwner | QFileDevice::ReadUser |
                                     QFileDevice::WriteUser | QFileDevice::ExeUser));
}

} // namespace

bool cSHAREDSettings::SaveSettings(const QString& settingsFile)
{
    const QByteArray bytes = fileContents();
    // The proxy password's scrambling stops only a glance, so the file is its owner's alone.
    const bool secret = !RetrieveSetting(QStringLiteral("ProxyPwd")).toString().isEmpty();
    if (secret)
        keepPrivate(settingsFile);
    bool triedMakeWritable = false;
    // Every attempt writes the whole file again; the old file stays until one succeeds.
    for (;;) {
        const int number = m_writer(settingsFile, bytes);
        if (number == 0) {
            if (secret)
                keepPrivate(settingsFile);
            return true;
        }
        const bool access = number == Err::PathFileAccess || number == Err::BadFileName ||
                            number == Err::PermissionDenied;
        if (access && !triedMakeWritable && !QFileInfo(settingsFile).isDir()) {
            triedMakeWritable = true;
            if (cSharedFileSubs::instance().MakeReadWrite(settingsFile))
                continue;
            cUserPrompt::current().message(QStringLiteral(
                "Your settings file is read-only and I can't change it. Save cancelled."));
            return false;
        }
        if (number == Err::DiskFull) {
            const QString question =
                "You've run out of disk space on drive " +
                cSharedFileSubs::DriveOnly(settingsFile) + ":" + "\r" +
                "Please clear some space and then click Retry, else click Cancel to abort.";
            if (cUserPrompt::current().retryCancel(question) == cUserPrompt::Answer::Retry)
                continue;
            return false;
        }
        cSHAREDShowError::instance().ShowErr(QString::number(number) + " - " +
                                             Err::description(number) + " in SaveSettings");
        return false;
    }
}

void cSHAREDSettings::LoadSettings(const QString& settingsFile)
{
    DeleteAllSettings();
    auto& files = cSharedFileSubs::instance();
    if (!files.FileExists(settingsFile))
        return;
    QString text;
    if (!files.LoadTextFile(settingsFile, text)) {
        const int number = files.lastError() ? files.lastError() : int(Err::PathFileAccess);
        // Leave the pointer as the caller had it once the message is gone.
        const bool busy = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
                          QGuiApplication::overrideCursor();
        cSHAREDSubs::instance().NormalMouse();
        cSHAREDShowError::instance().ShowErr("Error " + QString::number(number) +
                                             " in setting file. Line:  of " + settingsFile);
        if (busy)
            cSHAREDSubs::instance().BusyMouse();
        return;
    }

    const QStringView all(text);
    m_entries.reserve(std::size_t(all.count('\n') + 1));
    m_positions.reserve(qsizetype(m_entries.capacity()));
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        QStringView line = all.mid(start, end - start);
        start = end + 1;
        // Files from Linux editors end lines with LF alone; ours with CR LF.
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype comma = line.indexOf(',');
        if (comma < 0)
            continue;
        const QStringView name = line.left(comma);
        if (name.trimmed().isEmpty())
            continue;
        const QStringView value = line.mid(comma + 1);
        if (const auto truth = truthWord(value))
            AddSetting(name.toString(), QVariant::fromValue<qint16>(*truth ? -1 : 0));
        else
            AddSetting(name.toString(), value.toString());
    }
}

// ---- sets -------------------------------------------------------------------------------

int cSHAREDSettings::LastIndexInSet(const QString& settingTitle) const
{
    const QVariant value = RetrieveSetting(settingTitle.toUpper() + "_INDEX");
    if (!value.isValid())
        return 0;
    std::optional<double> number;
    if (isNumber(value.typeId()) || value.typeId() == QMetaType::Bool)
        number = value.toDouble();
    else
        number = numberIn(value.toString());
    if (!number) {
        noteFailure(Err::TypeMismatch, QStringLiteral("LastIndexInSet"), kModule);
        return 0;
    }
    const double rounded = std::nearbyint(*number);
    if (!(rounded >= INT_MIN && rounded <= INT_MAX)) {
        noteFailure(Err::Overflow, QStringLiteral("LastIndexInSet"), kModule);
        return 0;
    }
    return int(rounded);
}

int cSHAREDSettings::highestMember(const QString& upperSet, int last) const
{
    if (last <= 0)
        return 0;
    // A damaged S_INDEX may claim billions of members; then the store itself is searched.
    if (qint64(last) <= 2 * qint64(m_entries.size()) + 32) {
        for (int i = last; i >= 1; --i) {
            if (find(memberName(upperSet, i)))
                return i;
        }
        return 0;
    }
    const QString prefix = upperSet + '_';
    int highest = 0;
    for (const Entry& entry : m_entries) {
        const int index = memberIndex(entry.key, prefix);
        if (index <= last && index > highest)
            highest = index;
    }
    return highest;
}

int cSHAREDSettings::AddToSet(const QString& setName, const QVariant& value)
{
    const QString set = setName.toUpper();
    int next = 0;
    do {
        const int n = LastIndexInSet(set);
        if (n == INT_MAX) {
            noteFailure(Err::Overflow, QStringLiteral("AddToSet"), kModule);
            return 0;
        }
        next = n + 1;
        StoreSetting(set + "_INDEX", next);
    } while (find(memberName(set, next)));
    StoreSetting(memberName(set, next), value);
    return next;
}

int cSHAREDSettings::firstMemberEqualTo(const QString& upperSet, const QVariant& value) const
{
    const QString wanted = plainText(heldValue(value));
    const int highest = highestMember(upperSet, LastIndexInSet(upperSet));
    for (int i = 1; i <= highest; ++i) {
        const Entry* member = find(memberName(upperSet, i));
        if (member && cSharedText::StringsEqual(plainText(member->setting.KeyValue), wanted))
            return i;
    }
    return 0;
}

bool cSHAREDSettings::ValueInSet(const QString& setName, const QVariant& valueToFind) const
{
    return firstMemberEqualTo(setName.toUpper(), valueToFind) > 0;
}

void cSHAREDSettings::DeleteFromSetByValue(const QString& setName, const QVariant& valueToFind)
{
    const QString set = setName.toUpper();
    const int index = firstMemberEqualTo(set, valueToFind);
    if (index > 0)
        DeleteFromSetByIndex(set, index);
}

void cSHAREDSettings::DeleteFromSetByIndex(const QString& setName, int index)
{
    const QString set = setName.toUpper();
    const int last = LastIndexInSet(set);
    if (index < last) {
        // Each member moves down one place; a gap moves down with them rather than turning
        // into an empty member.
        const int stop = std::min(last, highestMember(set, last) + 1);
        for (int k = index + 1; k <= stop; ++k) {
            const Entry* above = find(memberName(set, k));
            if (above) {
                const QVariant value = above->setting.KeyValue;
                StoreSetting(memberName(set, k - 1), value);
            } else {
                removeKey(memberName(set, k - 1));
            }
        }
        removeKey(memberName(set, last));
    } else {
        removeKey(memberName(set, index));
    }
    StoreSetting(set + "_INDEX", last - 1);
}

int cSHAREDSettings::SetCount(const QString& settingTitle) const
{
    const QString set = settingTitle.toUpper();
    const int last = LastIndexInSet(set);
    int count = 0;
    if (qint64(last) <= 2 * qint64(m_entries.size()) + 32) {
        for (int i = 1; i <= last; ++i)
            count += find(memberName(set, i)) != nullptr;
    } else {
        const QString prefix = set + '_';
        for (const Entry& entry : m_entries) {
            const int index = memberIndex(entry.key, prefix);
            count += index > 0 && index <= last;
        }
    }
    if (count != last) {
        cSharedLogging::instance().AddAction(
            "WARNING: LastIDX and Setcount not the same with setting '" + settingTitle + "'");
    }
    return count;
}

void cSHAREDSettings::DeleteASet(const QString& setName)
{
    const QString set = setName.toUpper();
    SetCount(setName);
    // Every member goes, however far beyond S_INDEX or however many gaps lie between.
    const QString prefix = set + '_';
    std::vector<Entry> kept;
    kept.reserve(m_entries.size());
    for (Entry& entry : m_entries) {
        if (memberIndex(entry.key, prefix) == 0 && entry.key != set + "_INDEX")
            kept.push_back(std::move(entry));
    }
    m_entries = std::move(kept);
    m_positions.clear();
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        m_positions.insert(m_entries[i].key, qsizetype(i));
}
