#pragma once

#include <QString>

#include <pugixml.hpp>

// Parse options that keep comments, processing instructions and the document
// type as nodes.
inline constexpr unsigned cKeepAllNodes =
    pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype;

// A catalog file opened for editing: read from ISO-8859-1 (or what the file
// declares) into a DOM, and saved back as ISO-8859-1 with one tab per level,
// characters beyond Latin-1 as numeric character references, through a
// temporary file, so a failed or interrupted save keeps the previous content.
class tCatalogDocumentC {
public:
  // Reads the file; raises ECatalogError (open and parse errors with the
  // file and line) when it cannot.
  explicit tCatalogDocumentC(const QString &aLocalFileName);
  // A document from text (a store document, which the store sends as it
  // declares).
  static pugi::xml_document ParseText(const QByteArray &aText, const QString &aSource);

  pugi::xml_document &Document() { return mDocument; }
  pugi::xml_node Root() const { return mDocument.document_element(); }
  // Reads the file again, as another writer may have left it.
  void Reload();
  // May turn CDATA sections that hold characters beyond Latin-1 into plain
  // text of the same meaning.
  void Save();

private:
  QString mFileName;
  pugi::xml_document mDocument;
};

// Parses catalog or store XML; a document declaring ISO-8859-1, or one in
// 8-bit text that is not valid UTF-8, is read as Latin-1. Raises
// ECatalogError naming aSource and the line.
void ParseCatalogXml(pugi::xml_document &aDocument, const QByteArray &aData, const QString &aSource,
                     unsigned aOptions = pugi::parse_default);

// The element's whole text content: every text and CDATA below it, in order,
// comments and instructions left out. Every reader and writer of catalog
// fields takes text this way.
QString ElementText(const pugi::xml_node &aElement);
bool HasElementChild(const pugi::xml_node &aElement);
// Text as every reader takes it: characters XML 1.0 cannot hold (control
// characters other than tab, line feed and carriage return, U+FFFE, U+FFFF)
// are left out, as a save leaves them out of the file.
QString Utf8Text(const char *aText);
bool HasNonXmlCharacter(const char *aUtf8);
// Strict UTF-8: no overlong forms, surrogates or code points beyond
// U+10FFFF, as the readers decode it.
bool IsValidUtf8(const char *aData, size_t aSize);
