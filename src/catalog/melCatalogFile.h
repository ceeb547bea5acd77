#pragma once

#include <QByteArray>
#include <QString>

// The catalog of an application without lessons yet.
inline const QByteArray cEmptyCatalog =
    QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                      "<Catalog version=\"1.0\"/>\n");

// Writes a catalog file so that an interrupted save keeps the previous
// content: a temporary file in the same folder, flushed, renamed over the old
// one. Raises EMelError when it cannot.
void SaveCatalogFile(const QString &aLocalFileName, const QByteArray &aContent);

// Creates the current application's catalog file as the empty catalog when it
// does not exist; an existing file is left untouched.
void EnsureCatalogFile();
