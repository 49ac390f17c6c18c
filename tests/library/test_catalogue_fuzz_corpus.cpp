// The catalogue fuzz targets' corpora, crashes found earlier among them, go through the
// parsers again with the same checks.
#include "cataloguechecks.h"

#include "testsupport.h"

#include <QDirIterator>

#include <gtest/gtest.h>

namespace {

int replay(const QString& folder, QString (*check)(const QByteArray&))
{
    int files = 0;
    QDirIterator it(QStringLiteral(PARLO_FUZZ_CORPUS "/") + folder, QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        EXPECT_EQ(check(readBytes(path)), QString()) << qPrintable(path);
        ++files;
    }
    return files;
}

} // namespace

TEST(CatalogueFuzzCorpus, EveryInputPassesTheChecks)
{
    EXPECT_GE(replay("lslr", CatalogueChecks::checkListing), 3);
    EXPECT_GE(replay("gutindex", CatalogueChecks::checkIndex), 3);
    EXPECT_GE(replay("pgaustralia", CatalogueChecks::checkAustralian), 3);
    EXPECT_GE(replay("pgcsv", CatalogueChecks::checkCsv), 3);
}
