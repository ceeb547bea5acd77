// Keeping the catalog file in step: status writes, removal, the repair at
// start and the reload that follows every change.
#include "melApplications.h"
#include "melCatalog.h"
#include "melCatalogListView.h"
#include "melCatalogMaintenance.h"
#include "melLogging.h"
#include "melMain.h"
#include "melPaths.h"
#include "melQTControl.h"
#include "melUtil.h"
#include "ui_melMain.h"

namespace {

QString CatalogFile() {
  return LocalPath(CatalogFilePath());
}

} // namespace

void TMain::UpdateEpisodeStatus(const QString &aURL, uint8_t aStatus) {
  UpdateEpisodeStatusInFile(CatalogFile(), aURL, aStatus);
  ui->fContentLv->ResortRows();
}

void TMain::RemoveEpisode(tFileItemC &aEpisode) {
  // Copies: the reload below replaces the tree the episode belongs to.
  const QString name = aEpisode.mName;
  const QString fileName = aEpisode.mFilename;
  const bool downloaded = aEpisode.mStatus == esDownloaded;
  // The catalog is saved before the file goes, so a failed save never leaves
  // a "Downloaded" episode without its file; a failed removal changes
  // nothing, the movie included.
  if (!RemoveEpisodeFromFile(CatalogFile(), name))
    throw EMelError(QStringLiteral("Cannot find episode for delete"));
  if (downloaded) {
    // The movie must not hold the file open while it goes to the trash.
    fQTControl->SetURL(QString());
    MoveToRecycleBin(fileName, quintptr(winId()));
    WriteLog(QStringLiteral("Delete file: ") + fileName);
  }
  ResetCatalogView();
}

void TMain::ResetCatalogView() {
  TCatalogListView &episodes = *ui->fContentLv;
  episodes.BeginUpdate();
  episodes.Clear();
  episodes.EndUpdate();
  // Two fresh, empty columns, as at start.
  FCategoryColumns.ObjectAt(0)->SelectRow(-1);
  while (FCategoryColumns.Count() > 0) {
    const int last = FCategoryColumns.Count() - 1;
    delete FCategoryColumns.ObjectAt(last);
    delete FCategoryBevels.ObjectAt(last);
    FCategoryColumns.Delete(last);
    FCategoryBevels.Delete(last);
  }
  SetCategoryColumnCount(2);
  ReloadCatalog();
}

void TMain::ResetStatusesAtStart() {
  ResetStatusesInFile(CatalogFile());
  ReloadCatalog();
}

void TMain::ReloadCatalog() {
  if (!FCatalog)
    return;
  FCatalog->Load();
  FCatalog->FillCategoryView(*FCategoryColumns.ObjectAt(0), QStringLiteral("\\"));
}
