#pragma once

#include <QHash>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <vector>

class QListWidget;
class QWidget;

// Translates the user interface from English into the language the user chose. Each
// language is a text file in the Languages folder: a title line, then "English||translated"
// pairs. English is built in: it is the text the windows were made with.
//
// Every text a window shows is remembered in English the first time it is translated, so
// switching from one language straight to another, and back to English, always starts from
// the English original. Failures are noted in the log's action trail (module "mLang").
class cSharedLang {
public:
    cSharedLang() = default;
    cSharedLang(const cSharedLang&) = delete;
    cSharedLang& operator=(const cSharedLang&) = delete;

    // The instance all windows share.
    static cSharedLang& instance();

    // The title of the language the user chose; kept for the reader window, never read here.
    QString LangID() const { return m_langID; }
    void setLangID(const QString& langID) { m_langID = langID; }

    // A font family TranslateForm puts on a window before translating it; cleared when no
    // such font is installed.
    QString FormFontName() const { return m_formFontName; }
    void setFormFontName(const QString& fontName) { m_formFontName = fontName; }

    // Language files are in languagePath() + "/Languages". By default that is the program
    // folder, or the installed resources when the program folder has no Languages folder.
    void OverrideLanguagePath(const QString& newPath);
    QString languagePath();

    // Languages found by the last LoadAllLanguages, numbered from 1; 0 is English.
    int LanguageCount() const { return static_cast<int>(m_titles.size()); }
    QString LanguageTitle(int languageNum) const;
    // Full path of a language's file; empty for English or a number out of range.
    QString languageFile(int languageNum) const;

    void Localise(QWidget* mainForm, int languageIndex);
    void TranslateForm(QWidget* form);
    // Localise on the main window, then TranslateForm on every other open window.
    void SwitchLanguage(QWidget* mainForm, int languageIndex);

    // The translation of an English text in the current language, or the text itself.
    QString GetTranslation(const QString& word) const;

    void LoadLanguage(int languageNum);
    void LoadAllLanguages();
    void RevertToEnglish();
    // "English" after a revert, the title of the loaded language, or empty before either.
    QString currentLanguageName() const { return m_currentName; }
    // The locale whose language calls itself by the loaded language's title ("Deutsch",
    // "Español"), for month names and the like; English when English is shown, the
    // system's when no locale answers to the title.
    QLocale locale() const;
    int translationCount() const { return static_cast<int>(m_table.size()); }

    // List boxes of languages: position in the list = language number.
    void FillLanguageList(QListWidget* list);
    static void SetListToSelected(const QString& languageID, QListWidget* list);

    // Template files for translators, see formsTextFile().
    void GenerateLanguageTemplate();
    void WriteStrings(QWidget* form, const QString& filename = {});
    // Appends to every language file the pairs of Languages/Template.txt it lacks.
    void UpdateTemplates(const QString& languagePath);
    // Rewrites Languages/Languages.lst: the sorted titles, one a line.
    bool WriteLanguageList();

    // FormsText.txt under the language path, or in the program folder when the language
    // path cannot be written (an installed, read-only copy).
    QString formsTextFile();

    // Lines "English||translated" of a language file, trimmed, tabs removed: the parts
    // before and after the first "||" (both empty when there is none).
    static QString BeforeBreak(const QString& line);
    static QString AfterBreak(const QString& line);

    // Set on a widget or action whose texts must never be translated (the language names).
    static constexpr const char* kNoTranslate = "parloNoTranslate";

private:
    struct Entry {
        QString english;
        QString translated;
    };

    void ensureInitialised();
    int SeekItem(const QString& word) const;
    QString lookup(const QString& word) const;
    void SortCollection();
    void ChangeFont(QWidget* form);
    QString installedFamily(const QString& name);
    static bool readLanguageFile(const QString& path, QString& title, std::vector<Entry>* pairs,
                                 int& errorNumber);
    bool isEnglish() const;

    bool m_initialised = false;
    QString m_langID;
    QString m_formFontName;
    QString m_languagePath;
    QStringList m_files;
    QStringList m_titles;
    QString m_currentName;
    QString m_currentFile;
    bool m_tableLoaded = false;
    std::vector<Entry> m_table;
    QHash<QString, QString> m_fontsFound;
};
