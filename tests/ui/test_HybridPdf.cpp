// The hybrid's own parts, whatever Qt version wrote the page: metadata that repeats the document
// information with each namespace declared where it is used, and no colour space the sRGB output
// intent cannot cover left on a page that does not paint with it.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QMap>
#include <QPainter>
#include <QPdfWriter>
#include <QXmlStreamReader>
#include <functional>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <set>

#include "render/HybridPdf.h"
#include "support/GuiApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

QByteArray page(const QString& title) {
    test::guiApp();  // fonts
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buf);
    pdf.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
    pdf.setTitle(title);
    pdf.setCreator(u"Gaveldesk"_s);
    QPainter p(&pdf);
    p.drawText(200, 200, u"Kaffeemühle, 1 Stück"_s);
    p.end();
    return out;
}

// The page changed as another writer would: `edit` gets its first page.
QByteArray changed(const QByteArray& pdf, const std::function<void(QPDF&, QPDFPageObjectHelper&)>& edit) {
    QPDF q;
    q.processMemoryFile("Seite", pdf.constData(), size_t(pdf.size()));
    QPDFPageObjectHelper first = QPDFPageDocumentHelper(q).getAllPages().at(0);
    edit(q, first);
    QPDFWriter w(q);
    w.setOutputMemory();
    w.write();
    const std::shared_ptr<Buffer> b = w.getBufferSharedPointer();
    return QByteArray(reinterpret_cast<const char*>(b->getBuffer()), qsizetype(b->getSize()));
}

struct Opened {
    QPDF q;
    std::set<std::string> spaces;  // the first page's colour space names
    QByteArray xmp;
    explicit Opened(const QByteArray& pdf) {
        q.processMemoryFile("Hybrid", pdf.constData(), size_t(pdf.size()));
        QPDFObjectHandle cs =
            QPDFPageDocumentHelper(q).getAllPages().at(0).getAttribute("/Resources", false).getKey("/ColorSpace");
        if (cs.isDictionary())
            for (const std::string& k : cs.getKeys()) spaces.insert(k);
        const std::shared_ptr<Buffer> m = q.getRoot().getKey("/Metadata").getStreamData(qpdf_dl_all);
        xmp = QByteArray(reinterpret_cast<const char*>(m->getBuffer()), qsizetype(m->getSize()));
    }
};

QByteArray hybrid(const QByteArray& pdf) {
    const Result<QByteArray> made = hybridPdf(pdf, "<rsm:CrossIndustryInvoice/>", systemSrgbProfile());
    EXPECT_TRUE(made.ok()) << (made.ok() ? "" : made.error().sentence.toStdString());
    return made.ok() ? made.value() : QByteArray();
}

void addSpaces(QPDF& q, QPDFPageObjectHelper& p) {
    QPDFObjectHandle cs = p.getAttribute("/Resources", true).getKey("/ColorSpace");
    if (!cs.isDictionary()) {
        cs = QPDFObjectHandle::newDictionary();
        p.getAttribute("/Resources", true).replaceKey("/ColorSpace", cs);
    }
    cs.replaceKey("/CSpcmyk", QPDFObjectHandle::newName("/DeviceCMYK"));
    cs.replaceKey("/CSpg", QPDFObjectHandle::newName("/DeviceGray"));
    cs.replaceKey("/PCSpcmyk", QPDFObjectHandle::parse("[/Pattern /DeviceCMYK]"));
    (void)q;
}

TEST(HybridPdf, ColourSpacesThePageDoesNotPaintWithGo) {
    struct Case {
        const char* what;
        std::function<void(QPDF&, QPDFPageObjectHelper&)> edit;
        std::set<std::string> gone, kept;
    };
    const Case cases[] = {
        {"declared, not used", addSpaces, {"/CSpcmyk", "/CSpg", "/PCSpcmyk"}, {}},
        {"grey painted on the page",
         [](QPDF& q, QPDFPageObjectHelper& p) {
             addSpaces(q, p);
             p.addPageContents(QPDFObjectHandle::newStream(&q, "q /CSpg cs 0.5 sc 0 0 10 10 re f Q\n"), false);
         },
         {"/CSpcmyk", "/PCSpcmyk"},
         {"/CSpg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Opened made(hybrid(changed(page(u"Rechnung RE-2026-0001"_s), c.edit)));
        for (const std::string& name : c.gone) EXPECT_FALSE(made.spaces.count(name)) << name;
        for (const std::string& name : c.kept) EXPECT_TRUE(made.spaces.count(name)) << name;
    }
}

// Every element and attribute of a description in a namespace that description declares:
// readers that look for a schema beside its properties find each one.
TEST(HybridPdf, TheMetadataRepeatsTheDocumentInformation) {
    struct Case {
        const char* creationDate;
        const char* xmpDate;
    };
    const Case cases[] = {
        {"D:20261208054135Z", "2026-12-08T05:41:35+00:00"},
        {"D:20261208054135+01'00'", "2026-12-08T05:41:35+01:00"},
        {"D:20260615230000-05'30", "2026-06-15T23:00:00-05:30"},
        {"D:2026120805", "2026-12-08T05:00:00"},
    };
    const QString title = u"Rechnung RE-2026-0002 für Müller & Söhne <Łódź>"_s;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.creationDate);
        Opened made(hybrid(changed(page(title), [&](QPDF& q, QPDFPageObjectHelper&) {
            q.getTrailer().getKey("/Info").replaceKey("/CreationDate", QPDFObjectHandle::newString(c.creationDate));
        })));
        EXPECT_TRUE(made.xmp.startsWith("<?xpacket begin=\"\xEF\xBB\xBF\""));
        QXmlStreamReader r(made.xmp);
        QMap<QString, QString> values;
        QStringList declared;
        int depth = 0;
        while (!r.atEnd()) {
            r.readNext();
            if (r.isStartElement()) {
                if (r.name() == u"Description"_s && depth == 0) {
                    declared.clear();
                    for (const QXmlStreamNamespaceDeclaration& d : r.namespaceDeclarations())
                        declared << d.prefix().toString();
                }
                if (r.name() == u"Description"_s || depth > 0) ++depth;
                const auto own = [&](QStringView prefix) {
                    return prefix == u"rdf"_s || prefix == u"xml"_s || declared.contains(prefix.toString());
                };
                if (depth > 0) {
                    EXPECT_TRUE(own(r.prefix())) << r.qualifiedName().toString().toStdString();
                    for (const QXmlStreamAttribute& a : r.attributes()) {
                        EXPECT_TRUE(own(a.prefix())) << a.qualifiedName().toString().toStdString();
                        values[a.qualifiedName().toString()] = a.value().toString();
                    }
                }
                if (r.qualifiedName() == u"rdf:li"_s && r.attributes().hasAttribute(u"xml:lang"_s)) {
                    values[u"li"_s] = r.readElementText();
                    --depth;
                }
            } else if (r.isEndElement() && depth > 0) {
                --depth;
            }
        }
        ASSERT_FALSE(r.hasError()) << r.errorString().toStdString();
        EXPECT_EQ(values[u"li"_s], title);
        EXPECT_EQ(values[u"xmp:CreateDate"_s], QString::fromLatin1(c.xmpDate));
        EXPECT_EQ(values[u"xmp:CreatorTool"_s], u"Gaveldesk"_s);
        EXPECT_TRUE(values[u"pdf:Producer"_s].startsWith(u"Qt "_s));
        EXPECT_EQ(values[u"pdfaid:part"_s], u"3"_s);
        EXPECT_EQ(values[u"fx:ConformanceLevel"_s], u"EN 16931"_s);
    }
}

}  // namespace
}  // namespace gd
