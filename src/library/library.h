#pragma once

#include "library/booklist.h"
#include "library/catalogue.h"
#include "net/fSHAREDInternet.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

// What the library shows the user; the library window draws it, the command line prints it.
class cLibraryView {
public:
    virtual ~cLibraryView() = default;
    virtual void status(const QString& text) = 0;
    // 0 to 100; kProgressBusy while the end is unknown; kProgressOff when no work runs.
    virtual void progress(int percent) { Q_UNUSED(percent); }
    static constexpr int kProgressBusy = -1;
    static constexpr int kProgressOff = -2;
    // A message box with an OK button (the text is already translated).
    virtual void message(const QString& text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool askYesNo(const QString& text) = 0;
    virtual void busyPointer(bool busy) { Q_UNUSED(busy); }
    virtual void letEventsRun();
    // The library changed the text fields (a corrected folder, the defaults).
    virtual void fieldsChanged() {}
    // The list was reloaded from the catalogue.
    virtual void catalogueLoaded() {}
    // FileToLoad is set and the settings stored: the window hides, returning to the reader.
    virtual void bookReady(const QString& file) { Q_UNUSED(file); }
};

// The library's work without its window: the catalogue list and its searches, the
// settings, the catalogue chain (ls-R, GUTINDEX.ALL, the Australian catalogue, then a
// rebuild) and the download of one book with its unpacking, friendly name and hand-over.
// Transfers go through the download window, one at a time; Timer1 moves the chain on.
class cLibrary : public QObject {
    Q_OBJECT
public:
    // The texts of the window's fields, which the window and the library share.
    struct Fields {
        QString title = QStringLiteral("-");    // lblTitle
        QString url = QStringLiteral("-");      // txtUrl
        QString filename = QStringLiteral("-"); // lblFilename
        QString downloadPath;                   // txtDownloadPath
        QString catalogURL;                     // txtCatalogURL
        QString dlSource;                       // txtDLSource
    };

    static const QString kDefaultURL;
    static const QString kDefaultAustraliaURL;

    explicit cLibrary(cLibraryView& view, QObject* parent = nullptr);
    ~cLibrary() override;

    Fields fields;
    cBookList& books() { return m_books; }
    QString FileToLoad() const { return m_fileToLoad; }
    QString captionText() const { return m_caption; }
    QString catalogueDateText() const { return m_catalogueDate; }
    int DownloadStage() const { return m_stage; }
    QString LocalFile() const { return m_localFile; }
    QString FriendlyName() const { return m_friendlyName; }
    bool busy() const { return Timer1.isActive() || m_inetForm; }

    void ReadSettings();
    void StoreSettings();
    // Where pg_catalog.csv comes from: the catalogue URL when it names the CSV, else the
    // setting GutenCSVURL.
    QString csvUrl() const;
    // Whether both source files, or the CSV, are there, so the catalogue can be rebuilt.
    bool CheckSourceFiles() const;
    // Fills the list from GutIndex.txt; false (after the message) when there is none.
    bool LoadCatalogue(bool quiet = false);
    void ShowBookInfo(int row);
    // The download address of a catalogue path: under the Australian site for a
    // "*PG-OZ*" title, under the root of the CSV's site for a path the CSV gave, else under
    // the download source.
    QString bookUrl(const QString& path, const QString& title) const;
    // Find from the top and Next after a row: the row found, -1 when none.
    int Find(const QString& text);
    int FindNext(const QString& text, int selectedRow);
    void ResetToDefaults();
    void cmdRegenCatalogue_Click();
    // Runs the parsers over the sources in the program folder and reloads the list: the
    // number of records written, -1 when no catalogue came of it.
    int rebuildCatalogue();

    void cmdUpdateCat_Click();
    void cmdDownload_Click(bool readAfterDownload);
    // Stops the transfer under way; it ends as a failure.
    void cancelDownload();

    // The name a book gets: its own file's root, " - " and the title made safe for a file
    // name, at most 200 bytes in all.
    static QString friendlyName(const QString& bookFileName, const QString& title);
    // Tests move the chain on faster than once a second.
    static void setTimerIntervalForTests(int ms);

Q_SIGNALS:
    // The catalogue chain ended: the records of the new catalogue, or -1.
    void chainFinished(int records);
    // A book download ended; file is where the book is when ok.
    void bookFinished(bool ok, const QString& file);

private:
    class Report;
    void Timer1_Timer();
    void DownloadAndUnpack(bool getSize);
    void DownloadFile(bool getSize);
    void downloadCsv();
    bool isChainStage() const { return (m_stage >= 1 && m_stage <= 3) || m_stage == kCsvStage; }
    static constexpr int kCsvStage = 5;
    fSHAREDInternet* inetForm();
    void InetForm_Status(const QString& message);
    void InetForm_DownloadFinished();
    void InetForm_DownloadError(const QString& message);
    void InetForm_Progress(float percent);
    void DownloadCompleted();
    bool isErrorPage(const QString& file) const;
    void Unzip(const QString& file, const QString& folder);
    void nameTheBook();
    QString translate(const QString& text) const;
    QString programFile(const QString& name) const;

    cLibraryView& m_view;
    cBookList m_books;
    QTimer Timer1;
    QPointer<fSHAREDInternet> m_inetForm;
    QString m_fileToLoad;
    QString m_caption;
    QString m_catalogueDate;
    bool DownloadDone = false;
    bool DownloadFailed = false;
    bool UnzipOK = false;
    QString m_localFile;
    QString DownloadURL;
    QString BookFolder;
    bool ReadAfterDownload = false;
    QString m_friendlyName;
    QString BookFileName;
    // 1 to 3 the described chain, 4 a book, 5 the CSV in place of the listing.
    int m_stage = 0;
    int m_lastStatus = 0; // the HTTP status of the last failed transfer
    bool IncludeAustralia = false;
    bool m_csvUnchanged = false; // the site answered that its CSV is the one we have
    QStringList m_unpacked;      // the members of the last archive, relative to BookFolder
};
