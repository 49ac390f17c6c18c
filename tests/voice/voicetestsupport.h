#pragma once

#include "testsupport.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class cEspeakVoice;
class cSpeechVoice;

struct WavFile {
    bool valid = false;
    int format = 0;
    int channels = 0;
    int sampleRate = 0;
    int bits = 0;
    quint32 riffSize = 0;
    quint32 dataSize = 0;
    qint64 fileSize = 0;
    std::vector<int16_t> samples;

    double seconds() const { return sampleRate ? double(samples.size()) / sampleRate : 0.0; }
};

// One sentence of about seven seconds of speech, with a space after it.
extern const QString LongSentence;

// The English (America) voice; null, failing the test, when the engine cannot make it.
std::unique_ptr<cEspeakVoice> englishVoice();
// In a child with a null sink: speech goes there.
void selectNullOutput(cEspeakVoice& voice);

// Parses a canonical RIFF/WAVE file as the voice writes it.
WavFile readWav(const QString& path);
double rms(const std::vector<int16_t>& samples);
// Median fundamental frequency of the voiced stretches, by autocorrelation.
double medianPitchHz(const std::vector<int16_t>& samples, int sampleRate);

// Everything a voice reports, in order.
struct VoiceLog {
    struct Entry {
        enum Kind { Word, End, Started } kind;
        int stream;
        int position;
        int length;
    };
    explicit VoiceLog(cSpeechVoice& voice);
    std::vector<Entry> entries;
    int words(int stream = 0) const;
    std::vector<int> ends() const;
    bool ended(int stream) const;
    bool started(int stream) const;

private:
    QObject m_context; // ends the connections with the log
};

// A private PulseAudio server with a null sink, for one test.
class PulseServer {
public:
    PulseServer();
    ~PulseServer();
    bool start();
    QString serverAddress() const { return QStringLiteral("unix:") + socketPath(); }
    QString runtimeDir() const { return m_dir.path(); }
    QString log() const { return m_log; }
    qint64 pid() const { return m_process.processId(); }

private:
    QString socketPath() const { return m_dir.path() + QStringLiteral("/native"); }
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_log;
};

// Runs this test program again with only the named tests and the given environment, so
// that a test gets a sound system of its own (Qt looks for it once per process).
int runChildTests(const QString& filter, const QStringList& environment, QString* output);

// The child tests named by filter, with PARLO_AUDIO_CHILD set to mode: with a sound server
// of their own that has only a null sink (whose process id is in PARLO_PULSE_PID), or with
// no sound server at all. Both expect exactly one test to run and pass.
void runChildWithNullSink(const QString& filter, const char* mode);
void runChildWithoutSoundServer(const QString& filter, const char* mode);
// In a child: whether it was started for mode.
bool childMode(const char* mode);
