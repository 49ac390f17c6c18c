#pragma once

#include "speech/clstalker.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QComboBox;
class QFrame;
class QMenu;
class QAction;
class QPushButton;
class QTextEdit;
class QTimer;
class fSplash;
class LanguageMenu;

// The reader window: the document, the panel of reading controls below it and the
// Settings menu. It starts the program's services behind a splash window and ends the
// program through ShutDown, which always saves the reader's place and settings.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        // The voice the Talker speaks with; the espeak-ng voice when empty.
        clsTalker::VoiceFactory voiceFactory;
        bool showSplash = true;
    };

    explicit frmMain(QWidget* parent = nullptr);
    explicit frmMain(Options options, QWidget* parent = nullptr);
    ~frmMain() override;

    // The start-up sequence. False when it failed: the user has been told and the
    // program has been shut down.
    bool startUp();
    // A document named on the command line: opened and read at once.
    void openFromCommandLine(const QString& document);

    void StopReading();
    // Saves the place, bookmarks and settings, closes every window and ends the program.
    void ShutDown();
    bool isShutDown() const { return m_shutDown; }

    // Opens a plain-text document at its bookmark (the full loader replaces this).
    bool OpenDocument(const QString& path);
    QString CurrentFile() const { return m_currentFile; }
    clsTalker* Talker() const { return m_talker.get(); }
    int MinWidth() const { return m_minWidth; }
    int MinHeight() const { return m_minHeight; }
    bool symbolFontsFound() const { return m_webdings; }

    // The language menu's action: translates this window and the other open windows.
    void chooseLanguage(int index);

Q_SIGNALS:
    void shutDownFinished();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    void applyLayout();
    void replaceSymbolFonts();
    void buildLanguageMenu();
    void startUpFailed(const Failure& failure);
    void saveState();
    void splashText(const QString& text);
    void log(const QString& text);
    void cmdRead_Click();
    void cmdPause_Click();
    void cmdAbout_Click();
    void cmbEngine_Click(int index);
    void cmbPitch_Click(int index);

    Options m_options;
    QTextEdit* RichTextBox1 = nullptr;
    QFrame* Frame1 = nullptr;
    QPushButton* cmdGUT = nullptr;
    QComboBox* cmbEngine = nullptr;
    QComboBox* cmbPitch = nullptr;
    QPushButton* cmdFontBigger = nullptr;
    QPushButton* cmdFontSmaller = nullptr;
    QPushButton* cmdAbout = nullptr;
    QPushButton* cmdLoad = nullptr;
    QPushButton* cmdReload = nullptr;
    QPushButton* cmdQuit = nullptr;
    QPushButton* cmdSlower = nullptr;
    QPushButton* cmdPause = nullptr;
    QPushButton* cmdStopReading = nullptr;
    QPushButton* cmdSpeakToWav = nullptr;
    QPushButton* cmdRead = nullptr;
    QPushButton* cmdFaster = nullptr;
    QTimer* Timer3 = nullptr;
    QMenu* mnuSettings = nullptr;
    QMenu* mnuLang = nullptr;
    LanguageMenu* m_languageMenu = nullptr;
    QAction* mnuPron = nullptr;
    QAction* mnuCheckForUpdate = nullptr;

    std::unique_ptr<clsTalker> m_talker;
    QPointer<fSplash> m_splash;
    QString m_currentFile;
    bool m_isPaused = false;
    bool m_webdings = false;
    bool m_startedUp = false;
    bool m_shutDown = false;
    bool m_inLayout = false;
    int m_minWidth = 0;
    int m_minHeight = 0;
};
