#pragma once

#include "diagnostics/failure.h"
#include "platform/voice/speechvoice.h"

#include <memory>

// The speech voice over libespeak-ng.
class cEspeakVoice : public cSpeechVoice {
    Q_OBJECT
public:
    // Nullptr with failure.number 23458 when the engine has no data or no voices, 429 when
    // the engine cannot be created.
    static std::unique_ptr<cEspeakVoice> create(Failure& failure);
    ~cEspeakVoice() override;

    QStringList voiceDescriptions() const override;
    bool selectVoice(int index) override;
    int currentVoice() const override;
    QStringList audioOutputs() const override;
    bool selectOutput(int index) override;
    int speak(const QString& text, int flags) override;
    void pause() override;
    void resume() override;
    int rate() const override;
    bool setRate(int rate) override;
    bool openWavFile(const QString& path) override;
    bool closeWavFile() override;
    bool wavFileOpen() const override;

private:
    cEspeakVoice();
};
