#include "render/InvoicePdf.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>

#include "base/Money.h"
#include "base/SafeWrite.h"
#include "domain/bank/GiroCode.h"
#include "domain/bank/Statement.h"
#include "domain/invoice/EInvoice.h"
#include "render/HybridPdf.h"

namespace gd {

QImage qrImage(const QByteArray& payload, int module) {
    const QrMatrix m = qrMatrix(payload);
    if (m.isNull() || module < 1) return {};
    constexpr int kQuiet = 4;
    const int side = (m.width + 2 * kQuiet) * module;
    QImage img(side, side, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    for (int y = 0; y < m.width; ++y)
        for (int x = 0; x < m.width; ++x)
            if (m.at(x, y)) p.fillRect((x + kQuiet) * module, (y + kQuiet) * module, module, module, Qt::black);
    return img;
}

QByteArray qrPng(const QByteArray& payload, int module) {
    const QImage img = qrImage(payload, module);
    if (img.isNull()) return {};
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    return img.save(&buf, "PNG") ? out : QByteArray();
}

Result<QByteArray> invoicePdf(const Invoice& inv, const QByteArray& xml) {
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buf);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    pdf.setResolution(300);
    // An e-invoice's page is PDF/A (fonts embedded, colours with a profile), made part 3 below.
    if (inv.ERechnung) pdf.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
    pdf.setTitle(
        (inv.isCancellation() ? QStringLiteral("Stornorechnung %1") : QStringLiteral("Rechnung %1")).arg(inv.Nummer));
    pdf.setCreator(QStringLiteral("Gaveldesk"));
    QPainter p(&pdf);
    // Said with its cause: "could not be set" alone leaves the user nothing to do.
    const auto failed = [](const QString& why) {
        return Error{QStringLiteral("Die Rechnung konnte nicht gesetzt werden:"), 0, why};
    };
    if (!p.isActive()) return failed(QStringLiteral("Die PDF-Seite lässt sich nicht anlegen."));
    const auto mm = [](double v) { return int(std::lround(v * 300.0 / 25.4)); };
    // DejaVu where the system has it (Linux); Windows has Arial, whose licence lets a PDF embed it.
    QFont body;
    body.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
    body.setPointSizeF(10);
    // No ligatures: a buyer who copies "Kaffeemühle" from the page gets those letters.
    body.setStyleStrategy(QFont::PreferNoShaping);
    QFont small = body, bold = body;
    small.setPointSizeF(7.5);
    bold.setBold(true);
    QFont title = bold;
    title.setPointSizeF(16);
    // Text on a base line at y mm; with a width, aligned in that box.
    const auto text = [&](double x, double y, const QString& s, const QFont& f, Qt::Alignment align = Qt::AlignLeft,
                          double width = 0) {
        p.setFont(f);
        if (width <= 0) {
            p.drawText(mm(x), mm(y), s);
            return;
        }
        // The box starts one ascent above the base line, so aligned text sits on the same line.
        const QFontMetrics m(f, &pdf);
        p.drawText(QRect(mm(x), mm(y) - m.ascent(), mm(width), m.height()), int(align | Qt::AlignTop), s);
    };
    // The sender line above the envelope's window, the buyer's address in it.
    QStringList sender{inv.Verkaeufer};
    sender << inv.VerkaeuferAnschrift;
    text(20, 47, sender.join(QStringLiteral(" · ")), small);
    double y = 55;
    QStringList to = inv.Kaeufer;
    if (!inv.KaeuferFirma.isEmpty()) to.prepend(inv.KaeuferFirma);
    for (const QString& l : to) {
        text(20, y, l, body);
        y += 5;
    }
    double ry = 30;
    QStringList right{inv.Verkaeufer};
    right << inv.VerkaeuferAnschrift;
    if (!inv.VerkaeuferEmail.isEmpty()) right << inv.VerkaeuferEmail;
    if (!inv.UstId.isEmpty()) right << QStringLiteral("USt-IdNr.: %1").arg(inv.UstId);
    if (!inv.Steuernummer.isEmpty()) right << QStringLiteral("Steuernummer: %1").arg(inv.Steuernummer);
    for (int i = 0; i < right.size(); ++i, ry += 5) text(125, ry, right[i], i == 0 ? bold : body);
    ry += 5;
    text(125, ry, QStringLiteral("Rechnungsnummer: %1").arg(inv.Nummer), body);
    text(125, ry + 5, QStringLiteral("Rechnungsdatum: %1").arg(inv.Datum.toString(QStringLiteral("dd.MM.yyyy"))), body);
    if (inv.Lieferdatum.isValid()) {
        text(125, ry + 10,
             QStringLiteral("Lieferdatum: %1").arg(inv.Lieferdatum.toString(QStringLiteral("dd.MM.yyyy"))), body);
        ry += 5;
    }
    text(125, ry + 10, QStringLiteral("Mitgliedsname: %1").arg(inv.Mitgliedsname), body);
    if (!inv.KaeuferUstId.isEmpty())
        text(125, ry + 15, QStringLiteral("USt-IdNr. des Käufers: %1").arg(inv.KaeuferUstId), body);
    y = 100;
    text(20, y, inv.isCancellation() ? QStringLiteral("Stornorechnung") : QStringLiteral("Rechnung"), title);
    if (inv.isCancellation()) {
        y += 8;
        text(20, y,
             (inv.Teilstorno ? QStringLiteral("Storniert von der Rechnung %1 vom %2 die folgenden Artikel.")
                             : QStringLiteral("Storniert die Rechnung %1 vom %2 in voller Höhe."))
                 .arg(inv.Bezug, inv.BezugDatum.toString(QStringLiteral("dd.MM.yyyy"))),
             body);
    }
    y += 12;
    text(20, y, QStringLiteral("Artikelnummer"), bold);
    text(55, y, QStringLiteral("Bezeichnung"), bold);
    text(125, y, QStringLiteral("Menge"), bold, Qt::AlignRight, 15);
    text(142, y, QStringLiteral("Einzelpreis"), bold, Qt::AlignRight, 22);
    text(166, y, QStringLiteral("Summe"), bold, Qt::AlignRight, 24);
    p.drawLine(mm(20), mm(y + 2), mm(190), mm(y + 2));
    y += 8;
    const QFontMetrics fm(body, &pdf);
    const QList<TaxLine> taxes = taxLines(inv);
    int shown = 0;
    for (const InvoiceItem& it : inv.Posten) {
        // One page: rows beyond it are summed up in one line; the total stays right.
        if (y > 200) {
            text(55, y,
                 QStringLiteral("… und %1 weitere Artikel (in der Summe enthalten)").arg(inv.Posten.size() - shown),
                 body);
            y += 6;
            break;
        }
        text(20, y, it.AuktionsNr, body);
        text(125, y, QString::number(it.Menge), body, Qt::AlignRight, 15);
        text(142, y, euroText(it.Einzelpreis), body, Qt::AlignRight, 22);
        text(166, y, euroText(it.Einzelpreis * it.Menge), body, Qt::AlignRight, 24);
        // A long title takes two lines; beyond that it is cut.
        const QRect box(mm(55), mm(y) - fm.ascent(), mm(68), 2 * fm.lineSpacing());
        const int flags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;
        // With two rates each item says its own.
        const QString rate = taxes.size() > 1 ? QStringLiteral(" (%1 %)").arg(itemRate(inv, it)) : QString();
        const QString shownTitle =
            fm.elidedText(it.Titel, Qt::ElideRight, 2 * box.width() - mm(12) - fm.horizontalAdvance(rate)) + rate;
        const bool twoLines = fm.boundingRect(box, flags, shownTitle).height() > fm.lineSpacing();
        p.setFont(body);
        p.drawText(box, flags, shownTitle);
        y += twoLines ? 10 : 6;
        ++shown;
    }
    text(55, y, QStringLiteral("Versand"), body);
    text(166, y, euroText(inv.Versand), body, Qt::AlignRight, 24);
    if (inv.Versicherung != 0) {
        y += 6;
        text(55, y, QStringLiteral("Versandversicherung"), body);
        text(166, y, euroText(inv.Versicherung), body, Qt::AlignRight, 24);
    }
    p.drawLine(mm(20), mm(y + 2), mm(190), mm(y + 2));
    y += 8;
    text(55, y, QStringLiteral("Gesamtbetrag"), bold);
    text(166, y, euroText(inv.total()), bold, Qt::AlignRight, 24);
    y += 10;
    switch (taxMode(inv)) {
        case TaxMode::SmallBusiness:
            text(20, y, QStringLiteral("Gemäß § 19 UStG wird keine Umsatzsteuer berechnet."), body);
            y += 10;
            break;
        case TaxMode::Standard:
            // The prices are gross: what the total holds, per rate (shipping shared as the goods).
            for (const TaxLine& t : taxes) {
                text(55, y, QStringLiteral("darin Entgelt (netto) zu %1 %").arg(t.rate), body);
                text(166, y, euroText(t.split().net), body, Qt::AlignRight, 24);
                y += 5;
                text(55, y, QStringLiteral("darin Umsatzsteuer %1 %").arg(t.rate), body);
                text(166, y, euroText(t.split().tax), body, Qt::AlignRight, 24);
                y += 5;
            }
            y += 5;
            break;
        case TaxMode::Margin:
            text(20, y, QStringLiteral("Gebrauchtgegenstände/Sonderregelung (§ 25a UStG):"), body);
            text(20, y + 5, QStringLiteral("Die Umsatzsteuer wird nicht gesondert ausgewiesen."), body);
            y += 15;
            break;
        case TaxMode::None:
            break;
    }
    if (inv.paid()) {
        // Paid before the invoice: no request to pay again, no payment code.
        text(20, y,
             QStringLiteral("Bezahlt am %1. Vielen Dank!").arg(inv.BezahltAm.toString(QStringLiteral("dd.MM.yyyy"))),
             body);
    } else if (!inv.Iban.isEmpty()) {
        if (inv.Bezahlt > 0) {
            text(20, y,
                 QStringLiteral("Bereits bezahlt: %1 €. Bitte überweisen Sie den Restbetrag von %2 € auf dieses Konto:")
                     .arg(centsText(inv.Bezahlt), centsText(inv.due())),
                 body);
        } else {
            text(20, y, QStringLiteral("Bitte überweisen Sie den Gesamtbetrag auf dieses Konto:"), body);
        }
        QStringList pay{QStringLiteral("Kontoinhaber: %1").arg(inv.Verkaeufer),
                        QStringLiteral("IBAN: %1").arg(inv.Iban)};
        if (!inv.Bic.isEmpty()) pay << QStringLiteral("BIC: %1").arg(inv.Bic);
        if (!inv.Bank.isEmpty()) pay << QStringLiteral("Bank: %1").arg(inv.Bank);
        pay << QStringLiteral("Verwendungszweck: %1").arg(inv.Verwendungszweck);
        double py = y + 7;
        for (const QString& l : pay) {
            text(20, py, l, body);
            py += 5;
        }
        const QImage code =
            qrImage(epcPayload({inv.Verkaeufer, inv.Iban, inv.Bic, inv.due(), inv.Verwendungszweck}), 8);
        if (!code.isNull()) {
            p.drawImage(QRect(mm(150), mm(y - 3), mm(35), mm(35)), code);
            text(150, y + 36, QStringLiteral("GiroCode: mit der Banking-App scannen"), small);
        } else {
            text(150, y, QStringLiteral("Kein GiroCode: der Betrag liegt nicht"), small);
            text(150, y + 4, QStringLiteral("zwischen 0,01 und 999.999.999,99 €."), small);
        }
    }
    p.end();
    if (!inv.ERechnung) return out;
    const Result<QByteArray> made = xml.isEmpty() ? ciiXml(inv) : Result<QByteArray>(xml);
    if (!made.ok()) return failed(made.error().message());
    const Result<QByteArray> hybrid = hybridPdf(out, made.value(), systemSrgbProfile());
    if (!hybrid.ok()) return failed(hybrid.error().message());
    return hybrid;
}

Status writeInvoice(const Invoice& inv, const QString& path) {
    const Result<QByteArray> bytes = invoicePdf(inv);
    if (!bytes.ok()) return bytes.error();
    return writeFileSafely(path, bytes.value());
}

}  // namespace gd
