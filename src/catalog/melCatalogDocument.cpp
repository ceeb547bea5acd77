#include "melCatalogDocument.h"

#include "melCatalog.h"
#include "melCatalogFile.h"

#include <QFile>

#include <cstring>
#include <sstream>

namespace {

bool DeclaresLatin1(const QByteArray &aData) {
  if (!aData.startsWith("<?xml"))
    return false;
  const qsizetype end = aData.indexOf("?>");
  const QByteArray declaration = aData.left(end < 0 ? 0 : end).toLower();
  return declaration.contains("iso-8859-1") || declaration.contains("latin1");
}

int LineAt(const QByteArray &aData, qsizetype aOffset) {
  return int(QByteArrayView(aData.constData(), std::min(aOffset, aData.size())).count('\n')) + 1;
}

} // namespace

void ParseCatalogXml(pugi::xml_document &aDocument, const QByteArray &aData, const QString &aSource,
                     unsigned aOptions) {
  const pugi::xml_encoding encoding =
      DeclaresLatin1(aData) ? pugi::encoding_latin1 : pugi::encoding_auto;
  const pugi::xml_parse_result result =
      aDocument.load_buffer(aData.constData(), size_t(aData.size()), aOptions, encoding);
  if (!result) {
    const QByteArray parsed =
        encoding == pugi::encoding_latin1 ? QString::fromLatin1(aData).toUtf8() : aData;
    throw ECatalogError(QStringLiteral("%1 is not valid XML: %2 at line %3")
                            .arg(aSource, QString::fromUtf8(result.description()))
                            .arg(LineAt(parsed, qsizetype(result.offset))));
  }
}

tCatalogDocumentC::tCatalogDocumentC(const QString &aLocalFileName) : mFileName(aLocalFileName) {
  Reload();
}

void tCatalogDocumentC::Reload() {
  QFile file(mFileName);
  if (!file.open(QIODevice::ReadOnly))
    throw ECatalogError(
        QStringLiteral("Cannot open the catalog file %1: %2").arg(mFileName, file.errorString()));
  ParseCatalogXml(mDocument, file.readAll(), QStringLiteral("The catalog file %1").arg(mFileName));
}

pugi::xml_document tCatalogDocumentC::ParseText(const QByteArray &aText, const QString &aSource) {
  pugi::xml_document document;
  ParseCatalogXml(document, aText, aSource);
  return document;
}

void tCatalogDocumentC::Save() const {
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
  mDocument.save(out, "\t", pugi::format_indent | pugi::format_no_declaration,
                 pugi::encoding_latin1);
  const std::string text = out.str();
  SaveCatalogFile(mFileName, QByteArray(text.data(), qsizetype(text.size())));
}

QString Utf8Text(const char *aText) {
  return QString::fromUtf8(aText, qsizetype(std::strlen(aText)));
}

QString ElementText(const pugi::xml_node &aElement) {
  const pugi::xml_node first = aElement.first_child();
  if (!first)
    return {};
  if (first.next_sibling() ||
      (first.type() != pugi::node_pcdata && first.type() != pugi::node_cdata))
    throw EMelError(QStringLiteral("Element does not contain a single text node"));
  return Utf8Text(first.value());
}
