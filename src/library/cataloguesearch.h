#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Finding books as a user types: letter case and accents do not count, so "tolstoi" finds
// "TOLSTOÏ" and "bronte" finds "Brontë". Pure functions; a window folds its rows once and
// folds only the query on each keystroke.
namespace CatalogueSearch {

// The text as searches compare it: case-folded, accents and other combining marks removed,
// letters such as ß, æ, ø written out in plain letters, every run of blanks one space.
QString fold(QStringView text);
// The same appended to folded, for many texts folded into one buffer.
void foldAppend(QString& folded, QStringView text);

// The folded words of what the user typed; none for blanks alone.
QStringList queryWords(QStringView query);

// Whether every word occurs in the folded title or the folded author (either may hold each
// word). No words match everything.
bool matchesFolded(const QStringList& words, QStringView foldedTitle, QStringView foldedAuthor);
bool matches(QStringView query, QStringView title, QStringView author);

// Whether a book's language codes ("en", or several as "en; fr") include code, letter case
// ignored. An empty code stands for all languages.
bool hasLanguage(QStringView languages, QStringView code);

} // namespace CatalogueSearch
