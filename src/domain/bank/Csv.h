#pragma once
// The text files banks and platforms export: their encoding recognised, their records split.

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include "base/Result.h"

namespace gd {

// UTF-8 (with or without BOM), UTF-16 (by BOM or by its NULs), else Windows-1252.
QString decoded(const QByteArray& bytes);

// A statement or report: a year of a busy seller's payments is a few MB and up to 250,000
// fields; what is larger is refused before it is split, each field and row costing tens of bytes.
inline constexpr qsizetype kMostTableBytes = 16 * 1024 * 1024;
inline constexpr qsizetype kMostTableFields = 300000;
// The decoded text of such a file, or the German refusal when it is beyond those bounds.
Result<QString> decodedTable(const QByteArray& bytes);

struct CsvRecord {
    QStringList fields;
    int line = 0;       // where the record starts, 1-based
    int openQuote = 0;  // where a field whose quote never closed starts: the record ends the file and lacks that field
};

// Records of separated fields; quotes may hold separators, doubled quotes and line breaks.
// Records whose fields are all blank are left out.
QList<CsvRecord> csvRecords(const QString& text, QChar separator = QLatin1Char(';'));

// "01.12.2026", "01.12.26", and ISO "2026-12-01"; invalid for anything else.
QDate germanDate(const QString& s);

// The column of the first of the names the header has (any case), -1 for none.
int column(const QStringList& header, const QStringList& names);

}  // namespace gd
