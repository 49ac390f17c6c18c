#include "app/cataloguecommand.h"

#include "library/catalogue.h"

#include <QByteArray>

#include <cstdio>
#include <unistd.h>

namespace {

// Stage texts on stderr; on a terminal the index's progress redraws one bar.
class TerminalReport : public cCatalogueReport {
public:
    void status(const QString& text) override
    {
        endBar();
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    void lineStatus(const QString& text, int line, int lineCount) override
    {
        if (!m_terminal || lineCount <= 0)
            return;
        const int width = 40;
        const int filled = int(qint64(line) * width / lineCount);
        std::fprintf(stderr, "\r[%s%s] %3d%%  %s", QByteArray(filled, '#').constData(),
                     QByteArray(width - filled, '-').constData(),
                     int(qint64(line) * 100 / lineCount), qPrintable(text));
        std::fflush(stderr);
        m_barShown = true;
    }
    void message(const QString& text) override
    {
        endBar();
        std::fprintf(stderr, "parlo: %s\n", qPrintable(text));
        m_messageShown = true;
    }
    void busyPointer(bool) override {}

    bool messageShown() const { return m_messageShown; }

private:
    void endBar()
    {
        if (m_barShown)
            std::fputc('\n', stderr);
        m_barShown = false;
    }
    const bool m_terminal = isatty(fileno(stderr)) != 0;
    bool m_barShown = false;
    bool m_messageShown = false;
};

int cannotWrite(const cCatalogueBuilder& builder, const QString& name)
{
    std::fprintf(stderr, "parlo: cannot write %s\n", qPrintable(builder.fileNamed(name)));
    return 1;
}

} // namespace

namespace CatalogueCommand {

int build()
{
    TerminalReport report;
    cCatalogueBuilder builder(report);
    int records = -1;
    // Today's catalogue stands in for a mirror's listing only where there is no listing.
    if (!builder.hasFile(cCatalogueBuilder::kListing) && builder.hasFile(cCatalogueBuilder::kCsv)) {
        records = builder.ParsePgCatalog();
        if (builder.skippedRecords() > 0)
            std::fprintf(stderr, "parlo: %d records of %s could not be read and were left out\n",
                         builder.skippedRecords(), qPrintable(cCatalogueBuilder::kCsv));
        if (records < 0)
            return report.messageShown() ? 1 : cannotWrite(builder, cCatalogueBuilder::kCatalogue);
    } else {
        // As the library window enables Regen Catalogue only when both sources are there.
        if (!builder.hasFile(cCatalogueBuilder::kListing) ||
            !builder.hasFile(cCatalogueBuilder::kIndex)) {
            report.message(QStringLiteral("Cannot create catalog. Please download and try again."));
            return 1;
        }
        if (!builder.ParseLSLR())
            return cannotWrite(builder, cCatalogueBuilder::kFileList);
        records = builder.ParseGutindexAll();
        if (records < 0)
            return report.messageShown() ? 1 : cannotWrite(builder, cCatalogueBuilder::kCatalogue);
    }
    if (builder.hasFile(cCatalogueBuilder::kAustralian)) {
        const int australian = builder.ParsePGAustralia();
        if (australian < 0)
            return cannotWrite(builder, cCatalogueBuilder::kCatalogue);
        records += australian;
    }
    std::printf("%d\n", records);
    return 0;
}

} // namespace CatalogueCommand
