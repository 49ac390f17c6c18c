#include "mirror.h"

#include "settings/settings.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <zip.h>

const QByteArray LoopbackMirror::kBookText =
    "Great Expectations.\r\n\r\nMy father's family name being Pirrip, and my Christian name "
    "Philip, my infant tongue could make of both names nothing longer or more explicit than "
    "Pip. So, I called myself Pip, and came to be called Pip.\r\n";

const QByteArray LoopbackMirror::kSiteCsv =
    "Text#,Type,Issued,Title,Language,Authors,Subjects,LoCC,Bookshelves\n"
    "1400,Text,1998-07-01,Great Expectations,en,\"Dickens, Charles, 1812-1870\",England -- "
    "Fiction,PR,\n"
    "10,Sound,1999-12-01,The King James Version of the Bible,en,,Bible,BS,\n"
    "2600,Text,2001-04-01,\"War and\nPeace\",en,\"Tolstoy, Leo, graf, 1828-1910\",,PG,\n"
    "55,Text,2000-01-01,A record with too few fields,en\n";

LoopbackMirror::LoopbackMirror()
{
    put(QStringLiteral("dirs/ls-R"), ".:\n1\n\n"
                                     "./1/4/0/1400:\n1400.txt\n1400.zip\n\n"
                                     "./1/4/0/1402:\n1402.txt\n\n"
                                     "./1/4/0/1403:\n1403.txt\n\n");
    put(QStringLiteral("dirs/GUTINDEX.ALL"),
        "An index for the tests\r\n"
        "<==Start GUTINDEX.ALL listings==>\r\n"
        "Great Expectations, by Charles Dickens                 1400\r\n"
        "A Book the Server Lost, by Nobody                      1402\r\n"
        "A Page in Place of a Book, by Some Server              1403\r\n");
    put(QStringLiteral("au/catalogue.txt"),
        "<pre>\r\n"
        "ebooks01,0100011,txt,Anne of Windy Poplars, by L. M. Montgomery\r\n"
        "ebooks02,0200021,html,The Salzburg Tales, by Christina Stead\r\n"
        "</pre>\r\n");
    put(QStringLiteral("dirs/1/4/0/1400/1400.txt"), kBookText);
    put(QStringLiteral("dirs/1/4/0/1400/1400.zip"),
        zipOf({{QStringLiteral("1400/readme.htm"), "<html>not the book</html>"},
               {QStringLiteral("1400/1400.txt"), kBookText}}));
    QByteArray page = "<html><head><title>Not here</title></head><body><p>Sorry, ";
    page += QByteArray(300 - page.size() - 22, 'x');
    page += "</p></body></html>\r\n";
    put(QStringLiteral("dirs/1/4/0/1403/1403.txt"), page);

    const QStringList arguments = {QStringLiteral(PARLO_TEST_MIRROR), m_dir.path()};
    if (m_process.start(QStringLiteral(PARLO_TEST_PYTHON), arguments,
                        [](const QString&) { return true; }))
        m_port = m_process.firstLine().toInt();
}

QString LoopbackMirror::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

void LoopbackMirror::put(const QString& path, const QByteArray& bytes)
{
    const QString file = m_dir.filePath(path);
    QDir().mkpath(QFileInfo(file).path());
    writeBytes(file, bytes);
}

void LoopbackMirror::remove(const QString& path)
{
    QFile::remove(m_dir.filePath(path));
}

QStringList LoopbackMirror::requests() const
{
    return QString::fromUtf8(readBytes(m_dir.filePath(QStringLiteral("requests.log"))))
        .split(u'\n', Qt::SkipEmptyParts);
}

void LoopbackMirror::setModified(const QString& path, const QDateTime& time)
{
    QFile file(m_dir.filePath(path));
    if (file.open(QIODevice::ReadWrite))
        file.setFileTime(time, QFileDevice::FileModificationTime);
}

void LoopbackMirror::useInSettings() const
{
    auto& settings = cSHAREDSettings::shared();
    settings.sSet(QStringLiteral("GutenCatalogURL2"), dirsUrl());
    settings.sSet(QStringLiteral("GutenDownloadPath2"), dirsUrl());
    settings.sSet(QStringLiteral("GutenAustraliaURL"), australiaUrl());
    settings.sSet(QStringLiteral("GutenCSVURL"), csvUrl());
}

void LoopbackMirror::serveCsvSite(const QByteArray& csv)
{
    remove(QStringLiteral("dirs/ls-R"));
    put(QStringLiteral("cache/epub/feeds/pg_catalog.csv"), csv);
    put(QStringLiteral("cache/epub/1400/pg1400.txt"), kBookText);
}

QByteArray zipOf(const QList<std::pair<QString, QByteArray>>& members)
{
    QTemporaryFile file;
    if (!file.open())
        return {};
    const QByteArray name = file.fileName().toLocal8Bit();
    file.close();
    int error = 0;
    zip_t* archive = zip_open(name.constData(), ZIP_TRUNCATE | ZIP_CREATE, &error);
    if (!archive)
        return {};
    for (const auto& [member, content] : members) {
        zip_source_t* source =
            zip_source_buffer(archive, content.constData(), zip_uint64_t(content.size()), 0);
        zip_file_add(archive, member.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
    }
    zip_close(archive);
    return readBytes(file.fileName());
}
