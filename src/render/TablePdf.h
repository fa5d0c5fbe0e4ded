#pragma once
// A table of figures as an A4 PDF (landscape): the yearly overview for the files.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace gd {

// The first row is the heading; columns from the third on are figures, set to the right.
QByteArray tablePdf(const QString& title, const QString& note, const QList<QStringList>& rows);

}  // namespace gd
