#pragma once

#include "speech/clstalker.h"

#include <QDialog>

#include <optional>
#include <utility>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The list of pronunciations. It starts from pl2Dict.txt every time it opens; Add, Edit and
// Delete change only its rows, and OK writes the rows back to the shared list and the file.
class frmLex : public QDialog {
    Q_OBJECT
public:
    // voiceFactory gives the pair windows' Test voice; espeak-ng when empty.
    explicit frmLex(QWidget* parent = nullptr, clsTalker::VoiceFactory voiceFactory = {});
    ~frmLex() override;

    // A fresh list window, shown modally and released when it closes.
    static void showEditor(QWidget* parent, clsTalker::VoiceFactory voiceFactory = {});

    QTreeWidget* ListView1 = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdDelete_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void addRow(const QString& original, const QString& replacement);
    QTreeWidgetItem* selectedRow() const;
    // Shows a pair window with the words; the words it came back with, or nothing when the
    // user cancelled it.
    std::optional<std::pair<QString, QString>> askPair(const QString& original,
                                                       const QString& replacement);
    void updateButtons();

    clsTalker::VoiceFactory m_voiceFactory;
};
