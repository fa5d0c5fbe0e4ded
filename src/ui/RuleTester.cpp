#include "ui/RuleTester.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "domain/settings/modGlobal.h"

namespace gd {
namespace {

QString outcomeText(const RuleHit& h) {
    switch (h.outcome) {
        case RuleHit::Outcome::Found:
            return QStringLiteral("gefunden: ") + h.value;
        case RuleHit::Outcome::Nothing:
            return QStringLiteral("nichts gefunden");
        case RuleHit::Outcome::AlreadyFilled:
            return QStringLiteral("übersprungen, schon gefüllt: ") + h.value;
        case RuleHit::Outcome::NotUsed:
            return QStringLiteral("nicht verwendet: dieses Ziel kennt der Abschnitt nicht");
        case RuleHit::Outcome::NotReached:
            break;
    }
    return QStringLiteral("nicht erreicht");
}

QString quoted(const QStringList& phrases) {
    return QStringLiteral("\u201E") + phrases.join(QStringLiteral("\u201C, \u201E")) + QStringLiteral("\u201C");
}

}  // namespace

RuleTester::RuleTester(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RuleTester"));
    lblErkennung = new QLabel(this);
    lblErkennung->setObjectName(QStringLiteral("lblErkennung"));
    lblErkennung->setWordWrap(true);
    lblErkennung->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lstRegeln = new QTreeWidget(this);
    lstRegeln->setObjectName(QStringLiteral("lstRegeln"));
    lstRegeln->setRootIsDecorated(false);
    lstRegeln->setUniformRowHeights(true);
    // The target stands in the rule after "=": no column of its own, so the result stays in view.
    lstRegeln->setHeaderLabels({QStringLiteral("Nr."), QStringLiteral("Regel"), QStringLiteral("Ergebnis")});
    lstRegeln->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lstRegeln->header()->setStretchLastSection(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lblErkennung);
    layout->addWidget(lstRegeln, 1);
}

void RuleTester::clear() {
    lblErkennung->clear();
    lstRegeln->clear();
}

void RuleTester::show(const ImportRecords& r, const QString& mailText, const QStringList& fileMessages) {
    clear();
    QString head = QStringLiteral("Schlüsselwortdatei: ") + gsKeywordIni;
    if (!fileMessages.isEmpty()) head += QStringLiteral("\n") + fileMessages.join(QLatin1Char('\n'));
    const auto add = [this](const QString& nr, const QString& rule, const QString& result, bool miss) {
        auto* item = new QTreeWidgetItem(lstRegeln, {nr, rule, result});
        item->setToolTip(1, rule);
        item->setToolTip(2, result);
        if (miss) item->setForeground(2, QColor(0xA0, 0x10, 0x10));
    };
    if (mailText.isEmpty()) {
        lblErkennung->setText(head + QStringLiteral("\nNoch keine E-Mail eingelesen."));
        return;
    }
    if (r.erkennung.isEmpty()) {
        lblErkennung->setText(head + QStringLiteral("\nKeine Erkennungszeile und keine eingebaute Erkennung passt. "
                                                    "Diese Zeilen fehlen Wörter:"));
        for (const RecognitionLine& l : recognitionLines(rulesInForce(), mailText))
            add(QLatin1Char('[') + l.section + QLatin1Char(']'),
                QStringLiteral("#Erkennung#=") + l.phrases.join(QLatin1Char('/')),
                QStringLiteral("fehlt: ") + quoted(l.missing), true);
        return;
    }
    lblErkennung->setText(head +
                          QStringLiteral("\nErkannt als %1 durch %2; es gelten die Regeln aus [%3].")
                              .arg(mailKindName(recognise(rulesInForce(), mailText).kind), r.erkennung, r.sektion));
    int nr = 0;
    for (const RuleHit& h : r.hits)
        add(QString::number(++nr), h.rule, outcomeText(h),
            h.outcome == RuleHit::Outcome::Nothing || h.outcome == RuleHit::Outcome::NotReached);
}

}  // namespace gd
