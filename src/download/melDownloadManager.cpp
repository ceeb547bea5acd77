#include "melDownloadManager.h"

#include "melCatalog.h"
#include "melCatalogDocument.h"
#include "melDownloadFileThread.h"
#include "melDownloadHost.h"
#include "melPaths.h"
#include "ocLists.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>

namespace {

QString FolderOf(const QString &aFileName) {
  const qsizetype slash = std::max(aFileName.lastIndexOf(u'\\'), aFileName.lastIndexOf(u'/'));
  return aFileName.left(slash + 1);
}

pugi::xml_node ChildElement(const pugi::xml_node &aElement, const char *aName) {
  for (pugi::xml_node child = aElement.first_child(); child; child = child.next_sibling())
    if (child.type() == pugi::node_element && std::strcmp(child.name(), aName) == 0)
      return child;
  return {};
}

} // namespace

TmelDownloadManager::TmelDownloadManager(tDownloadHostC &aHost) : FMain(aHost) {}

TmelDownloadManager::~TmelDownloadManager() {
  StopAll();
}

void TmelDownloadManager::StartDownloads() {
  if (mShuttingDown)
    return;
  if (FThreads.isEmpty())
    ScanCatalogFile(FMain.CatalogFilePath());
  if (FThreads.isEmpty() || !FMain.CheckStoreLogin())
    return;
  TmelDownloadFileThread *first = FThreads.first();
  first->OnTerminate = [this](TmelDownloadFileThread *aWorker) { ThreadFinished(aWorker); };
  first->Start();
}

void TmelDownloadManager::ScanCatalogFile(const QString &aCatalogPath) {
  const QString local = LocalPath(aCatalogPath);
  QFile file(local);
  if (!file.open(QIODevice::ReadOnly))
    throw ECatalogError(
        QStringLiteral("Cannot open the catalog file %1: %2").arg(local, file.errorString()));
  pugi::xml_document document;
  ParseCatalogXml(document, file.readAll(), QStringLiteral("The catalog file %1").arg(local));
  ScanNode(document.document_element());
}

void TmelDownloadManager::ScanNode(const pugi::xml_node &aElement) {
  if (std::strcmp(aElement.name(), "File") != 0) {
    for (pugi::xml_node child = aElement.first_child(); child; child = child.next_sibling())
      if (child.type() == pugi::node_element)
        ScanNode(child);
    return;
  }
  const pugi::xml_node status = ChildElement(aElement, "Status");
  if (!status)
    return;
  const QString text = ElementText(status);
  if (text != QStringLiteral("Not downloaded") && text != QStringLiteral("Downloading"))
    return;
  const pugi::xml_node url = ChildElement(aElement, "URL");
  const pugi::xml_node filename = ChildElement(aElement, "Filename");
  // Outside the catalog format: nothing to fetch, or nowhere to put it.
  if (!url || !filename)
    return;
  // Taken as the episode records take them, so pause and resume find the
  // worker by the record's fields.
  const QString address = TrimControl(ElementText(url));
  const QString name = TrimControl(ElementText(filename));
  if (address.isEmpty() || name.isEmpty() || HasURL(address))
    return;
  NewThread(address, LocalPathFor(name));
}

QString TmelDownloadManager::LocalPathFor(const QString &aFilename) {
  const QString result =
      tRelativePathResolverC(FolderOf(FMain.CatalogFilePath())).Resolve(aFilename);
  QDir().mkpath(QFileInfo(LocalPath(result)).absolutePath());
  return result;
}

bool TmelDownloadManager::HasURL(const QString &aURL) const {
  return FindByURL(aURL) != nullptr;
}

TmelDownloadFileThread *TmelDownloadManager::FindByURL(const QString &aURL) const {
  for (TmelDownloadFileThread *worker : FThreads)
    if (worker->FURL == aURL)
      return worker;
  return nullptr;
}

TmelDownloadFileThread *TmelDownloadManager::FindByLocalFile(const QString &aLocalFile) const {
  for (TmelDownloadFileThread *worker : FThreads)
    if (worker->FLocalFile == aLocalFile)
      return worker;
  return nullptr;
}

TmelDownloadFileThread *
TmelDownloadManager::AddThread(std::unique_ptr<TmelDownloadFileThread> aWorker) {
  TmelDownloadFileThread *worker = aWorker.get();
  worker->OnTerminate = [this](TmelDownloadFileThread *aDone) { ThreadFinished(aDone); };
  mWorkers.push_back(std::move(aWorker));
  FThreads.append(worker);
  return worker;
}

TmelDownloadFileThread *TmelDownloadManager::NewThread(const QString &aURL,
                                                       const QString &aLocalFile) {
  return AddThread(std::make_unique<TmelDownloadFileThread>(aURL, aLocalFile, FMain, mHandOver));
}

TmelDownloadFileThread *TmelDownloadManager::CreateThreadFor(const tFileItemC &aEpisode) {
  return NewThread(aEpisode.mURL, aEpisode.mFilename);
}

void TmelDownloadManager::RemoveThread(TmelDownloadFileThread *aWorker) {
  FThreads.removeOne(aWorker);
}

void TmelDownloadManager::PauseDownload(const QString &aLocalFile) {
  if (TmelDownloadFileThread *worker = FindByLocalFile(aLocalFile))
    worker->Terminate();
}

void TmelDownloadManager::ResumeDownload(const tFileItemC &aEpisode) {
  if (mShuttingDown)
    return;
  TmelDownloadFileThread *worker = FindByLocalFile(aEpisode.mFilename);
  if (!worker)
    worker = CreateThreadFor(aEpisode);
  worker->Start();
}

void TmelDownloadManager::Free(TmelDownloadFileThread *aWorker) {
  FThreads.removeOne(aWorker);
  const auto it = std::find_if(mWorkers.begin(), mWorkers.end(),
                               [aWorker](const auto &aOwned) { return aOwned.get() == aWorker; });
  if (it == mWorkers.end())
    return;
  // Out of the list before it goes: its destructor may run other workers'
  // notices, which look at the list.
  std::unique_ptr<TmelDownloadFileThread> owned = std::move(*it);
  mWorkers.erase(it);
  owned.reset();
}

void TmelDownloadManager::ThreadFinished(TmelDownloadFileThread *aWorker) {
  RemoveThread(aWorker);
  Free(aWorker);
  // A notice that arrives during shutdown starts nothing.
  if (!mShuttingDown)
    StartDownloads();
}

void TmelDownloadManager::StopAll() {
  mShuttingDown = true;
  while (!FThreads.isEmpty()) {
    TmelDownloadFileThread *worker = FThreads.takeFirst();
    if (worker->FRunning) {
      worker->OnTerminate = nullptr;
      worker->Terminate();
      // Its final report runs during this wait.
      worker->WaitFor();
    }
    Free(worker);
  }
  while (!mWorkers.empty())
    Free(mWorkers.back().get());
}
