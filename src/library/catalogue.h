#pragma once

#include "library/pgcatalogue.h"

#include <QByteArray>
#include <QList>
#include <QString>

// How the catalogue builder speaks to whoever runs it: the library window shows the texts
// in its status line and message boxes, the command line on standard error.
class cCatalogueReport {
public:
    virtual ~cCatalogueReport() = default;
    // A stage's status text ("Recreating catalogue", "Catalogue created").
    virtual void status(const QString& text) = 0;
    // "Line n of m" while the index is read, every 50 lines.
    virtual void lineStatus(const QString& text, int line, int lineCount)
    {
        Q_UNUSED(line);
        Q_UNUSED(lineCount);
        status(text);
    }
    // A message box with only an OK button.
    virtual void message(const QString& text) = 0;
    // The busy pointer on (true) or back to normal (false).
    virtual void busyPointer(bool busy) = 0;
    // Let pending window events run, so a window stays live during a build.
    virtual void letEventsRun() {}
};

// Builds the local catalogue GutIndex.txt from the source files in a folder (the program
// folder unless told otherwise). File names match without regard to letter case. Each
// parser keeps nothing between calls; everything lives in the files.
class cCatalogueBuilder {
public:
    static const QString kListing;    // ls-R
    static const QString kFileList;   // GutFiles.txt
    static const QString kIndex;      // GUTINDEX.ALL
    static const QString kAustralian; // catalogue.txt
    static const QString kCatalogue;  // GutIndex.txt
    static const QString kCsv;        // pg_catalog.csv
    static const QString kBooks;      // GutBooks.txt, the richer catalogue

    explicit cCatalogueBuilder(cCatalogueReport& report, const QString& folder = {});

    // ls-R to GutFiles.txt. False when there is no listing or the list could not be written.
    bool ParseLSLR();
    // GutFiles.txt and GUTINDEX.ALL to GutIndex.txt: the number of records written, or -1
    // when no catalogue was written (no index, no file list, or a failed write).
    int ParseGutindexAll();
    // catalogue.txt appended to GutIndex.txt: the number of records added, or -1.
    int ParsePGAustralia();
    // pg_catalog.csv to GutIndex.txt and GutBooks.txt: the number of books written, or -1
    // when no catalogue was written (no CSV, none of its records usable, a failed write).
    // Records that could not be read are counted in skippedRecords().
    int ParsePgCatalog();
    int skippedRecords() const { return m_skipped; }
    // The books of GutBooks.txt, for the columns GutIndex.txt lacks; none when there is no
    // such file. Match them to the catalogue's lines by path: a file left from an earlier
    // build from the CSV names none of the paths of a catalogue built from a listing.
    QList<PgCatalogue::Book> LoadBookDetails() const;

    // The path of the file called name in the folder, in whatever letter case it has there;
    // the name as given when there is no such file.
    QString fileNamed(const QString& name) const;
    bool hasFile(const QString& name) const;

private:
    bool read(const QString& name, QByteArray& bytes, const QString& procedure) const;
    bool write(const QString& name, const QByteArray& bytes, const QString& procedure) const;

    cCatalogueReport& m_report;
    QString m_folder;
    int m_skipped = 0;
};
