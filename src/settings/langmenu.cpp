#include "settings/langmenu.h"

#include "diagnostics/failure.h"
#include "settings/lang.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <exception>

LanguageMenu::LanguageMenu(QMenu* menu, QWidget* mainForm, cSharedLang& lang)
    : QObject(menu), m_menu(menu), m_mainForm(mainForm), m_lang(lang),
      m_group(new QActionGroup(this))
{
    m_group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
}

void LanguageMenu::rebuild(const QString& langID)
{
    const QList<QAction*> old = m_group->actions();
    for (QAction* action : old) {
        m_group->removeAction(action);
        m_menu->removeAction(action);
        delete action;
    }
    m_lang.LoadAllLanguages();
    for (int i = 0; i <= m_lang.LanguageCount(); ++i) {
        const QString name = title(i);
        auto* action =
            new QAction(QString(name).replace(QLatin1Char('&'), QStringLiteral("&&")), m_menu);
        action->setObjectName(QStringLiteral("mnuLanguage%1").arg(i));
        action->setCheckable(true);
        action->setData(i);
        // Each language is offered in its own words, whatever language the menu is in.
        action->setProperty(cSharedLang::kNoTranslate, true);
        action->setChecked(name == langID);
        m_group->addAction(action);
        m_menu->addAction(action);
        connect(action, &QAction::triggered, this, [this, i] { choose(i); });
    }
}

bool LanguageMenu::applyLanguage(const QString& langID)
{
    rebuild(langID);
    const int index = checkedIndex();
    if (index < 0)
        return false;
    m_lang.setLangID(langID);
    if (m_mainForm)
        m_lang.Localise(m_mainForm, index);
    return true;
}

int LanguageMenu::count() const
{
    return static_cast<int>(m_group->actions().size());
}

int LanguageMenu::checkedIndex() const
{
    const QAction* checked = m_group->checkedAction();
    return checked ? checked->data().toInt() : -1;
}

QAction* LanguageMenu::languageAction(int index) const
{
    const QList<QAction*> actions = m_group->actions();
    return index >= 0 && index < actions.size() ? actions.at(index) : nullptr;
}

QString LanguageMenu::title(int index) const
{
    return index == 0 ? QStringLiteral("English") : m_lang.LanguageTitle(index);
}

void LanguageMenu::choose(int index)
{
    QAction* action = languageAction(index);
    if (!action)
        return;
    try {
        if (m_mainForm)
            m_lang.SwitchLanguage(m_mainForm, index);
    } catch (const std::exception& e) {
        noteFailure(Err::InvalidCall, QString::fromLocal8Bit(e.what()),
                    QStringLiteral("mnulanguage_click"), QStringLiteral("frmMain"));
    }
    action->setChecked(true);
    const QString chosen = title(index);
    m_lang.setLangID(chosen);
    Q_EMIT languageChosen(chosen);
}
