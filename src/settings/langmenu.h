#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QAction;
class QActionGroup;
class QMenu;
class QWidget;
class cSharedLang;

// The reader window's language menu: "English" and one checkable entry per language file,
// at most one of them checked. Choosing an entry translates the main window and every
// other open window; the window stores the choice (the title) it is told about.
class LanguageMenu : public QObject {
    Q_OBJECT

public:
    // The menu and the main window must outlive this object; it is a child of the menu.
    LanguageMenu(QMenu* menu, QWidget* mainForm, cSharedLang& lang);

    // Finds the languages again and fills the menu, checking the entry whose title equals
    // langID exactly; none is checked when no title does.
    void rebuild(const QString& langID);
    // Start-up: rebuild, then translate the main window into the language whose title
    // equals langID. False, with the window left in English, when no language has it.
    bool applyLanguage(const QString& langID);

    int count() const;
    // Entry 0 is English; -1 when nothing is checked.
    int checkedIndex() const;
    QAction* languageAction(int index) const;
    QString title(int index) const;

    // What a click on entry `index` does.
    void choose(int index);

Q_SIGNALS:
    // The title to keep as "LangID".
    void languageChosen(const QString& langID);

private:
    QMenu* m_menu;
    QPointer<QWidget> m_mainForm;
    cSharedLang& m_lang;
    QActionGroup* m_group;
};
