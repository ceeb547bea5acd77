// A store document of any bytes merged into a small catalog: the merge either
// refuses it or leaves a catalog the reader takes, and merging the same
// document again changes nothing.
#include "melCatalog.h"
#include "melCatalogDocument.h"
#include "melCatalogFile.h"
#include "melFuzzSupport.h"
#include "melStoreImport.h"

namespace {

const QByteArray cLocal = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                          "<Catalog version=\"1.0\"><Category name=\"Guitar\">"
                          "<Category name=\"Rock\"><Category name=\"Riffs\">"
                          "<File name=\"riff1\"><Filename>video\\riff1.mov</Filename>"
                          "<URL>https://store.example/riff1.mov</URL>"
                          "<Status>Downloaded</Status></File></Category></Category>"
                          "</Category></Catalog>\n";

// Merges once; true when the merge raised.
bool Merge(const pugi::xml_document &aStore, const QString &aFile) {
  try {
    tCatalogDocumentC local(aFile);
    MergeStoreCatalog(aStore, local);
    return false;
  } catch (const EMelError &) {
    return true;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aData, size_t aSize) {
  static const QString file = FuzzHome() + QStringLiteral("Catalog.xml");
  pugi::xml_document store;
  try {
    store = tCatalogDocumentC::ParseText(
        QByteArray(reinterpret_cast<const char *>(aData), qsizetype(aSize)),
        QStringLiteral("The store catalog"));
  } catch (const EMelError &) {
    return 0;
  }
  if (!store.document_element())
    return 0;
  WriteFuzzFile(file, cLocal);
  const bool failed = Merge(store, file);
  const QByteArray first = ReadFuzzFile(file);
  try {
    const tCatalogC catalog(file);
  } catch (const EMelError &e) {
    FuzzFailure("the merge left a catalog the reader refuses",
                e.Message() + u'\n' + QString::fromLatin1(first));
  }
  if (Merge(store, file) != failed)
    FuzzFailure("a second merge of the same document ended otherwise");
  const QByteArray second = ReadFuzzFile(file);
  if (second != first)
    FuzzFailure("a second merge of the same document changed the catalog",
                QString::fromLatin1(first) + QStringLiteral("\n--- second ---\n") +
                    QString::fromLatin1(second));
  return 0;
}
