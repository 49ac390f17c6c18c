// The library window, offscreen:
//  1. opening it over a catalogue of 60,000 titles (from the corpus's GUTINDEX.ALL when it is
//     there, made up otherwise), against reading and splitting the same file alone;
//  2. Find of a word that only the last title holds;
//  3. from a click on Download and Read of a 1 MB book on a loopback mirror to the voice's
//     first audio, against opening and reading the same book from the disk.
#include "../benchapp.h"
#include "benchutil.h"
#include "library/fSHAREDGut.h"
#include "loopback.h"
#include "reader/frmMain.h"
#include "settings/settings.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

namespace {

constexpr int kTitles = 60000;
const QString kLastWord = QStringLiteral("zymurgy");

bool put(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(path.section('/', 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// "path, title" lines: the index's own titles first, made-up ones up to the count, and one
// that sorts last and alone holds kLastWord.
QByteArray catalogue()
{
    QFile index(QStringLiteral("/work/shared/corpus/gutindex/GUTINDEX.ALL"));
    QByteArray text;
    int count = 0;
    if (index.open(QIODevice::ReadOnly)) {
        static const QRegularExpression titleLine(QStringLiteral("^(\\S.*\\S)\\s+(\\d{2,6})$"));
        for (const QByteArray& raw : index.readAll().split('\n')) {
            const auto match = titleLine.match(QString::fromUtf8(raw).trimmed());
            if (!match.hasMatch() || count >= kTitles - 1)
                continue;
            const QString number = match.captured(2);
            text += QStringLiteral("/%1/%2/%2.txt, %3\r\n")
                        .arg(number.left(number.size() - 1).split(QString()).join('/').mid(1),
                             number, match.captured(1))
                        .toUtf8();
            ++count;
        }
    }
    for (; count < kTitles - 1; ++count)
        text += QStringLiteral("/9/9/%1/%1.txt, A Made-up Book Number %1, by Some One\r\n")
                    .arg(count)
                    .toUtf8();
    text += "/9/9/99999/99999.txt, Zzyzx Road and the Art of Zymurgy, by The Last\r\n";
    return text;
}

QByteArray megabyteBook()
{
    const QByteArray paragraph =
        "It was a bright cold day in the country, and the travellers went on. They spoke of "
        "the harvest, of the weather, and of the war! Who could say what would come?\r\n\r\n";
    QByteArray book;
    while (book.size() < 1024 * 1024)
        book += paragraph;
    return book;
}

double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Milliseconds from start() to the voice's first audio of the reading; -1 when none came.
double untilFirstAudio(frmMain& reader, const std::function<void(QElapsedTimer&)>& start)
{
    cSpeechVoice* voice = reader.Talker()->voice();
    QEventLoop loop;
    QElapsedTimer timer;
    double elapsed = -1;
    const auto connection =
        QObject::connect(voice, &cSpeechVoice::audioStarted, &loop, [&](int stream) {
            if (elapsed < 0 && stream == reader.Talker()->speakingStream())
                elapsed = msSince(timer);
            loop.quit();
        });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    start(timer);
    if (elapsed < 0)
        loop.exec();
    QObject::disconnect(connection);
    reader.StopReading();
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    benchapp::Application app(argc, argv);
    const QTemporaryDir& home = app.home;
    bool ok = true;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    // 1 and 2: the window over a large catalogue.
    const QByteArray records = catalogue();
    put(home.filePath("GutIndex.txt"), records);
    std::vector<double> opens;
    std::vector<double> reads;
    std::vector<double> finds;
    std::vector<double> scans;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        QFile file(home.filePath("GutIndex.txt"));
        file.open(QIODevice::ReadOnly);
        const QList<QByteArray> lines = file.readAll().split('\n');
        reads.push_back(msSince(timer));

        timer.start();
        fSHAREDGut window;
        window.Form_Load();
        window.show();
        QApplication::processEvents();
        opens.push_back(msSince(timer));

        window.findChild<QLineEdit*>("txtSearch")->setText(kLastWord);
        for (int find = 0; find < 5; ++find) {
            timer.start();
            window.findChild<QPushButton*>("cmdFind")->click();
            finds.push_back(msSince(timer));
            timer.start();
            window.library().books().find(kLastWord);
            scans.push_back(msSince(timer));
        }
        const int row = window.selectedRow();
        if (row < 0 ||
            !window.library().books().entry(row).title.contains(kLastWord, Qt::CaseInsensitive) ||
            row < window.library().books().count() * 9 / 10) {
            std::printf("library: Find did not select a title near the end\n");
            ok = false;
        }
        if (lines.size() < kTitles)
            ok = false;
    }
    const double open = median(opens);
    const double find = median(finds);
    std::printf("library: %d titles; open %.1f ms (limit 500), reading the file alone %.1f ms, "
                "ratio %.1f\n",
                kTitles, open, median(reads), open / median(reads));
    std::printf("library: Find in the last title %.2f ms (limit 20), the scan alone %.2f ms\n",
                find, median(scans));
    ok = ok && open < 500 && find < 20;

    // 3: Download and Read from a loopback mirror.
    QTemporaryDir site;
    const QByteArray book = megabyteBook();
    put(site.filePath("dirs/9/9/99999/99999.txt"), book);
    put(home.filePath("local.txt"), book);
    LoopbackProcess server;
    if (!server.start(QStringLiteral(PARLO_TEST_PYTHON),
                      {QStringLiteral(PARLO_TEST_MIRROR), site.path()},
                      [](const QString&) { return true; })) {
        std::printf("library: the mirror did not start\n");
        return 1;
    }
    const QString base = QStringLiteral("http://127.0.0.1:%1/dirs/").arg(server.firstLine());

    frmMain::Options options;
    options.showSplash = false;
    frmMain reader(options);
    if (!reader.startUp()) {
        std::printf("library: the reader did not start\n");
        return 1;
    }
    reader.show();
    cSHAREDSettings::shared().sSet(QStringLiteral("GutenDownloadPath2"), base);
    auto* gutenberg = reader.findChild<QPushButton*>("cmdGUT");
    std::vector<double> downloads;
    std::vector<double> locals;
    for (int run = 0; run < 3; ++run) {
        locals.push_back(untilFirstAudio(reader, [&](QElapsedTimer& timer) {
            timer.start();
            reader.openFromCommandLine(home.filePath("local.txt"));
        }));
        downloads.push_back(untilFirstAudio(reader, [&](QElapsedTimer& timer) {
            // The window is modal: the click comes once it shows.
            QTimer user;
            user.setInterval(1);
            QObject::connect(&user, &QTimer::timeout, [&] {
                for (QWidget* widget : QApplication::topLevelWidgets()) {
                    auto* library = qobject_cast<fSHAREDGut*>(widget);
                    if (!library || !library->isVisible())
                        continue;
                    user.stop();
                    auto* list = library->findChild<QTreeView*>("ListView1");
                    list->setCurrentIndex(list->model()->index(
                        library->library().books().find(QStringLiteral("zymurgy")), 0));
                    timer.start();
                    library->findChild<QPushButton*>("cmdDownloadAndRead")->click();
                }
            });
            user.start();
            gutenberg->click();
        }));
    }
    const double download = median(downloads);
    const double local = median(locals);
    std::printf("library: Download and Read of 1 MB to first audio %.0f ms (limit 2000), "
                "from the disk %.0f ms, ratio %.2f\n",
                download, local, download / local);
    ok = ok && download > 0 && download < 2000;
    reader.ShutDown();
    std::printf("library: %s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
