#pragma once

#include <QByteArray>
#include <QString>

#include <pugixml.hpp>

#include <functional>
#include <optional>

class tCatalogDocumentC;

// Writes the catalog of an application without lessons.
void WriteEmptyCatalog(const QString &aLocalCatalogFile);

// Adds the store's episodes that the catalog lacks: the store document holds
// groups of items, each naming its instrument, category, sub-category and
// file. All items are merged into the file as it is now, read once, and saved once; an
// item that fails leaves nothing of itself, and the ones before it are saved
// before the error goes on. Raises EMelError for an item that cannot be
// merged.
void MergeStoreCatalog(const pugi::xml_document &aStore, tCatalogDocumentC &aLocal);

// Brings the store's items into the current application's catalog file,
// creating the file first when it is missing. aFetch gives the store
// document, or nothing when it could not be fetched.
using tStoreFetchFn = std::function<std::optional<QByteArray>()>;
void ImportStoreCatalog(const tStoreFetchFn &aFetch);
