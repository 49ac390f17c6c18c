#include "settings/lang.h"

#include "diagnostics/failure.h"
#include "files/filesubs.h"
#include "platform/textcodec.h"
#include "text/sharedtext.h"
#include "util/identity.h"
#include "util/programpaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cerrno>

namespace {

const QString kModule = QStringLiteral("mLang");
const QString kEnglish = QStringLiteral("English");
const QString kBreak = QStringLiteral("||");

// The lines of a language file as translators write them: trimmed, tabs deleted, empty
// lines and "#" comments dropped. Linux editors write LF alone, old ones CR alone.
QStringList meaningfulLines(const QString& text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList lines;
    const QStringList raw = text.split(lineEnd);
    for (QString line : raw) {
        line = cSharedText::trimSpaces(line);
        line.remove(QLatin1Char('\t'));
        line = cSharedText::trimSpaces(line);
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            lines << line;
    }
    return lines;
}

// "&&" stands for a literal "&"; a single "&" marks the access key.
QString withoutAccessKey(const QString& text)
{
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&'))
                plain += text.at(++i);
            continue;
        }
        plain += text.at(i);
    }
    return plain;
}

} // namespace

cSharedLang& cSharedLang::instance()
{
    static cSharedLang lang;
    return lang;
}

void cSharedLang::ensureInitialised()
{
    if (m_initialised)
        return;
    m_initialised = true;
    m_languagePath = ProgramPaths::resourceFolder();
}

void cSharedLang::OverrideLanguagePath(const QString& newPath)
{
    ensureInitialised();
    if (newPath.isEmpty() || !QFileInfo(newPath).isDir())
        return;
    const QString path = cSharedFileSubs::RemoveSlashFromEnd(newPath);
    m_languagePath = path.isEmpty() ? QStringLiteral("/") : path;
}

QString cSharedLang::languagePath()
{
    ensureInitialised();
    return m_languagePath;
}

QString cSharedLang::LanguageTitle(int languageNum) const
{
    if (languageNum < 1 || languageNum > LanguageCount())
        return {};
    return m_titles.at(languageNum - 1);
}

QString cSharedLang::languageFile(int languageNum) const
{
    if (languageNum < 1 || languageNum > static_cast<int>(m_files.size()))
        return {};
    return m_languagePath + QStringLiteral("/Languages/") + m_files.at(languageNum - 1);
}

QString cSharedLang::BeforeBreak(const QString& line)
{
    const qsizetype at = line.indexOf(kBreak);
    return at < 0 ? QString() : cSharedText::trimSpaces(line.left(at));
}

QString cSharedLang::AfterBreak(const QString& line)
{
    const qsizetype at = line.indexOf(kBreak);
    return at < 0 ? QString() : cSharedText::trimSpaces(line.mid(at + kBreak.size()));
}

bool cSharedLang::readLanguageFile(const QString& path, QString& title, std::vector<Entry>* pairs,
                                   int& errorNumber)
{
    title.clear();
    QFile file(path);
    if (!file.exists()) {
        errorNumber = Err::FileNotFound;
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        errorNumber = Err::fromFileError(file.error(), errno);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        errorNumber = Err::fromFileError(file.error(), errno);
        return false;
    }
    const QStringList lines = meaningfulLines(TextCodec::decode(bytes));
    if (lines.isEmpty())
        return true;
    title = lines.first();
    if (!pairs)
        return true;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        Entry entry{BeforeBreak(lines.at(i)), AfterBreak(lines.at(i))};
        // A line without "||" yields two empty parts; it could only ever match an empty
        // text, which is never looked up.
        if (!entry.english.isEmpty())
            pairs->push_back(std::move(entry));
    }
    return true;
}

void cSharedLang::LoadAllLanguages()
{
    ensureInitialised();
    m_files.clear();
    m_titles.clear();
    const QDir folder(m_languagePath + QStringLiteral("/Languages"));
    // Readdir order differs between file systems; by name the menu is the same everywhere.
    const QStringList names = folder.entryList(
        {QStringLiteral("*.txt")}, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) {
        if (!cSharedText::StringsEqual(name, QStringLiteral("template.txt")))
            m_files << name;
    }
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        QString title;
        int error = 0;
        if (!readLanguageFile(languageFile(static_cast<int>(i) + 1), title, nullptr, error))
            noteFailure(error, QStringLiteral("LoadAllLanguages"), kModule);
        m_titles << (title.isEmpty() ? QStringLiteral("Language ") + QString::number(i + 1)
                                     : title);
    }
    if (cSHAREDSubs::instance().InIDE())
        WriteLanguageList();
}

bool cSharedLang::WriteLanguageList()
{
    ensureInitialised();
    QStringList titles = m_titles;
    titles.sort(Qt::CaseInsensitive);
    QString text;
    for (const QString& title : titles)
        text += title + QStringLiteral("\r\n");
    return cSharedFileSubs::instance().WriteTextFile(
        m_languagePath + QStringLiteral("/Languages/Languages.lst"), text);
}

bool cSharedLang::isEnglish() const
{
    return !m_tableLoaded || m_currentName == kEnglish;
}

QLocale cSharedLang::locale() const
{
    if (isEnglish())
        return QLocale(QLocale::English, QLocale::UnitedStates);
    const QList<QLocale> all =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    for (const QLocale& candidate : all) {
        if (m_currentName.compare(candidate.nativeLanguageName(), Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return QLocale();
}

void cSharedLang::LoadLanguage(int languageNum)
{
    ensureInitialised();
    if (m_currentName == kEnglish && languageNum == 0)
        return;
    if (languageNum < 1) {
        RevertToEnglish();
        return;
    }
    if (languageNum > LanguageCount()) {
        noteFailure(Err::SubscriptOutOfRange, QStringLiteral("LoadLanguage"), kModule);
        return;
    }
    const QString path = languageFile(languageNum);
    // By file rather than by title: two files may carry the same title.
    if (!m_currentFile.isEmpty() && path == m_currentFile)
        return;

    m_table.clear();
    m_tableLoaded = true;
    m_currentFile.clear();
    QString title;
    std::vector<Entry> pairs;
    int error = 0;
    if (!readLanguageFile(path, title, &pairs, error)) {
        // An empty table shows every text in English; the next LoadLanguage tries again.
        noteFailure(error, QStringLiteral("LoadLanguage"), kModule);
        m_currentName = LanguageTitle(languageNum);
        return;
    }
    m_currentName = title.isEmpty() ? LanguageTitle(languageNum) : title;
    m_table = std::move(pairs);
    SortCollection();
    m_currentFile = path;
}

void cSharedLang::RevertToEnglish()
{
    ensureInitialised();
    if (m_currentName == kEnglish)
        return;
    m_currentName = kEnglish;
    m_currentFile.clear();
    if (!m_tableLoaded)
        return;
    // Translated text back to English, for texts the windows did not get from TranslateForm.
    // An empty translation cannot be reversed: it would put English into every empty text.
    std::vector<Entry> reversed;
    reversed.reserve(m_table.size());
    for (const Entry& entry : m_table) {
        if (!entry.translated.isEmpty())
            reversed.push_back({entry.translated, entry.english});
    }
    m_table = std::move(reversed);
    SortCollection();
}

void cSharedLang::SortCollection()
{
    // Stable, so that of two pairs for one English text the first in the file wins.
    std::stable_sort(m_table.begin(), m_table.end(),
                     [](const Entry& a, const Entry& b) { return a.english < b.english; });
}

int cSharedLang::SeekItem(const QString& word) const
{
    const auto at = std::lower_bound(
        m_table.begin(), m_table.end(), word,
        [](const Entry& entry, const QString& key) { return entry.english < key; });
    if (at == m_table.end() || at->english != word)
        return -1;
    return static_cast<int>(at - m_table.begin());
}

QString cSharedLang::lookup(const QString& word) const
{
    const int at = SeekItem(word);
    return at < 0 ? QString() : m_table[static_cast<size_t>(at)].translated;
}

QString cSharedLang::GetTranslation(const QString& word) const
{
    if (word.isEmpty() || m_table.empty())
        return word;
    if (SeekItem(word) >= 0)
        return lookup(word);
    // The files hold trimmed texts; messages built from pieces keep their blanks.
    const QString core = word.trimmed();
    if (!core.isEmpty() && core.size() != word.size() && SeekItem(core) >= 0) {
        const qsizetype start = word.indexOf(core);
        return word.left(start) + lookup(core) + word.mid(start + core.size());
    }
    // Captions may mark an access key with "&" that the files leave out.
    if (word.contains(QLatin1Char('&'))) {
        const QString plain = withoutAccessKey(word);
        if (plain != word && SeekItem(plain) >= 0)
            return lookup(plain);
    }
    return word;
}

QString cSharedLang::formsTextFile()
{
    ensureInitialised();
    if (QFileInfo(m_languagePath).isWritable())
        return m_languagePath + QStringLiteral("/FormsText.txt");
    return ProgramPaths::programFile(QStringLiteral("FormsText.txt"));
}

namespace {

// Appends lines to a language file in the file's own line-end style. The whole file is
// rewritten in UTF-8: appending UTF-8 to a Windows-1252 file would garble one or the other.
bool appendPairs(const QString& path, const QStringList& pairs)
{
    QString text;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    text = TextCodec::decode(file.readAll());
    file.close();
    const QString lineEnd = text.contains(QStringLiteral("\r\n")) || !text.contains('\n')
                                ? QStringLiteral("\r\n")
                                : QStringLiteral("\n");
    if (!text.isEmpty() && !text.endsWith('\n') && !text.endsWith('\r'))
        text += lineEnd;
    text += pairs.join(lineEnd) + lineEnd;
    return cSharedFileSubs::instance().WriteTextFile(path, text);
}

} // namespace

void cSharedLang::UpdateTemplates(const QString& languagePath)
{
    cSHAREDSubs::instance().BusyMouse();
    // The windows keep showing the current language, so its table comes back at the end.
    const QString savedName = m_currentName;
    const QString savedFile = m_currentFile;
    const bool savedLoaded = m_tableLoaded;
    const std::vector<Entry> savedTable = m_table;

    OverrideLanguagePath(languagePath);
    LoadAllLanguages();
    const QString templatePath = m_languagePath + QStringLiteral("/Languages/Template.txt");
    QString templateText;
    if (!QFileInfo(templatePath).isFile() ||
        !cSharedFileSubs::instance().LoadTextFile(templatePath, templateText)) {
        noteFailure(Err::FileNotFound, QStringLiteral("UpdateTemplates"), kModule);
        cSHAREDSubs::instance().NormalMouse();
        return;
    }
    QStringList englishTexts;
    QSet<QString> seen;
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    for (const QString& raw : templateText.split(lineEnd)) {
        const QString line = cSharedText::trimSpaces(raw);
        if (!line.contains(kBreak) || line.startsWith(QLatin1Char('#')))
            continue;
        const QString english = BeforeBreak(line);
        if (!english.isEmpty() && !seen.contains(english)) {
            seen.insert(english);
            englishTexts << english;
        }
    }

    for (int i = 1; i <= LanguageCount(); ++i) {
        LoadLanguage(i);
        // A file that cannot be read is left alone rather than filled with every text.
        if (m_currentFile.isEmpty())
            continue;
        QStringList missing;
        for (const QString& english : englishTexts) {
            if (SeekItem(english) < 0)
                missing << english + kBreak + english;
        }
        if (missing.isEmpty())
            continue;
        if (!appendPairs(m_currentFile, missing))
            noteFailure(Err::PathFileAccess, QStringLiteral("UpdateTemplates"), kModule);
        m_currentFile.clear();
    }

    m_currentName = savedName;
    m_currentFile = savedFile;
    m_tableLoaded = savedLoaded;
    m_table = savedTable;
    cSHAREDSubs::instance().NormalMouse();
}
