#pragma once

#include <QString>

#include <pugixml.hpp>

// A catalog file opened for editing: read from ISO-8859-1 (or what the file
// declares) into a DOM, and saved back as ISO-8859-1 with one tab per level,
// through a temporary file, so a failed or interrupted save keeps the
// previous content.
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
  void Save() const;

private:
  QString mFileName;
  pugi::xml_document mDocument;
};

// Parses catalog or store XML; a document declaring ISO-8859-1 is read as
// Latin-1. Raises ECatalogError naming aSource and the line.
void ParseCatalogXml(pugi::xml_document &aDocument, const QByteArray &aData, const QString &aSource,
                     unsigned aOptions = pugi::parse_default);

// The text of an element as the parser delivers it; raises EMelError with
// "Element does not contain a single text node" when it holds more than one
// text.
QString ElementText(const pugi::xml_node &aElement);
QString Utf8Text(const char *aText);
