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
#include <qpdf/QPDFWriter.hh>

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

// "D:20261208054135Z" from the page's own creation date, so XMP, info and attachment agree.
std::string creationDate(QPDF& q) {
    QPDFObjectHandle info = q.getTrailer().getKey("/Info");
    if (info.isDictionary() && info.getKey("/CreationDate").isString())
        return info.getKey("/CreationDate").getUTF8Value();
    return "D:20000101000000Z";
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
        QByteArray xmp = streamBytes(meta);
        if (!xmp.contains("pdfaid:part=\"1\"") || !xmp.contains("</rdf:RDF>"))
            return Error::plain(QStringLiteral("Die Seite ist nicht als PDF/A geschrieben."));
        xmp.replace("pdfaid:part=\"1\"", "pdfaid:part=\"3\"");
        xmp.replace("  </rdf:RDF>", QByteArray(kFacturX).append("  </rdf:RDF>"));
        meta.replaceStreamData(bytes(xmp), QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());

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
