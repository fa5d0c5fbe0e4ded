#pragma once
// "Regeln prüfen": how the keyword file read the mail in the import dialog, so a
// user can mend it for a changed notification and see the effect at once.

#include <QWidget>

#include "domain/import/Parser.h"

class QLabel;
class QTreeWidget;

namespace gd {

class RuleTester final : public QWidget {
    Q_OBJECT
public:
    explicit RuleTester(QWidget* parent = nullptr);
    // What recognised the mail and each row of the section that cut it, in file order;
    // for a mail no line recognised, each recognition line with the phrases it lacks.
    void show(const ImportRecords& r, const QString& mailText, const QStringList& fileMessages);
    void clear();

private:
    QLabel* lblErkennung;
    QTreeWidget* lstRegeln;
};

}  // namespace gd
