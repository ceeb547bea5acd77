// The catalog reader on any bytes: it either refuses the file with an error
// or reads a tree; and a tree it read survives the editing document's save
// unchanged.
#include "melCatalog.h"
#include "melCatalogDocument.h"
#include "melCatalogSnapshot.h"
#include "melFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aData, size_t aSize) {
  static const QString file = FuzzHome() + QStringLiteral("Catalog.xml");
  WriteFuzzFile(file, QByteArray(reinterpret_cast<const char *>(aData), qsizetype(aSize)));
  QStringList before;
  try {
    const tCatalogC catalog(file);
    before = CatalogSnapshot(catalog);
    (void)catalog.FindItem(QStringLiteral("\\a\\b"));
  } catch (const EMelError &) {
    return 0;
  }
  try {
    tCatalogDocumentC document(file);
    document.Save();
  } catch (const EMelError &e) {
    FuzzFailure("a catalog the reader takes cannot be saved", e.Message());
  }
  try {
    const tCatalogC again(file);
    const QStringList after = CatalogSnapshot(again);
    if (after != before)
      FuzzFailure("a save changed the catalog's text",
                  before.join(u'\n') + QStringLiteral("\n--- after the save ---\n") +
                      after.join(u'\n'));
  } catch (const EMelError &e) {
    FuzzFailure("a saved catalog cannot be read again", e.Message());
  }
  return 0;
}
