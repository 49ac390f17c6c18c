#include "settings/langwidgets.h"

#include "diagnostics/failure.h"
#include "settings/lang.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QFontComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QToolBox>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVariantMap>

#include <exception>

namespace LangWidgets {

namespace {

const char* const kRecords = "parloLangOriginals";

using Setter = std::function<bool(const QString&)>;

bool excluded(const QObject* object)
{
    return object->property(cSharedLang::kNoTranslate).toBool();
}

// Qt builds some controls from smaller ones; their texts belong to the outer control, to
// Qt's own translations, or to the user (the text typed into a spin box or combo box).
// A control marked not to be translated keeps the texts of everything inside it too.
bool passedOver(const QWidget* widget, const QWidget* form)
{
    if (widget->objectName().startsWith(QLatin1String("qt_")) ||
        qobject_cast<const QScrollBar*>(widget) || qobject_cast<const QHeaderView*>(widget))
        return true;
    for (const QWidget* w = widget; w && w != form; w = w->parentWidget()) {
        if (excluded(w))
            return true;
        const QWidget* up = w->parentWidget();
        if (up && (qobject_cast<const QComboBox*>(up) ||
                   qobject_cast<const QAbstractSpinBox*>(up) || qobject_cast<const QTabBar*>(up)))
            return true;
    }
    return false;
}

// The tool tip Qt derives from an action's text when none was set.
QString derivedToolTip(QString text)
{
    text.remove(QStringLiteral("..."));
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&'))
            text.remove(i, 1);
    }
    return text.trimmed();
}

class Walker {
public:
    Walker(const std::function<void(TextSlot&)>& visit, const QString& procedure)
        : m_visit(visit), m_procedure(procedure)
    {
    }

    void walk(QWidget* form)
    {
        guarded(form, [&] { widget(form, true); });
        const QList<QWidget*> children = form->findChildren<QWidget*>();
        for (QWidget* child : children) {
            if (!passedOver(child, form))
                guarded(child, [&] { widget(child, false); });
        }
        // Actions made for the window but not (yet) placed in a menu or tool bar.
        const QList<QAction*> actions = form->findChildren<QAction*>();
        for (QAction* a : actions)
            guarded(a, [&] { action(a); });
    }

private:
    template <typename F> void guarded(QObject* object, F step)
    {
        try {
            step();
        } catch (const std::exception& e) {
            noteFailure(Err::InvalidCall,
                        QString::fromLocal8Bit(e.what()) + QStringLiteral(" at ") +
                            object->objectName(),
                        m_procedure, QStringLiteral("mLang"));
        }
    }

    void text(QObject* owner, const QString& key, const QString& current, bool listed, Setter set)
    {
        // Empty optional texts are not worth a line, unless a translation emptied them.
        if (!listed && current.isEmpty() && !record(owner, key).valid)
            return;
        TextSlot slot{owner, key, current, listed, std::move(set)};
        m_visit(slot);
    }

    void toolTip(QWidget* w, bool listed)
    {
        text(w, QStringLiteral("toolTip"), w->toolTip(), listed, [w](const QString& t) {
            w->setToolTip(t);
            return true;
        });
    }

    void common(QWidget* w)
    {
        // Screen readers announce these; they usually repeat the caption or tool tip.
        text(w, QStringLiteral("accessibleName"), w->accessibleName(), false,
             [w](const QString& t) {
                 w->setAccessibleName(t);
                 return true;
             });
        text(w, QStringLiteral("accessibleDescription"), w->accessibleDescription(), false,
             [w](const QString& t) {
                 w->setAccessibleDescription(t);
                 return true;
             });
        text(w, QStringLiteral("statusTip"), w->statusTip(), false, [w](const QString& t) {
            w->setStatusTip(t);
            return true;
        });
        text(w, QStringLiteral("whatsThis"), w->whatsThis(), false, [w](const QString& t) {
            w->setWhatsThis(t);
            return true;
        });
    }

    void headers(QAbstractItemView* view)
    {
        if (auto* tree = qobject_cast<QTreeWidget*>(view)) {
            QTreeWidgetItem* header = tree->headerItem();
            for (int i = 0; header && i < tree->columnCount(); ++i) {
                text(view, QStringLiteral("header.%1").arg(i), header->text(i), true,
                     [header, i](const QString& t) {
                         header->setText(i, t);
                         return true;
                     });
            }
            return;
        }
        if (auto* table = qobject_cast<QTableWidget*>(view)) {
            for (int i = 0; i < table->columnCount(); ++i) {
                QTableWidgetItem* item = table->horizontalHeaderItem(i);
                if (!item)
                    continue;
                text(view, QStringLiteral("header.%1").arg(i), item->text(), true,
                     [item](const QString& t) {
                         item->setText(t);
                         return true;
                     });
            }
            return;
        }
        // Other views show their model's headers; a model that does not take new header
        // texts (a file system model) simply keeps its own.
        const bool hasHeader = qobject_cast<QTreeView*>(view) || qobject_cast<QTableView*>(view);
        QAbstractItemModel* model = view->model();
        if (!hasHeader || !model)
            return;
        for (int i = 0; i < model->columnCount(); ++i) {
            const QVariant data = model->headerData(i, Qt::Horizontal, Qt::DisplayRole);
            if (data.typeId() != QMetaType::QString)
                continue;
            text(view, QStringLiteral("header.%1").arg(i), data.toString(), true,
                 [model, i](const QString& t) {
                     return model->setHeaderData(i, Qt::Horizontal, t, Qt::DisplayRole);
                 });
        }
    }

    void widget(QWidget* w, bool isForm)
    {
        // Tool bars and docks show their titles in the window's context menu.
        if (isForm || (w->isWindow() && !qobject_cast<QMenu*>(w)) ||
            qobject_cast<QDockWidget*>(w) || qobject_cast<QToolBar*>(w)) {
            text(w, QStringLiteral("windowTitle"), w->windowTitle(), isForm, [w](const QString& t) {
                w->setWindowTitle(t);
                return true;
            });
        }
        auto* toolButton = qobject_cast<QToolButton*>(w);
        if (toolButton && toolButton->defaultAction()) {
            // A tool bar's button shows its action's texts; the action is translated.
            action(toolButton->defaultAction());
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text(w, QStringLiteral("text"), button->text(), true, [button](const QString& t) {
                button->setText(t);
                return true;
            });
            toolTip(w, true);
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            text(w, QStringLiteral("text"), label->text(), true, [label](const QString& t) {
                label->setText(t);
                return true;
            });
            toolTip(w, true);
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            text(w, QStringLiteral("title"), group->title(), true, [group](const QString& t) {
                group->setTitle(t);
                return true;
            });
            toolTip(w, true);
        } else if (auto* line = qobject_cast<QLineEdit*>(w)) {
            // What the user types is not the program's text; a read-only box shows ours.
            if (line->isReadOnly()) {
                text(w, QStringLiteral("text"), line->text(), true, [line](const QString& t) {
                    line->setText(t);
                    return true;
                });
            }
            text(w, QStringLiteral("placeholderText"), line->placeholderText(), false,
                 [line](const QString& t) {
                     line->setPlaceholderText(t);
                     return true;
                 });
            toolTip(w, true);
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
            // The contents are a document or a log, never translated.
            text(w, QStringLiteral("placeholderText"), plain->placeholderText(), false,
                 [plain](const QString& t) {
                     plain->setPlaceholderText(t);
                     return true;
                 });
            toolTip(w, false);
        } else if (auto* rich = qobject_cast<QTextEdit*>(w)) {
            text(w, QStringLiteral("placeholderText"), rich->placeholderText(), false,
                 [rich](const QString& t) {
                     rich->setPlaceholderText(t);
                     return true;
                 });
            toolTip(w, false);
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            toolTip(w, true);
            // An editable list holds the user's values, a font list the fonts' names.
            if (!combo->isEditable() && !qobject_cast<QFontComboBox*>(combo)) {
                for (int i = 0; i < combo->count(); ++i) {
                    text(w, QStringLiteral("item.%1").arg(i), combo->itemText(i), false,
                         [combo, i](const QString& t) {
                             combo->setItemText(i, t);
                             return true;
                         });
                }
            }
        } else if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
            headers(view);
            toolTip(w, true);
        } else if (auto* pages = qobject_cast<QTabWidget*>(w)) {
            // Its tab bar is one of Qt's parts and passed over.
            for (int i = 0; i < pages->count(); ++i) {
                text(w, QStringLiteral("tab.%1").arg(i), pages->tabText(i), true,
                     [pages, i](const QString& t) {
                         pages->setTabText(i, t);
                         return true;
                     });
                text(w, QStringLiteral("tabToolTip.%1").arg(i), pages->tabToolTip(i), false,
                     [pages, i](const QString& t) {
                         pages->setTabToolTip(i, t);
                         return true;
                     });
            }
            toolTip(w, false);
        } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
            for (int i = 0; i < tabs->count(); ++i) {
                text(w, QStringLiteral("tab.%1").arg(i), tabs->tabText(i), true,
                     [tabs, i](const QString& t) {
                         tabs->setTabText(i, t);
                         return true;
                     });
                text(w, QStringLiteral("tabToolTip.%1").arg(i), tabs->tabToolTip(i), false,
                     [tabs, i](const QString& t) {
                         tabs->setTabToolTip(i, t);
                         return true;
                     });
            }
            toolTip(w, false);
        } else if (auto* box = qobject_cast<QToolBox*>(w)) {
            for (int i = 0; i < box->count(); ++i) {
                text(w, QStringLiteral("item.%1").arg(i), box->itemText(i), true,
                     [box, i](const QString& t) {
                         box->setItemText(i, t);
                         return true;
                     });
            }
            toolTip(w, false);
        } else {
            toolTip(w, false);
        }
        common(w);
        const QList<QAction*> actions = w->actions();
        for (QAction* a : actions)
            action(a);
        // A drop-down menu of a button need not be a child of the window.
        QMenu* dropDown = nullptr;
        if (toolButton)
            dropDown = toolButton->menu();
        else if (auto* pushButton = qobject_cast<QPushButton*>(w))
            dropDown = pushButton->menu();
        if (dropDown && !excluded(dropDown)) {
            const QList<QAction*> items = dropDown->actions();
            for (QAction* a : items)
                action(a);
        }
    }

    void action(QAction* a)
    {
        if (m_seenActions.contains(a))
            return;
        m_seenActions.insert(a);
        if (excluded(a) || a->isSeparator())
            return;
        // Qt derives a tool tip from the text; only one set on purpose is the program's.
        const bool ownToolTip =
            a->toolTip() != derivedToolTip(a->text()) || record(a, QStringLiteral("toolTip")).valid;
        if (ownToolTip) {
            text(a, QStringLiteral("toolTip"), a->toolTip(), false, [a](const QString& t) {
                a->setToolTip(t);
                return true;
            });
        }
        text(a, QStringLiteral("text"), a->text(), true, [a](const QString& t) {
            a->setText(t);
            return true;
        });
        text(a, QStringLiteral("statusTip"), a->statusTip(), false, [a](const QString& t) {
            a->setStatusTip(t);
            return true;
        });
        if (QMenu* menu = a->menu()) {
            if (excluded(menu))
                return;
            const QList<QAction*> items = menu->actions();
            for (QAction* item : items)
                action(item);
        }
    }

    const std::function<void(TextSlot&)>& m_visit;
    QString m_procedure;
    QSet<QAction*> m_seenActions;
};

} // namespace

QString TextSlot::english() const
{
    const Record known = record(owner, key);
    return known.valid && known.applied == text ? known.english : text;
}

void visitTexts(QWidget* form, const std::function<void(TextSlot&)>& visit,
                const QString& procedure)
{
    if (!form || excluded(form))
        return;
    Walker(visit, procedure).walk(form);
}

Record record(const QObject* owner, const QString& key)
{
    const QVariantMap records = owner->property(kRecords).toMap();
    const auto found = records.constFind(key);
    if (found == records.constEnd())
        return {};
    const QStringList pair = found->toStringList();
    if (pair.size() != 2)
        return {};
    return {true, pair.at(0), pair.at(1)};
}

void setRecord(QObject* owner, const QString& key, const QString& english, const QString& applied)
{
    QVariantMap records = owner->property(kRecords).toMap();
    records.insert(key, QStringList{english, applied});
    owner->setProperty(kRecords, records);
}

} // namespace LangWidgets
