#include "melExportController.h"

#include "melCatalog.h"
#include "melErrors.h"
#include "melLogging.h"
#include "melMediaLibrary.h"
#include "melMessages.h"
#include "melPaths.h"
#include "melRegistry.h"
#include "melStoreAddresses.h"
#include "melTopLevelWindows.h"
#include "melUtil.h"

#include <QDesktopServices>
#include <QDialog>
#include <QGuiApplication>
#include <QUrl>
#include <QWidget>

namespace {

// A text of the Options key; empty when it is not set.
QString ReadOption(const QString &aName) {
  TRegistry registry;
  if (!registry.OpenKeyReadOnly(cOptionsKey) || !registry.ValueExists(aName))
    return {};
  return registry.ReadString(aName);
}

// Windows can be brought forward only on a real display.
bool OnWindowSystem() {
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void OpenStorePage(const QString &aPath) {
  // The secure base: the user's browser checks whose update page it shows.
  OpenThroughDesktop(QUrl(ReadStoreAddresses().SecureBase() + aPath));
}

} // namespace

TExportController::TExportController(const std::unique_ptr<tCatalogC> &aCatalog, QObject *aParent)
    : QObject(aParent), FCatalog(aCatalog) {}

void TExportController::ExportCurrentEpisode() {
  const QString path = FCurrentPath ? FCurrentPath() : QString();
  if (path.isEmpty())
    throw EMelError(QStringLiteral("No lesson has been opened to export"));
  tCatalogItemC *item = FCatalog ? FCatalog->FindItem(path) : nullptr;
  auto *episode = dynamic_cast<tFileItemC *>(item);
  if (!episode)
    throw EMelError(
        QStringLiteral("The lesson %1 is no longer in the catalog; nothing was exported")
            .arg(path));
  // Settings first: a bad value stops the export before anything is written.
  const QString playerFolder = ReadOption(cPortablePlayerFolderValue).trimmed();
  const QString playerTitle = ReadOption(cPlayerWindowTitleValue);

  const QString file =
      LocalFileExists(episode->mIPodFile) ? episode->mIPodFile : episode->mFilename;
  // A playlist entry for a file that is not there would only fail in the
  // player, long after the export claimed success.
  if (!LocalFileExists(file))
    throw EMelError(QStringLiteral("The file of the lesson %1 is missing: %2")
                        .arg(episode->mName, LocalPath(file)));

  const QString playlist = FindOrCreatePlaylist(cExportPlaylist);
  AddToPlaylist(playlist, LocalPath(file), episode->mName);
  WriteLog(QStringLiteral("Exported %1 to the playlist %2").arg(LocalPath(file), playlist));
  if (!playerFolder.isEmpty()) {
    const QString folder = LocalPath(ExpandRelativePath(ProgramFolder(), playerFolder));
    if (UpdatePortablePlayer(playlist, folder))
      WriteLog(QStringLiteral("Updated the portable player %1").arg(folder));
  }
  // The lesson is in the playlist now: a desktop without a player for it
  // does not turn the export into a failure.
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(playlist)))
    WriteLog(QStringLiteral("The desktop has no program that opens %1").arg(playlist));
  if (!playerTitle.isEmpty() && OnWindowSystem())
    RaiseWindowTitled(playerTitle);
}

void TExportController::Export1Click() {
  Guarded([this] { ExportCurrentEpisode(); }, FMainWindow);
}

void TExportController::SupportPage1Click() {
  Guarded([] { OpenStorePage(QStringLiteral("/support.php")); }, FMainWindow);
}

void TExportController::CheckVersion1Click() {
  Guarded([] { OpenStorePage(QStringLiteral("/pc-updates.php?version=") + GetProgramVersion()); },
          FMainWindow);
}

void TExportController::About1Click() {
  Guarded(
      [this] {
        if (FAbout)
          FAbout->exec();
      },
      FMainWindow);
}

void TExportController::Exit1Click() {
  Guarded(
      [this] {
        if (FMainWindow)
          FMainWindow->close();
      },
      FMainWindow);
}
