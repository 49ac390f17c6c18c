#pragma once

// Small EPUB books written with libzip, for the tests and the benchmark.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <zip.h>

#include <algorithm>
#include <cstring>

using ZipMembers = QList<QPair<QString, QByteArray>>;

// A member of `size` zero bytes made as libzip packs it, never held in memory whole: the
// bomb of a zip bomb.
struct ZeroSource {
    zip_uint64_t size = 0;
    zip_uint64_t left = 0;
    static zip_int64_t callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t cmd)
    {
        auto* self = static_cast<ZeroSource*>(state);
        switch (cmd) {
        case ZIP_SOURCE_OPEN:
            self->left = self->size;
            return 0;
        case ZIP_SOURCE_READ: {
            const zip_uint64_t n = std::min(length, self->left);
            std::memset(data, 0, n);
            self->left -= n;
            return zip_int64_t(n);
        }
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->size = self->size;
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR: {
            int* codes = static_cast<int*>(data);
            codes[0] = codes[1] = 0;
            return 2 * sizeof(int);
        }
        case ZIP_SOURCE_FREE:
            delete self;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                  ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            return -1;
        }
    }
};

// Writes the members in the order given (a first "mimetype" stored, as books do). False
// when libzip refuses.
inline bool writeZip(const QString& path, const ZipMembers& members,
                     const QList<QPair<QString, qint64>>& zeroMembers = {})
{
    QFile::remove(path);
    int error = 0;
    zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return false;
    for (const auto& [name, bytes] : members) {
        zip_source_t* source =
            zip_source_buffer(zip, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        const zip_int64_t index =
            source ? zip_file_add(zip, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            zip_source_free(source);
            zip_discard(zip);
            return false;
        }
        if (name == QLatin1String("mimetype"))
            zip_set_file_compression(zip, zip_uint64_t(index), ZIP_CM_STORE, 0);
    }
    for (const auto& [name, size] : zeroMembers) {
        zip_source_t* source =
            zip_source_function(zip, &ZeroSource::callback, new ZeroSource{zip_uint64_t(size), 0});
        if (!source || zip_file_add(zip, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            zip_discard(zip);
            return false;
        }
    }
    return zip_close(zip) == 0;
}

inline QByteArray epubContainer(const QString& opf = QStringLiteral("OEBPS/content.opf"))
{
    return QStringLiteral(
               "<?xml version=\"1.0\"?>\n<container version=\"1.0\" "
               "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
               "<rootfile full-path=\"%1\" media-type=\"application/oebps-package+xml\"/>"
               "</rootfiles></container>")
        .arg(opf)
        .toUtf8();
}

inline QByteArray xhtmlChapter(const QString& heading, const QString& body)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<html "
                          "xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>%1</title></head>"
                          "<body><h2 id=\"h\">%1</h2>\n<p>%2</p></body></html>")
        .arg(heading, body)
        .toUtf8();
}

// A package document: manifest of (id, href, media type, properties), spine of ids.
struct OpfItem {
    QString id, href, type, properties;
};
inline QByteArray epubPackage(const QList<OpfItem>& items, const QStringList& spine,
                              const QString& tocId = {})
{
    QString xml = QStringLiteral("<?xml version=\"1.0\"?>\n<package xmlns=\"http://www.idpf.org/"
                                 "2007/opf\" version=\"3.0\"><metadata/><manifest>");
    for (const OpfItem& i : items)
        xml += QStringLiteral("<item id=\"%1\" href=\"%2\" media-type=\"%3\"%4/>")
                   .arg(i.id, i.href, i.type,
                        i.properties.isEmpty()
                            ? QString()
                            : QStringLiteral(" properties=\"%1\"").arg(i.properties));
    xml += tocId.isEmpty() ? QStringLiteral("</manifest><spine>")
                           : QStringLiteral("</manifest><spine toc=\"%1\">").arg(tocId);
    for (const QString& id : spine)
        xml += QStringLiteral("<itemref idref=\"%1\"/>").arg(id);
    return (xml + QStringLiteral("</spine></package>")).toUtf8();
}
