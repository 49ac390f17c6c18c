// The window side of cSharedLang: translating windows, their fonts, the template of their
// texts and the list boxes of languages.
#include "settings/lang.h"
#include "settings/langwidgets.h"

#include "diagnostics/log.h"
#include "files/filesubs.h"
#include "text/sharedtext.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QWidget>

#include <algorithm>

using LangWidgets::TextSlot;

void cSharedLang::TranslateForm(QWidget* form)
{
    if (!form)
        return;
    ensureInitialised();
    ChangeFont(form);
    const bool english = isEnglish();
    LangWidgets::visitTexts(
        form,
        [&](TextSlot& slot) {
            const LangWidgets::Record known = LangWidgets::record(slot.owner, slot.key);
            QString original;
            QString shown;
            if (known.valid && known.applied == slot.text) {
                original = known.english;
                shown = english ? original : GetTranslation(original);
            } else {
                // New, or set by the program since the last translation. In English the
                // reversed table turns a text of the last language back into English.
                shown = GetTranslation(slot.text);
                original = english ? shown : slot.text;
            }
            if (shown != slot.text && !slot.set(shown))
                return;
            if (known.valid || shown != original)
                LangWidgets::setRecord(slot.owner, slot.key, original, shown);
        },
        QStringLiteral("TranslateForm"));
}

void cSharedLang::Localise(QWidget* mainForm, int languageIndex)
{
    LoadLanguage(0);
    TranslateForm(mainForm);
    LoadLanguage(languageIndex);
    TranslateForm(mainForm);
}

void cSharedLang::SwitchLanguage(QWidget* mainForm, int languageIndex)
{
    Localise(mainForm, languageIndex);
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        // Dialogs, menus and other windows with a parent go with their parent.
        if (window != mainForm && !window->parentWidget() && window->windowType() != Qt::ToolTip)
            TranslateForm(window);
    }
}

QString cSharedLang::installedFamily(const QString& name)
{
    const QString key = name.toLower();
    const auto cached = m_fontsFound.constFind(key);
    if (cached != m_fontsFound.constEnd())
        return *cached;
    const QStringList families = QFontDatabase::families();
    for (const QString& family : families) {
        if (cSharedText::StringsEqual(family, name)) {
            m_fontsFound.insert(key, family);
            return family;
        }
    }
    return {};
}

void cSharedLang::ChangeFont(QWidget* form)
{
    const QString name = cSharedText::trimSpaces(m_formFontName);
    if (name.isEmpty())
        return;
    const QString family = installedFamily(name);
    if (family.isEmpty()) {
        cSharedLogging::instance().LogEvent(QStringLiteral("Cannot set font to ") + name +
                                            QStringLiteral(". Not present."));
        m_formFontName.clear();
        return;
    }
    // Controls without a font of their own take the window's; the others are set one by one.
    const QList<QWidget*> controls = form->findChildren<QWidget*>();
    for (QWidget* control : controls) {
        if (!control->testAttribute(Qt::WA_SetFont))
            continue;
        // Symbol buttons draw their pictures with the symbol font; pictures have no text.
        if (qobject_cast<QAbstractButton*>(control) &&
            control->font().family().compare(QStringLiteral("webdings"), Qt::CaseInsensitive) == 0)
            continue;
        if (auto* label = qobject_cast<QLabel*>(control); label && !label->pixmap().isNull())
            continue;
        QFont font = control->font();
        font.setFamily(family);
        control->setFont(font);
    }
    QFont font = form->font();
    font.setFamily(family);
    form->setFont(font);
}

namespace {

// One line of FormsText.txt: "text||text" for the translator to change on the right.
QString templateLine(const QString& text)
{
    const QString core = text.trimmed();
    // An empty text or a separator gives an empty line; a text of several lines cannot be
    // written as one pair, so it gives one too.
    if (core.isEmpty() || core == QLatin1String("-") || core.contains(QLatin1Char('\n')) ||
        core.contains(QLatin1Char('\r')))
        return {};
    return core + QStringLiteral("||") + core;
}

} // namespace

void cSharedLang::WriteStrings(QWidget* form, const QString& filename)
{
    if (!form)
        return;
    ensureInitialised();
    const QString file = filename.isEmpty() ? formsTextFile() : filename;
    QString lines;
    LangWidgets::visitTexts(
        form,
        [&](TextSlot& slot) { lines += templateLine(slot.english()) + QStringLiteral("\r\n"); },
        QStringLiteral("WriteStrings"));
    if (lines.isEmpty())
        return;
    cSharedFileSubs& files = cSharedFileSubs::instance();
    const int number = files.OpenAppendFile(file);
    if (number < 0)
        return;
    files.WriteToFile(number, lines);
    files.CloseFile(number);
}

void cSharedLang::GenerateLanguageTemplate()
{
    ensureInitialised();
    const QString file = formsTextFile();
    if (!cSharedFileSubs::instance().WriteTextFile(file, {}))
        return;
    QList<QWidget*> windows = QApplication::topLevelWidgets();
    // Windows with a parent (dialogs, menus) are written with their parent.
    windows.erase(std::remove_if(windows.begin(), windows.end(),
                                 [](const QWidget* w) {
                                     return w->parentWidget() || w->windowType() == Qt::ToolTip;
                                 }),
                  windows.end());
    // Ordered by name, so that the file comes out the same on every run.
    std::stable_sort(windows.begin(), windows.end(), [](const QWidget* a, const QWidget* b) {
        return a->objectName() < b->objectName();
    });
    for (QWidget* window : windows)
        WriteStrings(window, file);
}

void cSharedLang::FillLanguageList(QListWidget* list)
{
    if (!list)
        return;
    list->clear();
    list->addItem(QStringLiteral("English"));
    LoadAllLanguages();
    list->addItems(m_titles);
}

void cSharedLang::SetListToSelected(const QString& languageID, QListWidget* list)
{
    if (!list || list->count() == 0)
        return;
    int selected = -1;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == languageID)
            selected = i;
    }
    list->setCurrentRow(selected < 0 ? 0 : selected);
}
