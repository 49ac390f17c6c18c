// Every input in the fuzz corpora, crashes found earlier among them, goes through both
// converters again.
#include "platform/rtf/rtfreader.h"
#include "platform/textcodec.h"
#include "text/sharedhtml.h"

#include "epubchecks.h"

#include "testsupport.h"

#include <QDirIterator>
#include <QTextDocument>

#include <gtest/gtest.h>

TEST(FuzzCorpus, EveryInputConvertsCleanly)
{
    ScopedProgramHome home;
    int files = 0;
    QDirIterator it(QStringLiteral(PARLO_FUZZ_CORPUS), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QByteArray bytes = readBytes(path);
        QString text = TextCodec::decode(bytes);
        cSharedHTML::instance().HtmlToPlainText(text);
        QTextDocument doc;
        RtfReader::read(bytes, &doc);
        EXPECT_EQ(doc.toPlainText().size() + 1, doc.characterCount()) << qPrintable(path);
        ++files;
    }
    EXPECT_GT(files, 10);
}

// Every input, whatever corpus it came from, through the EPUB readers: nothing named
// outside the archive.
TEST(FuzzCorpus, EpubReadersNameNothingOutsideTheArchive)
{
    ScopedProgramHome home;
    int epubFiles = 0;
    QDirIterator it(QStringLiteral(PARLO_FUZZ_CORPUS), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QByteArray bytes = readBytes(path);
        EXPECT_TRUE(EpubChecks::check(bytes)) << qPrintable(path);
        EpubChecks::readAsBook(bytes);
        epubFiles += path.contains(QLatin1String("/epub/"));
    }
    EXPECT_GE(epubFiles, 5);
}
