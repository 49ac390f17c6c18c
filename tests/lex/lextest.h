#pragma once

#include "speech/clstalker.h"

#include <QStringList>
#include <QTimer>

#include <functional>

class frmWordPair;

// A Test voice that records what it was asked to say.
clsTalker::VoiceFactory fakeVoiceFactory(QStringList* log);

// Runs answer on the pair window once it is shown modally. When none appears within the
// time, the test fails and whatever modal window is open is closed, so nothing hangs.
void whenPairShown(std::function<void(frmWordPair&)> answer, int ms = 5000);

// Fills the pair window's boxes and presses its OK.
void answerWith(const QString& original, const QString& replacement);

// For as long as it lives, closes any pair window that shows up and counts it.
class PairWindowCatcher {
public:
    PairWindowCatcher();
    int shown = 0;

private:
    QTimer m_timer;
};
