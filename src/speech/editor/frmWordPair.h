#pragma once

#include "speech/clstalker.h"

#include <QDialog>

#include <array>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

// One pronunciation: the word as books write it and what the voice should say instead.
// Each box can be tried out on a speech voice of the window's own. OK and Cancel only hide
// the window, so that its caller can read Cancelled and the boxes before releasing it.
class frmWordPair : public QDialog {
    Q_OBJECT
public:
    // The espeak-ng voice unless a factory is given.
    explicit frmWordPair(QWidget* parent = nullptr, clsTalker::VoiceFactory voiceFactory = {});
    ~frmWordPair() override;

    // Set by Cancel, Escape and the close box; cleared by OK.
    bool Cancelled = false;

    QString originalWord() const;
    QString newWord() const;
    void setWords(const QString& original, const QString& replacement);

    // Null when no voice could be started; Test is then unavailable.
    clsTalker* Talker() const { return m_talker.get(); }

    QLabel* lblSay = nullptr;
    QLabel* lblAs = nullptr;
    QLineEdit* txtOriginalWord = nullptr;
    QLineEdit* txtNewWord = nullptr;
    // Index 0 tries the original word, index 1 the new one.
    std::array<QPushButton*, 2> cmdTest{};
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

public Q_SLOTS:
    void reject() override;

private:
    void Form_Load(clsTalker::VoiceFactory voiceFactory);
    void cmdTest_Click(int index);
    void cmdOK_Click();

    std::unique_ptr<clsTalker> m_talker;
};
