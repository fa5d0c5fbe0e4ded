#include "render/HybridPdf.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <exception>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <set>
#include <string>
#include <vector>

namespace gd {
namespace {

// The extension schema PDF/A asks for before a metadata namespace of its own may be used,
// and the Factur-X fields that say which profile the XML follows.
const char kFacturX[] =
    R"XMP(    <rdf:Description xmlns:pdfaExtension="http://www.aiim.org/pdfa/ns/extension/" xmlns:pdfaSchema="http://www.aiim.org/pdfa/ns/schema#" xmlns:pdfaProperty="http://www.aiim.org/pdfa/ns/property#" rdf:about="">
      <pdfaExtension:schemas>
        <rdf:Bag>
          <rdf:li rdf:parseType="Resource">
            <pdfaSchema:schema>Factur-X PDFA Extension Schema</pdfaSchema:schema>
            <pdfaSchema:namespaceURI>urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#</pdfaSchema:namespaceURI>
            <pdfaSchema:prefix>fx</pdfaSchema:prefix>
            <pdfaSchema:property>
              <rdf:Seq>
                <rdf:li rdf:parseType="Resource"><pdfaProperty:name>DocumentFileName</pdfaProperty:name><pdfaProperty:valueType>Text</pdfaProperty:valueType><pdfaProperty:category>external</pdfaProperty:category><pdfaProperty:description>The name of the embedded XML document</pdfaProperty:description></rdf:li>
                <rdf:li rdf:parseType="Resource"><pdfaProperty:name>DocumentType</pdfaProperty:name><pdfaProperty:valueType>Text</pdfaProperty:valueType><pdfaProperty:category>external</pdfaProperty:category><pdfaProperty:description>The type of the hybrid document in capital letters, e.g. INVOICE or ORDER</pdfaProperty:description></rdf:li>
                <rdf:li rdf:parseType="Resource"><pdfaProperty:name>Version</pdfaProperty:name><pdfaProperty:valueType>Text</pdfaProperty:valueType><pdfaProperty:category>external</pdfaProperty:category><pdfaProperty:description>The actual version of the standard applying to the embedded XML document</pdfaProperty:description></rdf:li>
                <rdf:li rdf:parseType="Resource"><pdfaProperty:name>ConformanceLevel</pdfaProperty:name><pdfaProperty:valueType>Text</pdfaProperty:valueType><pdfaProperty:category>external</pdfaProperty:category><pdfaProperty:description>The conformance level of the embedded XML document</pdfaProperty:description></rdf:li>
              </rdf:Seq>
            </pdfaSchema:property>
          </rdf:li>
        </rdf:Bag>
      </pdfaExtension:schemas>
    </rdf:Description>
    <rdf:Description xmlns:fx="urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#" rdf:about="" fx:DocumentType="INVOICE" fx:DocumentFileName="factur-x.xml" fx:Version="1.0" fx:ConformanceLevel="EN 16931"/>
)XMP";

std::string bytes(const QByteArray& b) { return std::string(b.constData(), size_t(b.size())); }

QByteArray streamBytes(QPDFObjectHandle stream) {
    const std::shared_ptr<Buffer> data = stream.getStreamData(qpdf_dl_all);
    return QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
}

QByteArray written(QPDF& q) {
    QPDFWriter w(q);
    w.setOutputMemory();
    w.setMinimumPDFVersion("1.7");
    // The same page and XML give the same file: issuing is repeatable in tests and audits.
    w.setDeterministicID(true);
    // PDF/A: every stream ends with an end-of-line that its /Length does not count.
    w.setNewlineBeforeEndstream(true);
    w.write();
    const std::shared_ptr<Buffer> out = w.getBufferSharedPointer();
    return QByteArray(reinterpret_cast<const char*>(out->getBuffer()), qsizetype(out->getSize()));
}

QString infoText(QPDF& q, const char* key) {
    QPDFObjectHandle info = q.getTrailer().getKey("/Info");
    if (!info.isDictionary() || !info.getKey(key).isString()) return {};
    return QString::fromStdString(info.getKey(key).getUTF8Value());
}

// "D:20261208054135Z" from the page's own creation date, so XMP, info and attachment agree.
std::string creationDate(QPDF& q) {
    const QString date = infoText(q, "/CreationDate");
    return date.isEmpty() ? std::string("D:20000101000000Z") : date.toStdString();
}

// "D:20261208054135+01'00'" as XMP writes it: "2026-12-08T05:41:35+01:00".
QString xmpDate(const QString& pdfDate) {
    static const QRegularExpression form(QStringLiteral(
        "^D:(\\d{4})(\\d{2})?(\\d{2})?(\\d{2})?(\\d{2})?(\\d{2})?(?:([Zz])|([+-])(\\d{2})'?(\\d{2})?'?)?"));
    const QRegularExpressionMatch m = form.match(pdfDate);
    if (!m.hasMatch()) return {};
    const auto part = [&](int n, const char* missing) {
        return m.captured(n).isEmpty() ? QString::fromLatin1(missing) : m.captured(n);
    };
    QString out = QStringLiteral("%1-%2-%3T%4:%5:%6")
                      .arg(m.captured(1), part(2, "01"), part(3, "01"), part(4, "00"), part(5, "00"), part(6, "00"));
    if (!m.captured(8).isEmpty()) return out + m.captured(8) + m.captured(9) + u':' + part(10, "00");
    return m.captured(7).isEmpty() ? out : out + QStringLiteral("+00:00");
}

// The file's metadata written whole, each namespace declared where it is used: Qt's own packet
// changes between versions (6.8 declares all namespaces once at the top, which PDF/A readers
// that look for the schema beside its properties miss). Every entry repeats the document
// information, as PDF/A requires.
QByteArray xmpPacket(QPDF& q) {
    const auto attr = [](const char* name, const QString& value) {
        return value.isEmpty() ? QString()
                               : QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), value.toHtmlEscaped());
    };
    QString x = QStringLiteral(
        "<?xpacket begin=\"\uFEFF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
        "  <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n");
    if (const QString title = infoText(q, "/Title"); !title.isEmpty())
        x += QStringLiteral(
                 "    <rdf:Description xmlns:dc=\"http://purl.org/dc/elements/1.1/\" rdf:about=\"\">\n"
                 "      <dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">%1</rdf:li></rdf:Alt></dc:title>\n"
                 "    </rdf:Description>\n")
                 .arg(title.toHtmlEscaped());
    QString trapped;
    if (QPDFObjectHandle info = q.getTrailer().getKey("/Info"); info.isDictionary() && info.getKey("/Trapped").isName())
        trapped = QString::fromStdString(info.getKey("/Trapped").getName()).mid(1);
    x += QStringLiteral("    <rdf:Description xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\" rdf:about=\"\"%1%2/>\n")
             .arg(attr("pdf:Producer", infoText(q, "/Producer")), attr("pdf:Trapped", trapped));
    const QString modified = xmpDate(infoText(q, "/ModDate"));
    x += QStringLiteral("    <rdf:Description xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" rdf:about=\"\"%1%2%3%4/>\n")
             .arg(attr("xmp:CreatorTool", infoText(q, "/Creator")),
                  attr("xmp:CreateDate", xmpDate(infoText(q, "/CreationDate"))), attr("xmp:ModifyDate", modified),
                  attr("xmp:MetadataDate", modified));
    x += QStringLiteral(
        "    <rdf:Description xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\" rdf:about=\"\" "
        "pdfaid:part=\"3\" pdfaid:conformance=\"B\"/>\n");
    x += QString::fromUtf8(kFacturX);
    x += QStringLiteral("  </rdf:RDF>\n</x:xmpmeta>\n<?xpacket end=\"w\"?>");
    return x.toUtf8();
}

// Every name the content streams say, operands of colour operators among them.
class NamesSaid : public QPDFObjectHandle::TokenFilter {
public:
    std::set<std::string> names;
    void handleToken(QPDFTokenizer::Token const& token) override {
        if (token.getType() == QPDFTokenizer::tt_name) names.insert(token.getValue());
    }
};

// Qt 6.8 declares CMYK and grey beside the RGB the page paints with; PDF/A allows a colour space
// the output intent does not cover only where nothing could use it, so what the content does
// not name goes.
// Names are gathered over the whole document first: pages may share one resource dictionary.
void dropUnusedColourSpaces(QPDF& q) {
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(q).getAllPages();
    NamesSaid said;
    for (QPDFPageObjectHelper& page : pages) {
        page.filterContents(&said);
        // A form without resources of its own paints with the page's.
        page.forEachFormXObject(
            true, [&](QPDFObjectHandle& form, QPDFObjectHandle&, std::string const&) { form.filterAsContents(&said); });
    }
    for (QPDFPageObjectHelper& page : pages) {
        QPDFObjectHandle resources = page.getAttribute("/Resources", false);
        QPDFObjectHandle spaces = resources.isDictionary() ? resources.getKey("/ColorSpace") : QPDFObjectHandle();
        if (!spaces.isDictionary()) continue;
        for (const std::string& key : spaces.getKeys())
            if (!said.names.count(key)) spaces.removeKey(key);
    }
}

}  // namespace

QString systemSrgbProfile() {
    for (const char* path : {"/usr/share/color/icc/sRGB.icc", "/usr/share/color/icc/colord/sRGB.icc"})
        if (QFile::exists(QString::fromLatin1(path))) return QString::fromLatin1(path);
    // A system without the profile (Windows): the copy shipped beside the program.
    if (QCoreApplication::instance()) {
        const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/sRGB.icc");
        if (QFile::exists(beside)) return beside;
    }
    return {};
}

Result<QByteArray> hybridPdf(const QByteArray& pdf, const QByteArray& xml, const QString& iccProfile) {
    try {
        QPDF q;
        q.setSuppressWarnings(true);
        const std::string source = bytes(pdf);
        q.processMemoryFile("Rechnung", source.data(), source.size());
        QPDFObjectHandle root = q.getRoot();

        QPDFObjectHandle meta = root.getKey("/Metadata");
        if (!meta.isStream()) return Error::plain(QStringLiteral("Die Seite trägt keine Metadaten (PDF/A)."));
        if (!streamBytes(meta).contains("pdfaid:part"))
            return Error::plain(QStringLiteral("Die Seite ist nicht als PDF/A geschrieben."));
        meta.replaceStreamData(bytes(xmpPacket(q)), QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
        dropUnusedColourSpaces(q);

        QFile icc(iccProfile);
        QPDFObjectHandle intents = root.getKey("/OutputIntents");
        if (!iccProfile.isEmpty() && icc.open(QIODevice::ReadOnly) && intents.isArray() &&
            intents.getArrayNItems() > 0) {
            const QByteArray profile = icc.readAll();
            QPDFObjectHandle intent = intents.getArrayItem(0);
            QPDFObjectHandle dest = intent.getKey("/DestOutputProfile");
            if (!profile.isEmpty() && dest.isStream()) {
                dest.replaceStreamData(bytes(profile), QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
                dest.replaceKey("/N", QPDFObjectHandle::newInteger(3));
                intent.replaceKey("/OutputConditionIdentifier", QPDFObjectHandle::newString("sRGB IEC61966-2.1"));
                intent.replaceKey("/Info", QPDFObjectHandle::newString("sRGB IEC61966-2.1"));
            }
        }

        const std::string date = creationDate(q);
        QPDFEFStreamObjectHelper ef = QPDFEFStreamObjectHelper::createEFStream(q, bytes(xml));
        ef.setSubtype("text/xml").setModDate(date);
        QPDFFileSpecObjectHelper attached = QPDFFileSpecObjectHelper::createFileSpec(q, kEmbeddedInvoiceName, ef);
        attached.setDescription("Rechnungsdaten nach EN 16931 (Factur-X/ZUGFeRD)");
        QPDFObjectHandle attachedObject = attached.getObjectHandle();
        attachedObject.replaceKey("/AFRelationship", QPDFObjectHandle::newName("/Alternative"));
        QPDFEmbeddedFileDocumentHelper(q).replaceEmbeddedFile(kEmbeddedInvoiceName, attached);
        root.replaceKey("/AF", QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{attachedObject}));
        return written(q);
    } catch (const std::exception& e) {
        return Error{QStringLiteral("Die E-Rechnung kann nicht in die PDF-Datei gelegt werden:"), 0,
                     QString::fromLocal8Bit(e.what())};
    }
}

}  // namespace gd
