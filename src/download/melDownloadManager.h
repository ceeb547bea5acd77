#pragma once

#include "melHandOver.h"

#include <QList>
#include <QString>

#include <memory>
#include <vector>

namespace pugi {
class xml_node;
}

class TmelDownloadFileThread;
class tDownloadHostC;
class tFileItemC;

// The main window's queue of download workers: filled from the catalog file
// with every episode still to fetch, one automatic transfer at a time, the
// next when one ends; resumed episodes run at once beside it. All calls on
// the main thread.
class TmelDownloadManager {
public:
  explicit TmelDownloadManager(tDownloadHostC &aHost);
  // StopAll.
  ~TmelDownloadManager();
  TmelDownloadManager(const TmelDownloadManager &) = delete;
  TmelDownloadManager &operator=(const TmelDownloadManager &) = delete;

  // Scans the catalog when the queue is empty, then starts the first queued
  // worker if the user is logged in. Raises ECatalogError for a catalog
  // that cannot be read (the queue stays empty).
  void StartDownloads();
  void ScanCatalogFile(const QString &aCatalogPath);
  void ScanNode(const pugi::xml_node &aElement);
  // Where an episode's Filename lies: the catalog file's folder + the name,
  // as the episode records resolve it; its folder is made.
  QString LocalPathFor(const QString &aFilename);
  bool HasURL(const QString &aURL) const;
  TmelDownloadFileThread *FindByURL(const QString &aURL) const;
  TmelDownloadFileThread *FindByLocalFile(const QString &aLocalFile) const;
  // Queues a worker; the manager owns it from now on.
  TmelDownloadFileThread *AddThread(std::unique_ptr<TmelDownloadFileThread> aWorker);
  TmelDownloadFileThread *CreateThreadFor(const tFileItemC &aEpisode);
  void RemoveThread(TmelDownloadFileThread *aWorker);
  void PauseDownload(const QString &aLocalFile);
  // The episode's queued worker, or a new one, starts now.
  void ResumeDownload(const tFileItemC &aEpisode);
  // A worker's body has returned: it goes, and the queue moves on.
  void ThreadFinished(TmelDownloadFileThread *aWorker);
  // Shutdown: every running worker is stopped and waited for (its reports
  // still run, so it ends "Paused"); the rest are dropped. Nothing starts
  // afterwards. Not from inside a host call: the worker whose report that
  // is cannot end before it returns (a window that goes with deleteLater
  // is destroyed from the event loop, which is fine).
  void StopAll();

  const QList<TmelDownloadFileThread *> &Threads() const { return FThreads; }
  tHandOverC &HandOver() { return mHandOver; }
  bool ShuttingDown() const { return mShuttingDown; }

private:
  TmelDownloadFileThread *NewThread(const QString &aURL, const QString &aLocalFile);
  void Free(TmelDownloadFileThread *aWorker);

  tDownloadHostC &FMain;
  // Declared before the workers: they hand over through it until they go.
  tHandOverC mHandOver;
  QList<TmelDownloadFileThread *> FThreads;
  std::vector<std::unique_ptr<TmelDownloadFileThread>> mWorkers;
  bool mShuttingDown = false;
};
