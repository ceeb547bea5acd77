#include "melCatalogFile.h"

#include "melApplications.h"
#include "melAtomicSave.h"
#include "melErrors.h"
#include "melPaths.h"

#include <QFileInfo>

void SaveCatalogFile(const QString &aLocalFileName, const QByteArray &aContent) {
  const QString error =
      SaveFileAtomically(aLocalFileName, aContent, QStringLiteral("catalog file"));
  if (!error.isEmpty())
    throw EMelError(error);
}

void EnsureCatalogFile() {
  const QString fileName = LocalPath(CatalogFilePath());
  if (QFileInfo::exists(fileName))
    return;
  SaveCatalogFile(fileName, cEmptyCatalog);
}
