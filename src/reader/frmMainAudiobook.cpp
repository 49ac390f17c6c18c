// The reader window's audiobooks: the book on display read into a folder of sound files,
// a file per chapter, by worker processes, with a progress dialog that can stop them.
#include "audiobook/audiobookmaker.h"
#include "diagnostics/userprompt.h"
#include "reader/documentloader.h"
#include "reader/frmMain.h"
#include "settings/lang.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QProgressDialog>
#include <QTextDocument>
#include <QTextEdit>

namespace {

QString translated(const char* english)
{
    return cSharedLang::instance().GetTranslation(QString::fromUtf8(english));
}

QString clock(double seconds)
{
    const qint64 s = qint64(seconds + 0.5);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

void frmMain::buildAudiobookMenu()
{
    mnuAudiobook = new QAction(QStringLiteral("Read into a&udio files by chapter…"), this);
    mnuAudiobook->setObjectName(QStringLiteral("mnuAudiobook"));
    // Beside reading into one file.
    QAction* before = nullptr;
    const QList<QAction*> actions = mnuReading->actions();
    for (qsizetype i = 0; i + 1 < actions.size(); ++i) {
        if (actions[i]->objectName() == u"mnuSpeakToWav")
            before = actions[i + 1];
    }
    mnuReading->insertAction(before, mnuAudiobook);
    connect(mnuAudiobook, &QAction::triggered, this, &frmMain::mnuAudiobook_Click);
}

cVoiceChoice frmMain::currentVoiceChoice() const
{
    // The one place the window's voice is handed on to the workers.
    cVoiceChoice voice;
    if (m_talker) {
        voice.voiceName = m_talker->voiceList().value(m_talker->currentVoice());
        voice.variant = m_talker->currentVariant();
        voice.rate = m_talker->TalkSpeed();
    }
    voice.pitch = cmbPitch ? cmbPitch->currentText().toInt() : 0;
    return voice;
}

bool frmMain::chooseAudiobook(QString& folder, AudioFormat& format)
{
    if (m_options.chooseAudiobook)
        return m_options.chooseAudiobook(this, folder, format);
    folder = QFileDialog::getExistingDirectory(
        this, translated("Choose a folder for the audio files"), startFolder());
    if (folder.isEmpty())
        return false;
    const QStringList names{QStringLiteral("MP3"), QStringLiteral("Ogg Vorbis"),
                            QStringLiteral("Opus"), QStringLiteral("FLAC"), QStringLiteral("WAV")};
    const AudioFormat formats[] = {AudioFormat::Mp3, AudioFormat::Ogg, AudioFormat::Opus,
                                   AudioFormat::Flac, AudioFormat::Wav};
    bool ok = false;
    const QString name =
        QInputDialog::getItem(this, translated("Read into audio files by chapter"),
                              translated("Format of the files:"), names, 0, false, &ok);
    if (!ok)
        return false;
    format = formats[std::max<qsizetype>(0, names.indexOf(name))];
    return true;
}

void frmMain::mnuAudiobook_Click()
{
    if (m_audiobook || !m_talker)
        return;
    const QString& text = documentText();
    if (text.trimmed().isEmpty()) {
        cUserPrompt::current().message(translated("There is no book to read."));
        return;
    }
    QString folder;
    AudioFormat format = AudioFormat::Mp3;
    if (!chooseAudiobook(folder, format) || shuttingDown())
        return;
    StopReading();
    const cBookInfo book = BookInfo::of(m_currentFile, text);
    const cAudiobookPlan plan = cAudiobookPlan::make(
        text, cDocumentLoader::chapters(*RichTextBox1->document()), book, format,
        cAudiobookPlan::pieceSizeFor(text.size(), cAudiobookMaker::cores()));
    m_audiobook = new cAudiobookMaker(this);
    m_audiobookProgress = readingProgress(QStringLiteral("audiobookProgress"),
                                          translated("Read into audio files by chapter"),
                                          translated("Reading into audio files by chapter"), 1000);
    connect(m_audiobookProgress, &QProgressDialog::canceled, m_audiobook, &cAudiobookMaker::cancel);
    connect(m_audiobook, &cAudiobookMaker::progress, this, [this](double fraction, double left) {
        if (!m_audiobookProgress)
            return;
        m_audiobookProgress->setValue(int(fraction * 1000));
        if (left >= 0)
            m_audiobookProgress->setLabelText(translated("Reading into audio files by chapter") +
                                              QStringLiteral("\n") + translated("Time left:") +
                                              u' ' + clock(left));
    });
    connect(m_audiobook, &cAudiobookMaker::finished, this,
            [this, folder](bool ok, const QString& message) {
                m_audiobookProgress->disconnect(this);
                m_audiobookProgress->deleteLater();
                m_audiobookProgress = nullptr;
                m_audiobook->deleteLater();
                m_audiobook = nullptr;
                if (shuttingDown())
                    return;
                if (ok)
                    cUserPrompt::current().message(
                        translated("The audio files have been saved in ") + folder);
                else if (message.isEmpty())
                    cUserPrompt::current().message(
                        translated("The reading was stopped. No audio file was saved."));
                else
                    cUserPrompt::current().message(
                        translated("The audio files could not be made: ") + message);
            });
    m_audiobookProgress->show();
    QString why;
    if (!m_audiobook->start(text, cDocumentLoader::voiceMarkers(*RichTextBox1->document()), plan,
                            folder, currentVoiceChoice(), &why))
        Q_EMIT m_audiobook->finished(false, why);
}
