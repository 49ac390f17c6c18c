// The reader window's mark of the word being spoken, and the setting that turns it off.
#include "reader/frmMain.h"
#include "reader/wordmark.h"
#include "settings/settings.h"

#include <QAction>
#include <QMenu>

namespace {

const QString kSetting = QStringLiteral("MarkSpokenWord");

} // namespace

void frmMain::buildWordMark()
{
    m_wordMark = new cWordMark(RichTextBox1);
    mnuMarkWord = mnuSettings->addAction(QStringLiteral("Mark the Spoken &Word"));
    mnuMarkWord->setObjectName(QStringLiteral("mnuMarkWord"));
    mnuMarkWord->setCheckable(true);
    mnuMarkWord->setChecked(true);
    connect(mnuMarkWord, &QAction::toggled, this, [this](bool on) {
        cSHAREDSettings::shared().StoreSetting(kSetting, on);
        followWords(on);
    });
}

void frmMain::connectWordMark()
{
    // Stored as -1 or 0, or written by hand as True or False.
    const bool on = cSHAREDSettings::shared().RetrieveSetting(kSetting, true).toInt() != 0;
    {
        const QSignalBlocker quiet(mnuMarkWord);
        mnuMarkWord->setChecked(on);
    }
    connect(m_talker.get(), &clsTalker::wordSpoken, this, &frmMain::Talker_WordSpoken);
    followWords(on);
}

void frmMain::followWords(bool on)
{
    if (m_talker)
        m_talker->setFollowWords(on);
    if (!on)
        m_wordMark->clear();
}

void frmMain::Talker_WordSpoken(int position, int length)
{
    // A reading into a file runs far ahead of anyone listening.
    if (!m_wavFile.isEmpty())
        return;
    m_wordMark->mark(m_reading.textStart() + position, length);
}
