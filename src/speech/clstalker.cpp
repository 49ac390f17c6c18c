#include "speech/clstalker.h"

#include "speech/cleanforspeech.h"
#include "speech/clsdict.h"
#include "util/identity.h"

#include <QComboBox>

#include <algorithm>

#ifdef PARLO_HAVE_ESPEAK_VOICE
#include "platform/voice/espeakvoice.h"
#endif

namespace {

const QString kTag = QStringLiteral("[v:");

std::unique_ptr<cSpeechVoice> createEspeakVoice(Failure& failure)
{
#ifdef PARLO_HAVE_ESPEAK_VOICE
    return cEspeakVoice::create(failure);
#else
    failure.number = Err::CannotCreateObject;
    failure.description = Err::description(Err::CannotCreateObject);
    return nullptr;
#endif
}

// The value of a tag's leading digit: "3]" gives 3, "]" and "x]" give 0, and so do digits
// of other scripts.
int tagNumber(const QString& piece)
{
    const char16_t first = piece.isEmpty() ? u' ' : piece[0].unicode();
    return first >= u'0' && first <= u'9' ? first - u'0' : 0;
}

} // namespace

clsTalker::clsTalker(QObject* parent) : clsTalker(createEspeakVoice, parent) {}

clsTalker::clsTalker(VoiceFactory factory, QObject* parent)
    : QObject(parent), m_factory(std::move(factory))
{
}

clsTalker::~clsTalker()
{
    if (m_voice) {
        m_voice->disconnect(this);
        m_voice->speak(QString(), cSpeechVoice::Async | cSpeechVoice::PurgeBeforeSpeak);
        if (m_voice->wavFileOpen())
            m_voice->closeWavFile();
    }
}

bool clsTalker::InitEngine(Failure& failure)
{
    cSHAREDSubs::instance().BusyMouse();
    Failure made;
    std::unique_ptr<cSpeechVoice> voice = m_factory ? m_factory(made) : nullptr;
    if (!voice) {
        // The pointer would otherwise stay busy behind the start-up's error message.
        cSHAREDSubs::instance().NormalMouse();
        failure.number = made.number ? made.number : int(Err::CannotCreateObject);
        failure.description =
            made.description.isEmpty() ? Err::description(failure.number) : made.description;
        failure.source = QStringLiteral("InitEngine");
        return false;
    }
    if (m_voice) {
        m_voice->disconnect(this);
        m_voice->speak(QString(), cSpeechVoice::Async | cSpeechVoice::PurgeBeforeSpeak);
    }
    m_isReading = false;
    m_readingOpen = false;
    m_queued.clear();
    m_traces.clear();
    m_voice = std::move(voice);
    connect(m_voice.get(), &cSpeechVoice::endStream, this, &clsTalker::Voice1_EndStream);
    connect(m_voice.get(), &cSpeechVoice::wordBoundary, this, &clsTalker::Voice1_Word);
    connect(m_voice.get(), &cSpeechVoice::wavFileFull, this, &clsTalker::WavFull);
    cSHAREDSubs::instance().NormalMouse();
    return true;
}

void clsTalker::SelectVoice(int index)
{
    if (m_voice)
        m_voice->selectVoice(index);
}

int clsTalker::currentVoice() const
{
    return m_voice ? m_voice->currentVoice() : -1;
}

QStringList clsTalker::voiceList() const
{
    return m_voice ? m_voice->voiceDescriptions() : QStringList();
}

void clsTalker::Pause()
{
    m_paused = true;
    if (m_voice)
        m_voice->pause();
}

void clsTalker::Continue()
{
    m_paused = false;
    if (m_voice)
        m_voice->resume();
}

void clsTalker::StopSpeaking()
{
    m_isReading = false;
    m_readingOpen = false;
    ++m_generation;
    m_queued.clear();
    m_traces.clear();
    if (m_voice)
        m_voice->speak(QString(), cSpeechVoice::Async | cSpeechVoice::PurgeBeforeSpeak);
    Failure ignored;
    CancelWav(ignored);
}

int clsTalker::findStoredVoice(const QStringList& voices, const QString& name, int index)
{
    // Written by hand or by older versions, the settings file may pad the value.
    const QString wanted = name.trimmed();
    const qsizetype named = wanted.isEmpty() ? -1 : voices.indexOf(wanted);
    if (named >= 0)
        return int(named);
    return qMax(0, qMin(index, int(voices.size()) - 1));
}

cSentenceEnds clsTalker::sentenceEnds() const
{
    return cSentenceEnds::forLanguage(m_voice ? m_voice->voiceLanguage() : QString());
}

void clsTalker::StoreTextFile(const QString& text, const cVoiceMarkers& markers)
{
    m_store.setSentenceEnds(sentenceEnds());
    m_store.StoreInSentences(text);
    m_markers = markers;
    m_nextMarker = 0;
    m_openEmphasis = 0;
}

void clsTalker::ReadText()
{
    if (m_store.isEmpty()) {
        cSHAREDSubs::instance().NormalMouse();
        return;
    }
    if (!m_voice) {
        m_isReading = false;
        return;
    }
    m_isReading = true;
    m_readingOpen = true;
    SpeakNextSentence();
    topUp();
    finishIfDone();
}

void clsTalker::SpeakNextSentence()
{
    // A sentence made only of voice tags queues nothing and so would end no stream; the
    // next one is taken at once so that the reading cannot stall there.
    const quint64 generation = m_generation;
    while (m_isReading && generation == m_generation) {
        qsizetype start = 0;
        const QString sentence = m_store.NextSentence(start);
        if (sentence.isEmpty()) {
            cSHAREDSubs::instance().NormalMouse();
            m_isReading = false;
            return;
        }
        const int queued = speakPieces(sentence, start);
        if (queued < 0)
            m_isReading = false;
        if (queued != 0)
            return;
    }
}

cTracedText clsTalker::withMarkers(const QString& sentence, qsizetype start)
{
    cTracedText marked(sentence, int(start));
    const qsizetype end = start + sentence.size();
    // Emphasis carries on from the sentence before; each sentence is spoken on its own.
    for (int i = 0; i < m_openEmphasis; ++i)
        marked.insert(0, VoiceMarkers::openEmphasis(), int(start));
    qsizetype inserted = marked.size() - sentence.size();
    for (; m_nextMarker < m_markers.size(); ++m_nextMarker) {
        const cVoiceMarker& m = m_markers[m_nextMarker];
        // What follows the sentence's last letter belongs to the next one, but for the end
        // of an emphasis.
        if (m.position > end || (m.position == end && !VoiceMarkers::closesEmphasis(m.text)))
            break;
        const qsizetype at = qMax<qsizetype>(m.position, start) - start;
        marked.insert(at + inserted, m.text, int(start + at));
        inserted += m.text.size();
        if (VoiceMarkers::opensEmphasis(m.text))
            ++m_openEmphasis;
        else if (VoiceMarkers::closesEmphasis(m.text) && m_openEmphasis > 0)
            --m_openEmphasis;
    }
    return marked;
}

int clsTalker::speakPieces(const QString& sentence, qsizetype start)
{
    const quint64 generation = m_generation;
    const cTracedText marked = withMarkers(sentence, start);
    int queued = 0;
    bool refused = false;
    qsizetype from = 0;
    for (bool first = true; from <= marked.size(); first = false) {
        qsizetype next = marked.text().indexOf(kTag, from, Qt::CaseSensitive);
        if (next < 0)
            next = marked.size();
        cTracedText piece = marked.mid(from, next - from);
        from = next + kTag.size();
        // Only text that follows "[v:" is a tag; a sentence that merely starts with
        // "2]" keeps its words and its voice.
        if (!first) {
            const qsizetype close = piece.text().indexOf(u']');
            if (close == 0 || close == 1) {
                SelectVoice(tagNumber(piece.text()) - 1);
                piece.remove(0, close + 1);
            }
        }
        Q_EMIT SpeakingSentence(piece.text());
        // The owner may have stopped the reading from its handler.
        if (generation != m_generation || !m_voice)
            return queued;
        cTracedText spoken = CleanForSpeech(PronDict().TranslateText(piece));
        if (spoken.text().trimmed().isEmpty())
            continue;
        spoken.prepend(m_pitchTag + u' ');
        spoken.trimSpaces();
        const int stream = m_voice->speak(spoken.text(), cSpeechVoice::Async);
        if (stream != 0) {
            m_queued.push_back(stream);
            if (m_followWords)
                m_traces[stream] = std::move(spoken);
            ++queued;
        } else {
            refused = true;
        }
    }
    return queued == 0 && refused ? -1 : queued;
}

void clsTalker::Voice1_EndStream(int streamNumber)
{
    const auto it = std::find(m_queued.begin(), m_queued.end(), streamNumber);
    if (it == m_queued.end())
        return;
    m_queued.erase(it);
    m_traces.erase(streamNumber);
    if (m_isReading)
        SpeakNextSentence();
    topUp();
    finishIfDone();
}

void clsTalker::topUp()
{
    while (m_isReading && m_queued.size() < size_t(1 + m_readAhead)) {
        const size_t before = m_queued.size();
        SpeakNextSentence();
        if (m_queued.size() == before)
            break;
    }
}

void clsTalker::finishIfDone()
{
    if (m_readingOpen && !m_isReading && m_queued.empty()) {
        m_readingOpen = false;
        Q_EMIT ReadingFinished();
    }
}

void clsTalker::Voice1_Word(int streamNumber, int position, int length)
{
    Q_EMIT SpeakingWord(position, length);
    if (!m_followWords)
        return;
    const auto trace = m_traces.find(streamNumber);
    if (trace == m_traces.end())
        return;
    const auto [start, count] = trace->second.source(position, length);
    if (start >= 0)
        Q_EMIT wordSpoken(start, count);
}

void clsTalker::FillEngine(QComboBox* list)
{
    if (!list)
        return;
    list->clear();
    list->addItems(voiceList());
}

void clsTalker::FillOutputs(QComboBox* list)
{
    if (!list)
        return;
    list->clear();
    const QStringList outputs = m_voice ? m_voice->audioOutputs() : QStringList();
    if (outputs.isEmpty()) {
        list->addItem(QStringLiteral("No audio ouput"));
        list->setEnabled(false);
    } else {
        list->addItems(outputs);
    }
    list->setCurrentIndex(0);
}

void clsTalker::ChangeRate(int delta)
{
    if (!m_voice)
        return;
    const int before = m_voice->rate();
    // The voice's pause is a switch, not a count: resuming after the change would carry on
    // a reading the user has paused.
    if (!m_paused)
        m_voice->pause();
    if (!m_voice->setRate(before + delta))
        m_voice->setRate(before);
    if (!m_paused)
        m_voice->resume();
}

void clsTalker::Slower()
{
    ChangeRate(-1);
}

void clsTalker::Faster()
{
    ChangeRate(+1);
}

int clsTalker::TalkSpeed() const
{
    return m_voice ? m_voice->rate() : 0;
}

void clsTalker::SetTalkSpeed(int rate)
{
    const int delta = std::clamp(rate, -10, 10) - TalkSpeed();
    if (delta != 0)
        ChangeRate(delta);
}

QList<cVoiceVariant> clsTalker::variantList() const
{
    return m_voice ? m_voice->variants() : QList<cVoiceVariant>();
}

bool clsTalker::SelectVariant(const QString& key)
{
    return m_voice && m_voice->selectVariant(key);
}

QString clsTalker::currentVariant() const
{
    return m_voice ? m_voice->currentVariant() : QString();
}

void clsTalker::SetPitchTag(int pitch)
{
    m_pitchTag = QStringLiteral("<pitch middle=\"%1\"> ").arg(pitch);
}

void clsTalker::ChangePitch(int pitch)
{
    SetPitchTag(pitch);
}

void clsTalker::Say(const QString& text)
{
    if (!m_voice)
        return;
    const int stream = m_voice->speak(text, cSpeechVoice::Async);
    if (stream != 0)
        m_queued.push_back(stream);
}

bool clsTalker::SetOutput(int index, Failure& failure)
{
    if (m_voice && m_voice->selectOutput(index))
        return true;
    failure = {Err::InvalidCall, Err::description(Err::InvalidCall), QStringLiteral("SetOutput")};
    return false;
}

bool clsTalker::SetWavOutput(const QString& path, Failure& failure)
{
    if (!m_voice) {
        failure = {Err::CannotCreateObject, Err::description(Err::CannotCreateObject),
                   QStringLiteral("SetWavOutput")};
        return false;
    }
    // A second file would otherwise leave the first one without its final sizes.
    if (m_voice->wavFileOpen())
        m_voice->closeWavFile();
    if (m_voice->openWavFile(path))
        return true;
    failure = {Err::PathFileAccess, Err::description(Err::PathFileAccess) + ": " + path,
               QStringLiteral("SetWavOutput")};
    return false;
}

bool clsTalker::CancelWav(Failure& failure)
{
    if (!m_voice || !m_voice->wavFileOpen()) {
        failure = {91, QStringLiteral("Object variable or With block variable not set"),
                   QStringLiteral("CancelWav")};
        return false;
    }
    // A file that could not be written to its end (a full disk) says so, not the above.
    QString why;
    if (m_voice->closeWavFile(&why))
        return true;
    failure = {57, why.isEmpty() ? QStringLiteral("Device I/O error") : why,
               QStringLiteral("CancelWav")};
    return false;
}
