#include "lextest.h"

#include "fakevoice.h"
#include "speech/editor/frmWordPair.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

clsTalker::VoiceFactory fakeVoiceFactory(QStringList* log)
{
    return [log](Failure&) -> std::unique_ptr<cSpeechVoice> {
        return std::make_unique<FakeVoice>(log);
    };
}

void whenPairShown(std::function<void(frmWordPair&)> answer, int ms)
{
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, answer = std::move(answer), ms] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* pair = qobject_cast<frmWordPair*>(modal); pair && pair->isVisible()) {
            timer->stop();
            timer->deleteLater();
            answer(*pair);
            return;
        }
        if (clock->elapsed() > ms) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no word pair window was shown";
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        }
    });
    timer->start();
}

void answerWith(const QString& original, const QString& replacement)
{
    whenPairShown([original, replacement](frmWordPair& pair) {
        pair.txtOriginalWord->setText(original);
        pair.txtNewWord->setText(replacement);
        pair.cmdOK->click();
    });
}

PairWindowCatcher::PairWindowCatcher()
{
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        if (auto* pair = qobject_cast<frmWordPair*>(QApplication::activeModalWidget())) {
            ++shown;
            pair->reject();
        }
    });
    m_timer.start();
}
