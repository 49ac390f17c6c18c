// What the reader window's benchmarks share: the books they read and small steps.
#pragma once

#include <QByteArray>
#include <QEventLoop>
#include <QFile>
#include <QString>
#include <QTimer>

namespace readerbench {

inline const char* const kTextBook = "/work/shared/corpus/books/2600-0.txt";

inline QByteArray fileOr(const char* path, const QByteArray& standIn)
{
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : standIn;
}

// War and Peace when the corpus is there, made-up paragraphs up to 3 MB otherwise.
inline QByteArray threeMegabyteBook()
{
    QByteArray book = fileOr(kTextBook, {});
    const QByteArray paragraph =
        "It was a bright cold day in the country, and the travellers went on. They spoke of "
        "the harvest, of the weather, and of the war! Who could say what would come?\r\n\r\n";
    while (book.size() < 3000000)
        book += paragraph;
    return book;
}

inline void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// Lets events run for a while.
inline void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace readerbench
