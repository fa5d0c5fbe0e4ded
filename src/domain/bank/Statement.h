#pragma once
// The credits of a bank statement the user downloaded: a CAMT.053 file (ISO 20022)
// or a bank's CSV export (semicolon, decimal comma, Windows-1252 or UTF-8).

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <optional>

#include "base/Result.h"

namespace gd {

struct Credit {
    QDate Buchungstag;
    qint64 Cent = 0;
    QString Name;  // who paid
    QString Zweck;  // the reference the payer typed
    QString Iban;
};

struct BankStatement {
    QString Format;  // "CAMT.053", "CSV"
    QList<Credit> Gutschriften;
};

// By content: XML is read as CAMT.053, anything else as CSV. Only booked credits in euro.
Result<BankStatement> readStatement(const QString& path);
Result<BankStatement> parseStatement(const QByteArray& bytes);
Result<QList<Credit>> parseCamt053(const QByteArray& xml);
Result<QList<Credit>> parseBankCsv(const QByteArray& bytes);

// "1.234,56", "-12,5", "17.40" (a point with two decimals and no comma) to cents.
std::optional<qint64> centsOf(const QString& text);
// "17,40 €"
QString euroText(qint64 cents);

}  // namespace gd
