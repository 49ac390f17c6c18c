#pragma once

#include "reader/readingcontroller.h"
#include "reader/skipping.h"
#include "speech/clstalker.h"

#include <QMainWindow>
#include <QPointer>
#include <QTextCursor>

#include <functional>
#include <memory>

class QComboBox;
class QProgressDialog;
class QTextCursor;
class QTextDocument;
class QFrame;
class QLabel;
class QMenu;
class QAction;
class QPushButton;
class QTextEdit;
class QTimer;
class fSplash;
class cWordMark;
class cReaderStatusBar;
class fSHAREDUpdater;
class LanguageMenu;
class cMprisPlayer;
struct cSpeechChoice;
class cAudiobookMaker;
struct cVoiceChoice;

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
        // Asks for the WAV file to read into; empty when the user cancels. The save
        // dialog when empty.
        std::function<QString(QWidget* parent)> chooseWavFile;
        // Asks for the folder and format of an audiobook; false when the user cancels.
        // A folder dialog and a list of formats when empty.
        std::function<bool(QWidget* parent, QString& folder, AudioFormat& format)> chooseAudiobook;
        // The installer stand-in started after an update was downloaded; parlo-updater
        // beside this program when empty.
        QString updaterProgram;
    };

    explicit frmMain(QWidget* parent = nullptr);
    explicit frmMain(Options options, QWidget* parent = nullptr);
    ~frmMain() override;

    // The start-up sequence. False when it failed: the user has been told and the
    // program has been shut down.
    bool startUp();
    // A document named on the command line: opened and read at once.
    void openFromCommandLine(const QString& document);
    // Books named after the first one on the command line: offered as recent books.
    void offerRecentBooks(const QStringList& books);

    void StopReading();
    // Saves the place, bookmarks and settings, closes every window and ends the program.
    // Asked for from inside work that lets events run (a book loading, a reading's event,
    // a dialog), it happens from the event loop once that work has unwound.
    void ShutDown();
    bool isShutDown() const { return m_shutDown; }

    // Shows the document at its bookmark and names it in the caption, remembering the
    // place in the one being left. A file that is missing, unreadable or not text is
    // refused with a message, and what was shown stays; false then, and also when the
    // file could not be read after all (the box is then empty, but named after it).
    bool OpenDocument(const QString& path);
    QString CurrentFile() const { return m_currentFile; }
    clsTalker* Talker() const { return m_talker.get(); }
    int MinWidth() const { return m_minWidth; }
    int MinHeight() const { return m_minHeight; }
    bool symbolFontsFound() const { return m_webdings; }
    bool IsPaused() const { return m_isPaused; }
    const cReadingController& reading() const { return m_reading; }
    // The WAV file a reading is going into, empty when it speaks aloud.
    QString wavFile() const { return m_wavFile; }

    // The update checker, created hidden at the end of start-up.
    fSHAREDUpdater* updater() const { return Updater; }

    // The language menu's action: translates this window and the other open windows.
    void chooseLanguage(int index);

Q_SIGNALS:
    void shutDownFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Held by work that lets events run, so that a shutdown waits until it has unwound.
    class WorkScope {
    public:
        explicit WorkScope(frmMain& window);
        ~WorkScope();
        WorkScope(const WorkScope&) = delete;
        WorkScope& operator=(const WorkScope&) = delete;

    private:
        frmMain& m_window;
    };

    void shutDownNow();
    bool shuttingDown() const { return m_shutDown || m_shutDownPending; }
    void closeOtherWindows(bool letEventsRun);
    void buildControls();
    void buildMenu();
    // The Reading and Help menus: every reading function with its shortcut.
    void buildKeyMenus();
    // Tool tips naming the shortcuts and the Pause caption, again after each translation.
    void refreshKeyTexts();
    // Pause reads "Resume" and looks pressed while reading is paused.
    void showPaused();
    // Tells screen readers the sentence being read, on the user's request only.
    void announceSentence();
    // The sentence highlight in the palette's own colours, also while a button has focus.
    void followPalette();
    void replaceSymbolFonts();
    void buildLanguageMenu();
    void startUpFailed(const Failure& failure);
    void saveState();
    // Keeps the place in the document on display as its bookmark.
    void storeBookmark();
    void splashText(const QString& text);
    void log(const QString& text);
    void cmdRead_Click();
    // Steps 2 to 7 of a reading; false when it could not be started.
    bool startReading(bool topNearEnd = true);
    void cmdPause_Click();
    void cmdLoad_Click();
    void cmdReload_Click();
    void changeFontSize(int step);
    void cmdSpeakToWav_Click();
    // The progress of a reading into files, with Stop.
    QProgressDialog* readingProgress(const QString& name, const QString& title,
                                     const QString& label, int maximum);
    void mnuPron_Click();
    void Talker_SpeakingSentence();
    void Talker_ReadingFinished();
    void Talker_WavFull();
    void keepSentenceInView(const QTextCursor& sentence);
    // Ends a reading into a WAV file: the file is completed and the user told where it is.
    void finishWav(bool completed);
    QString chooseWavFile();
    // Where file windows open: the folder last used, else Documents, else home.
    static QString startFolder();
    // Selects the voice and remembers it by index and by name.
    void storeVoice(int index);
    // Says so when path is a read-only file.
    bool refusedAsReadOnly(const QString& path);
    std::unique_ptr<QTextDocument> loadDocument(const QString& path, bool& readOk);
    void showDocument(std::unique_ptr<QTextDocument> doc);
    // The box's text, copied once per change of the document.
    const QString& documentText();
    void cmdAbout_Click();
    // The library window, shown modally; a book it hands back is opened and read.
    void mnugutenberg_click();
    void cmbEngine_Click(int index);
    void cmbPitch_Click(int index);
    // The update checker's side of the window (frmMainUpdate.cpp).
    void connectUpdateControls();
    void createUpdater();
    void Timer3_Timer();
    void mnuCheckForUpdate_Click();
    void checkforupdate(bool automatic);
    void Updater_InstallFile();
    // The Chapters menu (frmMainChapters.cpp): filled from the document on display each
    // time it opens.
    void buildChaptersMenu();
    void fillChaptersMenu();
    void goToChapter(qsizetype position);
    // Skipping by sentence and paragraph (frmMainSkipping.cpp).
    void buildSkipMenu();
    void refreshSkipTexts();
    // The tip with the action's shortcut after it, "Tip (Ctrl+X)", as buttons show it.
    static QString withShortcut(const QString& tip, const QAction* action);
    void skip(cSkipPlaces::Step step);
    // Reads on from a 0-based position, keeping it even in the last few characters.
    void readFrom(int position);
    // A resume after skips while paused reads from the new place; false when none is due.
    bool resumeAtSkip();
    // Media keys and the desktop's media controls (frmMainMedia.cpp).
    void connectMediaControls();
    void showMediaState();
    void showMediaTrack(const QString& sentence);

    // What the window keeps between runs (frmMainMemory.cpp): the speech last chosen and
    // each book's own, the text size, the window's place and the recent books.
    void buildMemory();
    void restoreMemory();
    void rememberWindow();
    void bookShown(const QString& file, bool readOk);
    void storeBookSpeech();
    void rememberFontSize(qreal pointSize);
    void speechChosen();
    void applySpeech(const cSpeechChoice& choice);
    cSpeechChoice currentSpeech() const;
    void fillVariants();
    void fillRecentMenu();
    void openRecent(const QString& path);
    // The status bar (frmMainStatus.cpp): the place in the book, the time left, the speed,
    // the pitch and whether the audio is heard. Shown at most a few times a second.
    void buildStatusBar();
    void connectStatusBar();
    void scheduleStatus();
    void refreshStatus();
    void statusSentence();
    // A pause, resume or stop: the time until the next sentence was not spent reading.
    void statusInterrupted();

    // The mark of the word being spoken (frmMainWords.cpp): built with the menu, tied to
    // the Talker and its setting once the Talker exists.
    void buildWordMark();
    void connectWordMark();
    void followWords(bool on);
    void Talker_WordSpoken(int position, int length);

    // Audiobooks (frmMainAudiobook.cpp): the book read into a file per chapter.
    void buildAudiobookMenu();
    void mnuAudiobook_Click();
    bool chooseAudiobook(QString& folder, AudioFormat& format);
    cVoiceChoice currentVoiceChoice() const;

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
    QMenu* mnuChapters = nullptr;
    QAction* mnuAudiobook = nullptr;
    cAudiobookMaker* m_audiobook = nullptr;
    QProgressDialog* m_audiobookProgress = nullptr;
    fSHAREDUpdater* Updater = nullptr;
    QLabel* lblEngine = nullptr;
    QLabel* lblPitch = nullptr;
    QMenu* mnuReading = nullptr;
    QMenu* mnuHelp = nullptr;
    QList<QAction*> m_skipActions;
    cMprisPlayer* m_media = nullptr;
    QComboBox* cmbVariant = nullptr;
    QLabel* lblVariant = nullptr;
    QMenu* mnuRecent = nullptr;
    // Set while a book's own speech is put in place: that is no choice of the user's.
    bool m_applyingSpeech = false;
    // Choices are remembered once start-up has put the stored ones in place.
    bool m_speechRestored = false;
    // The speed last set, for the book's entry once the Talker is gone at shutdown.
    int m_rateSeen = 0;
    QAction* mnuMarkWord = nullptr;
    cWordMark* m_wordMark = nullptr;
    cReaderStatusBar* m_statusBar = nullptr;

    std::unique_ptr<clsTalker> m_talker;
    QPointer<fSplash> m_splash;
    QString m_currentFile;
    // Where opening put the cursor in the current document.
    int m_shownAt = 0;
    cReadingController m_reading;
    QString m_textCopy;
    bool m_textStale = true;
    QString m_wavFile;
    // Where the reader was when a reading into a file began; the file's reading moves
    // the highlight through the book, and the place goes back there after it.
    QTextCursor m_wavPlace;
    bool m_wavFull = false;
    QProgressDialog* m_wavProgress = nullptr;
    qint64 m_lastRepaint = 0;
    bool m_isPaused = false;
    // Where a resume reads from after skips made while paused; -1 when none was made.
    int m_skipTarget = -1;
    // The book's title as media controls show it, found once per book.
    QString m_mediaBookFile;
    QString m_mediaBook;
    bool m_webdings = false;
    bool m_startedUp = false;
    bool m_shutDown = false;
    bool m_shutDownPending = false;
    int m_work = 0;
    int m_minWidth = 0;
    int m_minHeight = 0;
};
