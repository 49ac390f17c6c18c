#include "voicetestsupport.h"

#include "platform/voice/espeakvoice.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QThread>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {
quint32 le32(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}
quint16 le16(const char* p)
{
    return qFromLittleEndian<quint16>(p);
}
} // namespace

const QString LongSentence = QStringLiteral(
    "The quick brown fox jumps over the lazy dog, and the children played near the old stone "
    "bridge until the sun went down behind the hills. ");

std::unique_ptr<cEspeakVoice> englishVoice()
{
    Failure failure;
    auto voice = cEspeakVoice::create(failure, QStringLiteral("en-us"));
    EXPECT_TRUE(voice) << failure.number << " " << failure.description.toStdString();
    return voice;
}

void selectNullOutput(cEspeakVoice& voice)
{
    const QStringList outputs = voice.audioOutputs();
    const int index = static_cast<int>(outputs.indexOf(QStringLiteral("Null Output")));
    ASSERT_GE(index, 0) << outputs.join(u',').toStdString();
    ASSERT_TRUE(voice.selectOutput(index));
}

WavFile readWav(const QString& path)
{
    WavFile wav;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return wav;
    const QByteArray bytes = f.readAll();
    wav.fileSize = bytes.size();
    if (bytes.size() < 44 || !bytes.startsWith("RIFF") || bytes.mid(8, 8) != "WAVEfmt " ||
        bytes.mid(36, 4) != "data")
        return wav;
    const char* p = bytes.constData();
    wav.riffSize = le32(p + 4);
    wav.format = le16(p + 20);
    wav.channels = le16(p + 22);
    wav.sampleRate = static_cast<int>(le32(p + 24));
    wav.bits = le16(p + 34);
    wav.dataSize = le32(p + 40);
    const qint64 available = std::min<qint64>(wav.dataSize, bytes.size() - 44);
    wav.samples.resize(available / 2);
    for (size_t i = 0; i < wav.samples.size(); ++i)
        wav.samples[i] = static_cast<int16_t>(le16(p + 44 + 2 * i));
    wav.valid = true;
    return wav;
}

double rms(const std::vector<int16_t>& samples)
{
    if (samples.empty())
        return 0.0;
    double sum = 0;
    for (int16_t s : samples)
        sum += double(s) * s;
    return std::sqrt(sum / samples.size());
}

double medianPitchHz(const std::vector<int16_t>& samples, int sampleRate)
{
    const int frame = sampleRate * 40 / 1000;
    const int minLag = sampleRate / 500;
    const int maxLag = sampleRate / 50;
    const double loud = rms(samples) * 0.5;
    std::vector<double> found;
    for (size_t start = 0; start + frame + maxLag < samples.size(); start += frame / 2) {
        const int16_t* x = samples.data() + start;
        double energy = 0;
        for (int i = 0; i < frame; ++i)
            energy += double(x[i]) * x[i];
        if (std::sqrt(energy / frame) < loud)
            continue;
        double best = 0;
        int bestLag = 0;
        for (int lag = minLag; lag <= maxLag; ++lag) {
            double c = 0, e2 = 0;
            for (int i = 0; i < frame; ++i) {
                c += double(x[i]) * x[i + lag];
                e2 += double(x[i + lag]) * x[i + lag];
            }
            const double r = c / std::sqrt(energy * e2 + 1.0);
            if (r > best) {
                best = r;
                bestLag = lag;
            }
        }
        if (best > 0.6 && bestLag > 0)
            found.push_back(double(sampleRate) / bestLag);
    }
    if (found.empty())
        return 0.0;
    std::nth_element(found.begin(), found.begin() + found.size() / 2, found.end());
    return found[found.size() / 2];
}

VoiceLog::VoiceLog(cSpeechVoice& voice)
{
    QObject::connect(&voice, &cSpeechVoice::wordBoundary, &m_context, [this](int s, int p, int l) {
        entries.push_back({Entry::Word, s, p, l});
    });
    QObject::connect(&voice, &cSpeechVoice::endStream, &m_context, [this](int s) {
        entries.push_back({Entry::End, s, 0, 0});
    });
    QObject::connect(&voice, &cSpeechVoice::audioStarted, &m_context, [this](int s) {
        entries.push_back({Entry::Started, s, 0, 0});
    });
}

int VoiceLog::words(int stream) const
{
    return static_cast<int>(std::count_if(entries.begin(), entries.end(), [&](const Entry& e) {
        return e.kind == Entry::Word && (stream == 0 || e.stream == stream);
    }));
}

std::vector<int> VoiceLog::ends() const
{
    std::vector<int> out;
    for (const auto& e : entries) {
        if (e.kind == Entry::End)
            out.push_back(e.stream);
    }
    return out;
}

bool VoiceLog::ended(int stream) const
{
    const auto e = ends();
    return std::find(e.begin(), e.end(), stream) != e.end();
}

bool VoiceLog::started(int stream) const
{
    return std::any_of(entries.begin(), entries.end(), [&](const Entry& e) {
        return e.kind == Entry::Started && e.stream == stream;
    });
}

PulseServer::PulseServer()
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

PulseServer::~PulseServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
}

bool PulseServer::start()
{
    if (!m_dir.isValid())
        return false;
    QFile::setPermissions(m_dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    env.insert(QStringLiteral("HOME"), m_dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path() + QStringLiteral("/config"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_process.setProcessEnvironment(env);
    // As root the server wants --system unless told otherwise; it must stay in the
    // foreground so that the test can stop it.
    m_process.start(QStringLiteral("pulseaudio"),
                    {QStringLiteral("--system=no"), QStringLiteral("--daemonize=no"),
                     QStringLiteral("-n"), QStringLiteral("--use-pid-file=no"),
                     QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--disable-shm=yes"),
                     QStringLiteral("--log-target=stderr"),
                     QStringLiteral("--load=module-null-sink"),
                     QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") +
                         socketPath()});
    if (!m_process.waitForStarted(5000))
        return false;
    const bool up = waitUntil(
        [&] {
            return QFileInfo::exists(socketPath()) || m_process.state() == QProcess::NotRunning;
        },
        10000);
    m_log = QString::fromLocal8Bit(m_process.readAll());
    return up && m_process.state() == QProcess::Running;
}

int runChildTests(const QString& filter, const QStringList& environment, QString* output)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& pair : environment)
        env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=") + filter,
                 QStringLiteral("--gtest_also_run_disabled_tests")});
    if (!child.waitForStarted(10000))
        return -1;
    child.waitForFinished(180000);
    if (output)
        *output = QString::fromLocal8Bit(child.readAll());
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

namespace {

void expectChildPassed(int rc, const QString& output)
{
    EXPECT_EQ(rc, 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
    EXPECT_FALSE(output.contains(QStringLiteral("SKIPPED"))) << output.toStdString();
}

} // namespace

bool childMode(const char* mode)
{
    return qgetenv("PARLO_AUDIO_CHILD") == mode;
}

void runChildWithNullSink(const QString& filter, const char* mode)
{
    PulseServer server;
    ASSERT_TRUE(server.start()) << server.log().toStdString();
    QString output;
    const int rc = runChildTests(filter,
                                 {QStringLiteral("PARLO_AUDIO_CHILD=") + QLatin1String(mode),
                                  QStringLiteral("PULSE_SERVER=") + server.serverAddress(),
                                  QStringLiteral("XDG_RUNTIME_DIR=") + server.runtimeDir(),
                                  QStringLiteral("PARLO_PULSE_PID=%1").arg(server.pid())},
                                 &output);
    expectChildPassed(rc, output);
}

void runChildWithoutSoundServer(const QString& filter, const char* mode)
{
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("client.conf"));
    QFile f(config);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("autospawn = no\n");
    f.close();
    QString output;
    const int rc = runChildTests(
        filter,
        {QStringLiteral("PARLO_AUDIO_CHILD=") + QLatin1String(mode),
         QStringLiteral("PULSE_SERVER=unix:") + dir.filePath(QStringLiteral("nothing-here")),
         QStringLiteral("PULSE_CLIENTCONFIG=") + config,
         QStringLiteral("XDG_RUNTIME_DIR=") + dir.path()},
        &output);
    expectChildPassed(rc, output);
}
