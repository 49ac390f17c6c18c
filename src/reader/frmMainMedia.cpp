// The reader window as the desktop's media player: media keys and the desktop's media
// controls play, pause, stop and skip, and see the sentence being read as the track.

#include "reader/frmMain.h"
#include "reader/mpris.h"

#include <QPushButton>
#include <QTextEdit>

void frmMain::connectMediaControls()
{
    m_media = new cMprisPlayer(this);
    if (!m_media->start())
        log(QStringLiteral("No session bus: media keys and the desktop's controls are off"));
    const auto reading = [this] { return m_talker && m_talker->isBusy(); };
    const auto when = [this](auto signal, auto act) {
        connect(m_media, signal, this, [this, act] {
            if (!shuttingDown())
                act();
        });
    };
    when(&cMprisPlayer::playRequested, [this, reading] {
        if (m_isPaused)
            cmdPause_Click();
        else if (!reading())
            cmdRead_Click();
    });
    when(&cMprisPlayer::pauseRequested, [this, reading] {
        if (reading() && !m_isPaused)
            cmdPause_Click();
    });
    when(&cMprisPlayer::playPauseRequested, [this, reading] {
        if (reading() || m_isPaused)
            cmdPause_Click();
        else
            cmdRead_Click();
    });
    when(&cMprisPlayer::stopRequested, [this] { StopReading(); });
    when(&cMprisPlayer::nextRequested, [this] { skip(cSkipPlaces::Step::ForwardSentence); });
    when(&cMprisPlayer::previousRequested, [this] { skip(cSkipPlaces::Step::BackSentence); });
    when(&cMprisPlayer::raiseRequested, [this] {
        showNormal();
        raise();
        activateWindow();
    });
    when(&cMprisPlayer::quitRequested, [this] { ShutDown(); });
    connect(m_media, &cMprisPlayer::openRequested, this, &frmMain::openFromCommandLine);

    connect(m_talker.get(), &clsTalker::SpeakingSentence, this, &frmMain::showMediaTrack);
    connect(m_talker.get(), &clsTalker::ReadingFinished, this, &frmMain::showMediaState);
    showMediaState();
}

void frmMain::showMediaState()
{
    if (!m_media)
        return;
    using Status = cMprisPlayer::Status;
    const bool reading = m_talker && m_talker->isBusy();
    m_media->setStatus(!reading ? Status::Stopped : m_isPaused ? Status::Paused : Status::Playing);
    if (!reading)
        showMediaTrack(QString());
}

void frmMain::showMediaTrack(const QString& sentence)
{
    if (!m_media)
        return;
    if (m_mediaBookFile != m_currentFile || m_currentFile.isEmpty()) {
        m_mediaBookFile = m_currentFile;
        m_mediaBook = cMprisPlayer::bookTitle(m_currentFile, documentText());
    }
    m_media->setTrack(m_mediaBook, sentence, RichTextBox1->textCursor().selectionStart());
    if (!sentence.isEmpty())
        showMediaState();
}
