#pragma once

#include "audiobook/audiobookplan.h"
#include "audiobook/audiobookworker.h"
#include "speech/voicemarkers.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QLockFile;
class QProcess;
class QTemporaryDir;

// Reads a book into a folder of sound files, a file per chapter, and a playlist. The
// speech engine keeps its state process-wide, so the pieces of the plan are spread over
// worker processes (as many as there are cores), each speaking and encoding its share.
// Everything is written into a hidden folder first and moved into place at the end: a
// failure or a cancel leaves the folder as it was. Runs on the thread's event loop.
class cAudiobookMaker : public QObject {
    Q_OBJECT
public:
    explicit cAudiobookMaker(QObject* parent = nullptr);
    ~cAudiobookMaker() override;

    // The program that runs the workers: $PARLO_AUDIOBOOK_WORKER, else this program.
    static QString workerProgram();
    // The cores to spread the work over ($PARLO_AUDIOBOOK_WORKERS may say otherwise).
    static int cores();
    // Worker processes for a plan: one a core, never more than the pieces.
    static int workersFor(int pieces);

    // False with why set when it cannot start (the folder cannot be made or written).
    // markers: the voice's emphasis and voice tags taken out of text, as read aloud.
    bool start(const QString& text, const cVoiceMarkers& markers, const cAudiobookPlan& plan,
               const QString& folder, const cVoiceChoice& voice, QString* why = nullptr);
    // Stops every worker and removes what was written; finished() follows.
    void cancel();
    bool isRunning() const { return m_running; }
    int workers() const { return int(m_workers.size()); }
    // The files written, in the folder, in order (the playlist last); empty until done.
    QStringList files() const { return m_files; }

Q_SIGNALS:
    // fraction 0 .. 1; secondsLeft < 0 while unknown.
    void progress(double fraction, double secondsLeft);
    // Each worker's memory after each of its jobs, in kilobytes.
    void workerMemory(int worker, qint64 residentKb, qint64 peakKb);
    // ok false with message saying why (empty after a cancel).
    void finished(bool ok, const QString& message);

private:
    struct Job;
    struct Worker;
    void dispatch();
    void onLine(int worker, const QByteArray& line);
    void onJobDone(Job& job);
    void fail(const QString& message);
    void complete();
    void stopWorkers();
    void report();
    void removeTemp();
    // The hidden folder's files: a piece's text or speech, a chapter's finished file.
    QString piecePath(int piece, const char* extension) const;
    QString chapterPath(int chapter) const;

    QList<Job> m_jobs;
    std::vector<std::unique_ptr<Worker>> m_workers;
    std::unique_ptr<QTemporaryDir> m_temp;
    std::unique_ptr<QLockFile> m_tempLock; // tells a later maker that m_temp is in use
    cAudiobookPlan m_plan;
    QString m_folder;
    QStringList m_files;
    QList<int> m_piecesLeft; // per chapter
    QElapsedTimer m_clock;
    double m_totalWeight = 0;
    double m_doneWeight = 0;
    bool m_running = false;
};
