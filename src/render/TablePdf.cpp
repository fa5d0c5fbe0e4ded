#include "render/TablePdf.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextDocument>

namespace gd {

QByteArray tablePdf(const QString& title, const QString& note, const QList<QStringList>& rows) {
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buf);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(15, 15, 15, 15)));
    pdf.setTitle(title);
    pdf.setCreator(QStringLiteral("Gaveldesk"));
    QString html =
        QStringLiteral("<h2>%1</h2><table cellspacing=0 cellpadding=3 border=1 width=100%>").arg(title.toHtmlEscaped());
    for (qsizetype r = 0; r < rows.size(); ++r) {
        html += QStringLiteral("<tr>");
        for (qsizetype c = 0; c < rows[r].size(); ++c) {
            const QString cell = rows[r][c].toHtmlEscaped();
            html += r == 0   ? QStringLiteral("<th>%1</th>").arg(cell)
                    : c >= 2 ? QStringLiteral("<td align=right>%1</td>").arg(cell)
                             : QStringLiteral("<td>%1</td>").arg(cell);
        }
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table>");
    if (!note.isEmpty()) html += QStringLiteral("<p>%1</p>").arg(note.toHtmlEscaped());
    QTextDocument doc;
    // DejaVu where the system has it (Linux); Windows has Arial, whose licence lets a PDF embed it.
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
    f.setPointSizeF(8);
    doc.setDefaultFont(f);
    doc.setHtml(html);
    doc.print(&pdf);
    return out;
}

}  // namespace gd
