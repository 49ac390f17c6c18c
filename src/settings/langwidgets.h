#pragma once

#include <QString>

#include <functional>

class QObject;
class QWidget;

// The translatable texts of a window, found by the kind of each control.
namespace LangWidgets {

// One text of one control: a caption, a tool tip, a column header, a tab.
struct TextSlot {
    QObject* owner = nullptr;
    QString key;  // which of the owner's texts, e.g. "text", "toolTip", "header.2"
    QString text; // as shown now
    // One of the texts the kind always offers to translators, even when empty.
    bool listed = false;
    // Puts a text in place; false when the control refuses it.
    std::function<bool(const QString&)> set;

    // The text in English: the remembered original while the control still shows the text
    // put there by the last translation, otherwise the text as shown.
    QString english() const;
};

// Calls visit for every text of the window and its controls, in a fixed order: the
// window, then each control depth-first, then its actions and their menus. Controls and
// actions with the no-translate property are passed over, and so are the parts Qt builds
// controls from. A failure on one control is noted under `procedure` and the walk goes on.
void visitTexts(QWidget* form, const std::function<void(TextSlot&)>& visit,
                const QString& procedure);

// The English original of a text and the text the last translation put there.
struct Record {
    bool valid = false;
    QString english;
    QString applied;
};
Record record(const QObject* owner, const QString& key);
void setRecord(QObject* owner, const QString& key, const QString& english, const QString& applied);

} // namespace LangWidgets
