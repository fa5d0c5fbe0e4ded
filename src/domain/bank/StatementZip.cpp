#include "domain/bank/StatementZip.h"

#include <zip.h>

#include <QSet>
#include <memory>

namespace gd {
namespace {

// A download holds days or months of statements; more is no statement but a zip bomb.
constexpr zip_uint64_t kMostFiles = 2000;
constexpr zip_uint64_t kMostFileBytes = kMostCamtBytes;
constexpr zip_uint64_t kMostTotalBytes = 32 * 1024 * 1024;  // a year of daily files is a few MB

Error unreadable(const QString& why) {
    return Error::plain(QStringLiteral("Die ZIP-Datei des Kontoauszugs kann nicht gelesen werden: %1").arg(why));
}

// The credit's identity: the bank's reference where it gives one, else what the entry says.
QString identity(const Credit& c) {
    if (!c.Referenz.isEmpty()) return QStringLiteral("R:") + c.Referenz;
    return QStringLiteral("%1|%2|%3|%4").arg(c.Buchungstag.toString(Qt::ISODate)).arg(c.Cent).arg(c.Name, c.Zweck);
}

}  // namespace

Result<BankStatement> parseStatementZip(const QByteArray& bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &error);
    if (!source) return unreadable(QString::fromLocal8Bit(zip_error_strerror(&error)));
    zip_t* raw = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!raw) {
        zip_source_free(source);
        const QString why = QString::fromLocal8Bit(zip_error_strerror(&error));
        zip_error_fini(&error);
        return unreadable(why);
    }
    const std::unique_ptr<zip_t, decltype(&zip_discard)> archive(raw, &zip_discard);
    const zip_int64_t count = zip_get_num_entries(raw, 0);
    if (count < 0 || zip_uint64_t(count) > kMostFiles)
        return unreadable(QStringLiteral("sie enthält mehr als %1 Dateien").arg(kMostFiles));
    BankStatement all;
    QSet<QString> seen;
    zip_uint64_t total = 0;
    int files = 0;
    for (zip_uint64_t i = 0; i < zip_uint64_t(count); ++i) {
        zip_stat_t st;
        if (zip_stat_index(raw, i, 0, &st) != 0) return unreadable(QString::fromLocal8Bit(zip_strerror(raw)));
        const QString name = QString::fromUtf8(st.name);
        if (name.endsWith(QLatin1Char('/')) || !name.endsWith(QStringLiteral(".xml"), Qt::CaseInsensitive)) continue;
        // The sizes the archive claims are checked before anything is unpacked, and again while reading.
        if (!(st.valid & ZIP_STAT_SIZE) || st.size > kMostFileBytes || (total += st.size) > kMostTotalBytes)
            return unreadable(QStringLiteral("„%1“ ist zu groß für einen Kontoauszug").arg(name));
        std::unique_ptr<zip_file_t, decltype(&zip_fclose)> f(zip_fopen_index(raw, i, 0), &zip_fclose);
        if (!f) return unreadable(QStringLiteral("„%1“: %2").arg(name, QString::fromLocal8Bit(zip_strerror(raw))));
        QByteArray xml(qsizetype(st.size), Qt::Uninitialized);
        const zip_int64_t got = zip_fread(f.get(), xml.data(), st.size);
        char extra = 0;
        if (got != zip_int64_t(st.size) || zip_fread(f.get(), &extra, 1) != 0)
            return unreadable(QStringLiteral("„%1“ ist beschädigt").arg(name));
        const Result<BankStatement> one = parseCamt053(xml);
        if (!one.ok()) return unreadable(QStringLiteral("„%1“: %2").arg(name, one.error().sentence));
        ++files;
        for (const Credit& c : one.value().Gutschriften)
            if (!seen.contains(identity(c))) {
                seen.insert(identity(c));
                all.Gutschriften << c;
            }
        // Money taken back counts as much as money received: a return in a later day's file is kept too.
        for (const Credit& c : one.value().Rueckbuchungen)
            if (!seen.contains(QStringLiteral("-") + identity(c))) {
                seen.insert(QStringLiteral("-") + identity(c));
                all.Rueckbuchungen << c;
            }
        for (const Credit& c : one.value().Ausgaenge)
            if (!seen.contains(QStringLiteral(">") + identity(c))) {
                seen.insert(QStringLiteral(">") + identity(c));
                all.Ausgaenge << c;
            }
        for (BankStatement::Skipped s : one.value().NichtGelesen) {
            s.Grund = name + QStringLiteral(": ") + s.Grund;
            all.NichtGelesen << s;
        }
        if (all.Gutschriften.size() + all.Rueckbuchungen.size() + all.NichtGelesen.size() > kMostEntries)
            return unreadable(
                QStringLiteral("sie enthält mehr als 100.000 Buchungen; bitte laden Sie einen kürzeren "
                               "Zeitraum herunter"));
        all.Lastschriften += one.value().Lastschriften;
        all.Vorgemerkt += one.value().Vorgemerkt;
    }
    if (files == 0) return unreadable(QStringLiteral("sie enthält keine XML-Datei"));
    all.Format = QStringLiteral("CAMT (ZIP, %1 Dateien)").arg(files);
    return all;
}

}  // namespace gd
