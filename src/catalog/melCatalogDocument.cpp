#include "melCatalogDocument.h"

#include "melCatalog.h"
#include "melCatalogFile.h"
#include "melText.h"

#include <QFile>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

bool DeclaresLatin1(const QByteArray &aData) {
  if (!aData.startsWith("<?xml"))
    return false;
  const qsizetype end = aData.indexOf("?>");
  const QByteArrayView declaration = QByteArrayView(aData).first(end < 0 ? 0 : end);
  return ContainsAsciiCase(declaration, "iso-8859-1") || ContainsAsciiCase(declaration, "latin1");
}

// Text in UTF-16 or UTF-32 (a byte order mark, or the zero bytes around the
// first "<") goes by the parser's own detection.
bool LooksWide(const QByteArray &aData) {
  if (aData.size() < 2)
    return false;
  const auto byte = [&aData](int aIndex) { return uchar(aData[aIndex]); };
  return (byte(0) == 0xFE && byte(1) == 0xFF) || (byte(0) == 0xFF && byte(1) == 0xFE) ||
         byte(0) == 0 || byte(1) == 0;
}

int LineAt(const QByteArray &aData, qsizetype aOffset) {
  return int(QByteArrayView(aData.constData(), std::min(aOffset, aData.size())).count('\n')) + 1;
}

// Characters XML 1.0 cannot hold, not even as references: the control
// characters other than tab, line feed and carriage return, and U+FFFE and
// U+FFFF. The parser lets them through; every reader leaves them out of the
// text and the writer does not write them, so a saved file stays XML and
// reads as it did before the save.
int NonXmlLength(const unsigned char *aUtf8) {
  if (*aUtf8 < 0x20)
    return *aUtf8 == '\t' || *aUtf8 == '\n' || *aUtf8 == '\r' ? 0 : 1;
  if (aUtf8[0] == 0xEF && aUtf8[1] == 0xBF && (aUtf8[2] == 0xBE || aUtf8[2] == 0xBF))
    return 3;
  return 0;
}

// Without those characters; in a name each becomes "_" instead: a name the
// readers know holds none, so the reading stays, and the name is XML again.
std::string WithoutNonXmlCharacters(const char *aUtf8, bool aInName = false) {
  std::string text;
  for (const auto *c = reinterpret_cast<const unsigned char *>(aUtf8); *c;) {
    if (const int length = NonXmlLength(c)) {
      c += length;
      if (aInName)
        text += '_';
      continue;
    }
    text += char(*c++);
  }
  return text;
}

// The node after aNode in document order below aTop, its children first;
// none at the end. Walks need no recursion: a catalog may nest deeply.
pugi::xml_node NextInDocument(pugi::xml_node aNode, const pugi::xml_node &aTop) {
  if (aNode.first_child())
    return aNode.first_child();
  while (aNode != aTop && !aNode.next_sibling())
    aNode = aNode.parent();
  return aNode == aTop ? pugi::xml_node() : aNode.next_sibling();
}

void DropNonXmlCharacters(pugi::xml_node aTop) {
  for (pugi::xml_node node = aTop.first_child(); node;) {
    if (HasNonXmlCharacter(node.value()))
      node.set_value(WithoutNonXmlCharacters(node.value()).c_str());
    if (HasNonXmlCharacter(node.name()))
      node.set_name(WithoutNonXmlCharacters(node.name(), true).c_str());
    for (pugi::xml_attribute attribute : node.attributes()) {
      if (HasNonXmlCharacter(attribute.value()))
        attribute.set_value(WithoutNonXmlCharacters(attribute.value()).c_str());
      if (HasNonXmlCharacter(attribute.name()))
        attribute.set_name(WithoutNonXmlCharacters(attribute.name(), true).c_str());
    }
    node = NextInDocument(node, aTop);
  }
}

bool IsLatin1(const char *aUtf8) {
  for (const unsigned char *c = reinterpret_cast<const unsigned char *>(aUtf8); *c; ++c) {
    // Lead bytes from 0xC4 on start code points above U+00FF.
    if (*c >= 0xC4)
      return false;
  }
  return true;
}

// Whether the document can go to a Latin-1 file with numeric character
// references: only text and attribute values may hold references, so a wider
// character in a name, a comment, an instruction or a document type cannot.
// CDATA sections holding such characters become plain text, which means the
// same and can hold references.
bool PrepareForLatin1(pugi::xml_node aTop) {
  pugi::xml_node node = aTop.first_child();
  while (node) {
    switch (node.type()) {
    case pugi::node_cdata:
      if (!IsLatin1(node.value())) {
        pugi::xml_node text = node.parent().insert_child_before(pugi::node_pcdata, node);
        text.set_value(node.value());
        pugi::xml_node cdata = node;
        node = text;
        cdata.parent().remove_child(cdata);
      }
      break;
    case pugi::node_element:
      if (!IsLatin1(node.name()))
        return false;
      for (const pugi::xml_attribute attribute : node.attributes()) {
        if (!IsLatin1(attribute.name()))
          return false;
      }
      break;
    case pugi::node_comment:
    case pugi::node_pi:
    case pugi::node_doctype:
      if (!IsLatin1(node.name()) || !IsLatin1(node.value()))
        return false;
      break;
    default: break;
    }
    node = NextInDocument(node, aTop);
  }
  return true;
}

// Text the next read would not take as it stands must go to the file as
// references: a raw carriage return reads as a line end, and text of white
// space alone between other nodes is dropped. The serializer writes text as
// it is, so each such character passes through it behind U+FFFF, which no
// text or name holds by then (it is left out or replaced before).
const std::string cReferenceMark = "\xEF\xBF\xBF";

bool HoldsReferenceMark(const char *aText) {
  return std::strstr(aText, cReferenceMark.c_str()) != nullptr;
}

bool IsXmlSpace(char aChar) {
  return aChar == ' ' || aChar == '\t' || aChar == '\n' || aChar == '\r';
}

bool IsAllSpace(const char *aText) {
  const char *c = aText;
  while (IsXmlSpace(*c))
    ++c;
  return *c == 0 && c != aText;
}

// The text nodes marked, with their values before.
using tMarkedTextC = std::vector<std::pair<pugi::xml_node, std::string>>;

tMarkedTextC MarkForReferences(pugi::xml_node aTop) {
  tMarkedTextC marked;
  for (pugi::xml_node node = aTop.first_child(); node;) {
    if (HoldsReferenceMark(node.name()))
      return {};
    for (const pugi::xml_attribute attribute : node.attributes()) {
      if (HoldsReferenceMark(attribute.name()))
        return {};
    }
    if (node.type() == pugi::node_pcdata &&
        (std::strchr(node.value(), '\r') || IsAllSpace(node.value())))
      marked.emplace_back(node, node.value());
    node = NextInDocument(node, aTop);
  }
  for (const auto &[node, value] : marked) {
    const bool allSpace = IsAllSpace(value.c_str());
    std::string text;
    for (const char c : value) {
      if (allSpace || c == '\r')
        text += cReferenceMark;
      text += c;
    }
    pugi::xml_node(node).set_value(text.c_str());
  }
  return marked;
}

void RestoreMarkedText(const tMarkedTextC &aMarked) {
  for (const auto &[node, value] : aMarked)
    pugi::xml_node(node).set_value(value.c_str());
}

std::string Reference(uint32_t aCode) {
  char reference[16];
  return std::string(reference,
                     size_t(std::snprintf(reference, sizeof reference, "&#x%X;", unsigned(aCode))));
}

// The marked characters of UTF-8 text as references.
std::string WithMarkedAsReferences(const std::string &aText) {
  std::string out;
  out.reserve(aText.size());
  for (size_t at = 0; at < aText.size();) {
    if (at + cReferenceMark.size() < aText.size() &&
        aText.compare(at, cReferenceMark.size(), cReferenceMark) == 0) {
      out += Reference(uchar(aText[at + cReferenceMark.size()]));
      at += cReferenceMark.size() + 1;
      continue;
    }
    out += aText[at++];
  }
  return out;
}

// UTF-8 to Latin-1; every code point above U+00FF becomes a hexadecimal
// character reference, and with aMarked the character behind U+FFFF too.
// The input is the parser's own output, valid UTF-8.
QByteArray Utf8ToLatin1WithReferences(const std::string &aText, bool aMarked) {
  QByteArray out;
  out.reserve(qsizetype(aText.size()));
  const auto *c = reinterpret_cast<const unsigned char *>(aText.data());
  const auto *end = c + aText.size();
  while (c < end) {
    if (*c < 0x80) {
      const auto *run = c;
      while (c < end && *c < 0x80)
        ++c;
      out.append(reinterpret_cast<const char *>(run), c - run);
      continue;
    }
    int length = *c >= 0xF0 ? 4 : *c >= 0xE0 ? 3 : 2;
    if (end - c < length)
      length = int(end - c);
    uint32_t code = *c & (length == 4 ? 0x07 : length == 3 ? 0x0F : 0x1F);
    for (int i = 1; i < length; ++i)
      code = (code << 6) | (c[i] & 0x3F);
    c += length;
    if (code <= 0xFF) {
      out += char(code);
    } else if (code == 0xFFFF && aMarked && c < end) {
      out += Reference(*c++);
    } else {
      out += Reference(code);
    }
  }
  return out;
}

} // namespace

bool IsValidUtf8(const char *aData, size_t aSize) {
  const auto *c = reinterpret_cast<const unsigned char *>(aData);
  const auto *end = c + aSize;
  while (c < end) {
    if (*c < 0x80) {
      ++c;
      continue;
    }
    // The length of the sequence from its lead byte, and the least code
    // point that needs that length.
    const int length = (*c & 0xE0) == 0xC0   ? 2
                       : (*c & 0xF0) == 0xE0 ? 3
                       : (*c & 0xF8) == 0xF0 ? 4
                                             : 0;
    if (length == 0)
      return false;
    const uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    uint32_t code = *c & (0x7F >> length);
    if (end - c < length)
      return false;
    for (int i = 1; i < length; ++i) {
      if ((c[i] & 0xC0) != 0x80)
        return false;
      code = (code << 6) | (c[i] & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      return false;
    c += length;
  }
  return true;
}

bool HasNonXmlCharacter(const char *aUtf8) {
  for (const auto *c = reinterpret_cast<const unsigned char *>(aUtf8); *c; ++c) {
    if (NonXmlLength(c))
      return true;
  }
  return false;
}

void ParseCatalogXml(pugi::xml_document &aDocument, const QByteArray &aData, const QString &aSource,
                     unsigned aOptions) {
  // A file that is neither declared Latin-1 nor valid UTF-8 is Latin-1 in
  // practice; read as UTF-8 its other bytes would be lost.
  const bool latin1 = DeclaresLatin1(aData) ||
                      (!LooksWide(aData) && !IsValidUtf8(aData.constData(), size_t(aData.size())));
  const pugi::xml_encoding encoding = latin1 ? pugi::encoding_latin1 : pugi::encoding_auto;
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
  // Comments, instructions and the document type are kept, so a save
  // writes them back.
  ParseCatalogXml(mDocument, file.readAll(), QStringLiteral("The catalog file %1").arg(mFileName),
                  cKeepAllNodes);
}

pugi::xml_document tCatalogDocumentC::ParseText(const QByteArray &aText, const QString &aSource) {
  pugi::xml_document document;
  ParseCatalogXml(document, aText, aSource);
  return document;
}

void tCatalogDocumentC::Save() {
  std::ostringstream out;
  DropNonXmlCharacters(mDocument);
  const bool latin1 = PrepareForLatin1(mDocument);
  const tMarkedTextC marked = MarkForReferences(mDocument);
  mDocument.save(out, "\t", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
  RestoreMarkedText(marked);
  std::string text = out.str();
  // A reference beyond Unicode (&#x110000;) leaves bytes that are no UTF-8;
  // they are written as the readers see them, replacement characters.
  if (!IsValidUtf8(text.data(), text.size()))
    text = QString::fromUtf8(text.data(), qsizetype(text.size())).toStdString();
  if (latin1) {
    SaveCatalogFile(mFileName, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" +
                                   Utf8ToLatin1WithReferences(text, !marked.empty()));
    return;
  }
  // Names or comments beyond Latin-1: the file is written in UTF-8 instead,
  // which every reader of catalogs takes, rather than losing them.
  if (!marked.empty())
    text = WithMarkedAsReferences(text);
  SaveCatalogFile(mFileName, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" +
                                 QByteArray(text.data(), qsizetype(text.size())));
}

QString Utf8Text(const char *aText) {
  if (HasNonXmlCharacter(aText))
    return QString::fromStdString(WithoutNonXmlCharacters(aText));
  return QString::fromUtf8(aText, qsizetype(std::strlen(aText)));
}

QString ElementText(const pugi::xml_node &aElement) {
  const pugi::xml_node first = aElement.first_child();
  if (!first)
    return {};
  if (!first.next_sibling() &&
      (first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata))
    return Utf8Text(first.value());
  std::string text;
  // Walked without recursion: an element may nest deeply.
  pugi::xml_node node = first;
  while (node && node != aElement) {
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
      text += node.value();
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node != aElement && !node.next_sibling())
      node = node.parent();
    if (node != aElement)
      node = node.next_sibling();
  }
  return Utf8Text(text.c_str());
}

bool HasElementChild(const pugi::xml_node &aElement) {
  for (const pugi::xml_node child : aElement.children()) {
    if (child.type() == pugi::node_element)
      return true;
  }
  return false;
}
