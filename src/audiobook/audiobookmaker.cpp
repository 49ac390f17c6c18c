#include "audiobook/audiobookmaker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>

struct cAudiobookMaker::Job {
    enum class State { Waiting, Pending, Running, Done };
    bool join = false;
    int chapter = 0;
    int piece = -1;
    QString out;
    cVoiceMarkers markers; // counted from the piece's start
    double weight = 0;
    int permille = 0;
    State state = State::Pending;
};

struct cAudiobookMaker::Worker {
    QProcess* process = nullptr;
    int job = -1;
};

cAudiobookMaker::cAudiobookMaker(QObject* parent) : QObject(parent) {}

cAudiobookMaker::~cAudiobookMaker()
{
    stopWorkers();
}

QString cAudiobookMaker::workerProgram()
{
    const QString given = qEnvironmentVariable("PARLO_AUDIOBOOK_WORKER");
    return given.isEmpty() ? QCoreApplication::applicationFilePath() : given;
}

int cAudiobookMaker::cores()
{
    bool ok = false;
    const int asked = qEnvironmentVariableIntValue("PARLO_AUDIOBOOK_WORKERS", &ok);
    return std::max(1, ok && asked > 0 ? asked : QThread::idealThreadCount());
}

int cAudiobookMaker::workersFor(int pieces)
{
    return std::clamp(pieces, 1, cores());
}

QString cAudiobookMaker::piecePath(int piece, const char* extension) const
{
    return m_temp->filePath(QStringLiteral("piece-%1.%2").arg(piece).arg(QLatin1String(extension)));
}

QString cAudiobookMaker::chapterPath(int chapter) const
{
    return m_temp->filePath(
        QStringLiteral("chapter-%1.%2").arg(chapter).arg(AudioFormats::extension(m_plan.format)));
}

namespace {

// The markers that fall within a piece; emphasis open at its start is opened there again.
cVoiceMarkers markersWithin(const cVoiceMarkers& markers, qsizetype start, qsizetype size)
{
    cVoiceMarkers within;
    for (const cVoiceMarker& m : VoiceMarkers::from(markers, int(start))) {
        if (m.position < size || (m.position == size && VoiceMarkers::closesEmphasis(m.text)))
            within.append(m);
    }
    return within;
}

// A maker killed outright leaves its hidden folder behind, with a lock whose process is
// gone. Folders still locked belong to a maker at work; those without a lock are left be.
void removeLeftBehind(const QString& folder)
{
    const QFileInfoList hidden = QDir(folder).entryInfoList(
        {QStringLiteral(".parlo-*")}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& left : hidden) {
        const QString lockPath = QDir(left.filePath()).filePath(QStringLiteral("lock"));
        if (!QFileInfo::exists(lockPath))
            continue;
        QLockFile lock(lockPath);
        // Only a lock whose process has ended is stale, however old.
        lock.setStaleLockTime(0);
        if (lock.tryLock(0)) {
            lock.unlock();
            QDir(left.filePath()).removeRecursively();
        }
    }
}

} // namespace

bool cAudiobookMaker::start(const QString& text, const cVoiceMarkers& markers,
                            const cAudiobookPlan& plan, const QString& folder,
                            const cVoiceChoice& voice, QString* why)
{
    const auto refuse = [why](const QString& message) {
        if (why)
            *why = message;
        return false;
    };
    if (m_running)
        return refuse(QStringLiteral("an audiobook is already being made"));
    if (!QDir().mkpath(folder))
        return refuse(QStringLiteral("cannot make the folder ") + folder);
    removeLeftBehind(folder);
    m_temp =
        std::make_unique<QTemporaryDir>(QDir(folder).filePath(QStringLiteral(".parlo-XXXXXX")));
    if (!m_temp->isValid())
        return refuse(QStringLiteral("cannot write into the folder ") + folder);
    m_tempLock = std::make_unique<QLockFile>(m_temp->filePath(QStringLiteral("lock")));
    m_tempLock->tryLock(0);
    m_plan = plan;
    m_folder = folder;
    m_files.clear();
    m_jobs.clear();
    m_piecesLeft.clear();
    m_doneWeight = 0;
    m_totalWeight = 0;

    for (qsizetype c = 0; c < plan.chapters.size(); ++c) {
        const auto& chapter = plan.chapters[c];
        const QString finalOut = chapterPath(int(c));
        const bool split = chapter.pieces.size() > 1;
        for (const int p : chapter.pieces) {
            const auto& piece = plan.pieces[p];
            QFile file(piecePath(p, "txt"));
            if (!file.open(QIODevice::WriteOnly) ||
                file.write(QStringView(text).sliced(piece.start, piece.size()).toUtf8()) < 0)
                return refuse(QStringLiteral("cannot write into the folder ") + folder);
            Job job;
            job.chapter = int(c);
            job.piece = p;
            job.out = split ? piecePath(p, "wav") : finalOut;
            job.markers = markersWithin(markers, piece.start, piece.size());
            job.weight = double(piece.size());
            m_jobs.append(job);
        }
        if (split) {
            Job join;
            join.join = true;
            join.chapter = int(c);
            join.out = finalOut;
            // Joining costs far less than speaking; compressing costs more than copying.
            join.weight = double(chapter.end - chapter.start) *
                          (plan.format == AudioFormat::Wav ? 0.05 : 0.5);
            join.state = Job::State::Waiting;
            m_jobs.append(join);
        }
        m_piecesLeft.append(int(chapter.pieces.size()));
    }
    for (const Job& job : std::as_const(m_jobs))
        m_totalWeight += job.weight;

    const int count = workersFor(int(plan.pieces.size()));
    const QString program = workerProgram();
    QStringList arguments{QStringLiteral("--audiobook-worker")};
    arguments += voice.arguments();
    for (int i = 0; i < count; ++i) {
        auto worker = std::make_unique<Worker>();
        worker->process = new QProcess(this);
        worker->process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcess* process = worker->process;
        connect(process, &QProcess::readyReadStandardOutput, this, [this, i, process] {
            while (process->canReadLine())
                onLine(i, process->readLine().trimmed());
        });
        connect(process, &QProcess::finished, this, [this] {
            if (m_running)
                fail(QStringLiteral("a worker process stopped unexpectedly"));
        });
        connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (m_running && error == QProcess::FailedToStart)
                fail(QStringLiteral("cannot start a worker process"));
        });
        m_workers.push_back(std::move(worker));
    }
    m_running = true;
    m_clock.start();
    for (const auto& worker : m_workers)
        worker->process->start(program, arguments);
    dispatch();
    return true;
}

void cAudiobookMaker::dispatch()
{
    for (qsizetype w = 0; w < qsizetype(m_workers.size()) && m_running; ++w) {
        Worker& worker = *m_workers[size_t(w)];
        if (worker.job >= 0)
            continue;
        // A chapter ready to be joined first, so its pieces leave the disk soon; then the
        // longest piece, so that the last to finish are short.
        int best = -1;
        for (int j = 0; j < m_jobs.size(); ++j) {
            const Job& job = m_jobs[j];
            if (job.state != Job::State::Pending)
                continue;
            if (best < 0 || (job.join && !m_jobs[best].join) ||
                (job.join == m_jobs[best].join && job.weight > m_jobs[best].weight))
                best = j;
        }
        if (best < 0)
            return;
        Job& job = m_jobs[best];
        const auto& chapter = m_plan.chapters[job.chapter];
        QJsonObject request{{QStringLiteral("id"), best}, {QStringLiteral("out"), job.out}};
        const bool tagged = job.join || chapter.pieces.size() == 1;
        if (tagged) {
            request.insert(QStringLiteral("title"),
                           chapter.title.isEmpty() ? m_plan.book.title : chapter.title);
            request.insert(QStringLiteral("artist"), m_plan.book.author);
            request.insert(QStringLiteral("album"), m_plan.book.title);
            request.insert(QStringLiteral("track"), job.chapter + 1);
        }
        if (job.join) {
            QJsonArray pieces;
            for (const int p : chapter.pieces)
                pieces.append(piecePath(p, "wav"));
            request.insert(QStringLiteral("pieces"), pieces);
        } else {
            request.insert(QStringLiteral("text"), piecePath(job.piece, "txt"));
            if (!job.markers.isEmpty()) {
                QJsonArray markers;
                for (const cVoiceMarker& m : std::as_const(job.markers))
                    markers.append(QJsonArray{m.position, m.text});
                request.insert(QStringLiteral("markers"), markers);
            }
        }
        job.state = Job::State::Running;
        worker.job = best;
        worker.process->write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    }
}

void cAudiobookMaker::onLine(int w, const QByteArray& line)
{
    if (!m_running)
        return;
    Worker& worker = *m_workers[size_t(w)];
    const QList<QByteArray> words = line.split(' ');
    if (words.size() < 2)
        return;
    const int id = words[1].toInt();
    const bool current = id == worker.job && id >= 0 && id < m_jobs.size();
    if (words[0] == "progress" && current && words.size() >= 3) {
        m_jobs[id].permille = std::clamp(words[2].toInt(), 0, 1000);
        report();
    } else if (words[0] == "done" && current) {
        if (words.size() >= 4)
            Q_EMIT workerMemory(w, words[2].toLongLong(), words[3].toLongLong());
        worker.job = -1;
        onJobDone(m_jobs[id]);
    } else if (words[0] == "full") {
        fail(QStringLiteral("%1 is full: a WAV file holds at most 4 GB of speech")
                 .arg(QDir(m_folder).filePath(m_plan.chapters[m_jobs[id].chapter].fileName)));
    } else if (words[0] == "failed") {
        fail(QString::fromUtf8(line.mid(line.indexOf(' ', 7) + 1)));
    }
}

void cAudiobookMaker::onJobDone(Job& job)
{
    job.state = Job::State::Done;
    m_doneWeight += job.weight;
    if (!job.join) {
        // The last piece of a split chapter lets it be joined.
        if (--m_piecesLeft[job.chapter] == 0) {
            for (Job& other : m_jobs) {
                if (other.join && other.chapter == job.chapter)
                    other.state = Job::State::Pending;
            }
        }
    } else {
        for (const int p : m_plan.chapters[job.chapter].pieces)
            QFile::remove(piecePath(p, "wav"));
    }
    report();
    if (std::all_of(m_jobs.cbegin(), m_jobs.cend(),
                    [](const Job& j) { return j.state == Job::State::Done; })) {
        complete();
        return;
    }
    dispatch();
}

void cAudiobookMaker::report()
{
    double done = m_doneWeight;
    for (const Job& job : std::as_const(m_jobs)) {
        if (job.state == Job::State::Running)
            done += job.weight * job.permille / 1000.0;
    }
    const double fraction = m_totalWeight > 0 ? std::clamp(done / m_totalWeight, 0.0, 1.0) : 1.0;
    const double elapsed = m_clock.elapsed() / 1000.0;
    const double left = fraction > 0.001 ? elapsed * (1 - fraction) / fraction : -1;
    Q_EMIT progress(fraction, left);
}

void cAudiobookMaker::complete()
{
    stopWorkers();
    QStringList files;
    QList<double> seconds;
    for (qsizetype c = 0; c < m_plan.chapters.size(); ++c) {
        const QString from = chapterPath(int(c));
        const QString to = QDir(m_folder).filePath(m_plan.chapters[c].fileName);
        QFile::remove(to);
        if (!QFile::rename(from, to)) {
            for (const QString& moved : std::as_const(files))
                QFile::remove(moved);
            fail(QStringLiteral("cannot write ") + to);
            return;
        }
        files << to;
        seconds << AudioFormats::playingSeconds(to);
    }
    QSaveFile playlist(QDir(m_folder).filePath(m_plan.playlistName()));
    if (!playlist.open(QIODevice::WriteOnly) || playlist.write(m_plan.playlist(seconds)) < 0 ||
        !playlist.commit()) {
        for (const QString& moved : std::as_const(files))
            QFile::remove(moved);
        fail(QStringLiteral("cannot write ") + playlist.fileName());
        return;
    }
    files << playlist.fileName();
    m_files = files;
    m_running = false;
    removeTemp();
    Q_EMIT progress(1.0, 0.0);
    Q_EMIT finished(true, {});
}

void cAudiobookMaker::fail(const QString& message)
{
    if (!m_running)
        return;
    m_running = false;
    stopWorkers();
    removeTemp();
    Q_EMIT finished(false, message);
}

void cAudiobookMaker::removeTemp()
{
    m_tempLock.reset();
    m_temp.reset();
}

void cAudiobookMaker::cancel()
{
    fail({});
}

void cAudiobookMaker::stopWorkers()
{
    for (const auto& worker : m_workers) {
        QProcess* process = worker->process;
        process->disconnect(this);
        if (process->state() != QProcess::NotRunning) {
            // Nothing a worker still does is wanted: it ends at once.
            process->kill();
            process->waitForFinished(10000);
        }
        process->deleteLater();
    }
    m_workers.clear();
}
