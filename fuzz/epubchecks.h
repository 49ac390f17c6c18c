#pragma once

// What must hold for the EPUB package and navigation readers on any bytes: no crash, and
// every member they name lies inside the archive. Shared by the fuzz target and the test
// that replays its corpus.
#include "text/epub.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <cstdlib>

namespace EpubChecks {

inline bool insideArchive(const QString& member)
{
    if (member.startsWith(u'/') || member.contains(u'\\'))
        return false;
    for (const QStringView part : QStringView(member).split(u'/')) {
        if (part.isEmpty() || part == u"." || part == u"..")
            return false;
    }
    return true;
}

// Runs every reader on the bytes; false when one of them named a member outside.
inline bool check(const QByteArray& bytes)
{
    const QString opf = QStringLiteral("OEBPS/content.opf");
    bool ok = true;
    auto inside = [&](const QString& member) { ok = ok && insideArchive(member); };
    const QString rootfile = cEpubBook::containerRootfile(bytes);
    if (!rootfile.isEmpty() && !cEpubBook::resolve({}, rootfile).isEmpty())
        inside(cEpubBook::resolve({}, rootfile));
    cEpubPackage package;
    if (cEpubBook::parsePackage(bytes, opf, package)) {
        for (const QString& member : std::as_const(package.spine)) {
            // An outside reference stays as "" for open() to refuse the book.
            if (!member.isEmpty())
                inside(member);
        }
    }
    for (const QString& member : {package.navMember, package.ncxMember}) {
        if (!member.isEmpty())
            inside(member);
    }
    for (const auto& list : {cEpubBook::parseNav(bytes, QStringLiteral("OEBPS/nav.xhtml")),
                             cEpubBook::parseNcx(bytes, QStringLiteral("OEBPS/toc.ncx"))}) {
        for (const cEpubTocEntry& entry : list)
            inside(entry.member);
    }
    for (const QString& member : cEpubBook::encryptedMembers(bytes))
        inside(member);
    return ok;
}

// Bytes that begin like a zip archive are opened as a book too, through libzip and the
// unpacking of its documents: nothing may crash, whatever the archive claims.
inline void readAsBook(const QByteArray& bytes)
{
    if (!bytes.startsWith("PK"))
        return;
    const QString path =
        QDir::tempPath() +
        QStringLiteral("/parlo-fuzz-%1.epub").arg(QCoreApplication::applicationPid());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return;
    file.close();
    cEpubBook book;
    QStringList markup;
    if (book.open(path))
        book.documents(markup);
    QFile::remove(path);
}

inline int fuzz(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!check(bytes))
        std::abort();
    readAsBook(bytes);
    return 0;
}

} // namespace EpubChecks
