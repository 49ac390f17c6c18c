#include "platform/voice/espeakvoice.h"

cEspeakVoice::cEspeakVoice() = default;
cEspeakVoice::~cEspeakVoice() = default;

std::unique_ptr<cEspeakVoice> cEspeakVoice::create(Failure& failure)
{
    failure.number = Err::CannotCreateObject;
    failure.description = Err::description(failure.number);
    failure.source = QStringLiteral("InitEngine");
    return nullptr;
}

QStringList cEspeakVoice::voiceDescriptions() const
{
    return {};
}
bool cEspeakVoice::selectVoice(int)
{
    return false;
}
int cEspeakVoice::currentVoice() const
{
    return 0;
}
QStringList cEspeakVoice::audioOutputs() const
{
    return {};
}
bool cEspeakVoice::selectOutput(int)
{
    return false;
}
int cEspeakVoice::speak(const QString&, int)
{
    return 0;
}
void cEspeakVoice::pause() {}
void cEspeakVoice::resume() {}
int cEspeakVoice::rate() const
{
    return 0;
}
bool cEspeakVoice::setRate(int)
{
    return false;
}
bool cEspeakVoice::openWavFile(const QString&)
{
    return false;
}
bool cEspeakVoice::closeWavFile()
{
    return false;
}
bool cEspeakVoice::wavFileOpen() const
{
    return false;
}
