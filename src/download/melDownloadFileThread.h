#pragma once

#include "melStoreClient.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

class tDownloadHostC;
class tHandOverC;

// Fetches one episode file into its local path on a thread of its own,
// appending to a partial file when the store confirms it holds the same
// content, and reports its start, progress and end to the host on the main
// thread through the hand-over.
class TmelDownloadFileThread {
public:
  // Suspended until Start. aLocalFile in the stored form (LocalPath gives
  // the file).
  TmelDownloadFileThread(QString aURL, QString aLocalFile, tDownloadHostC &aHost,
                         tHandOverC &aHandOver);
  // Requests the stop and waits for the body, running its reports.
  ~TmelDownloadFileThread();
  TmelDownloadFileThread(const TmelDownloadFileThread &) = delete;
  TmelDownloadFileThread &operator=(const TmelDownloadFileThread &) = delete;

  // Main thread. Reads the host's request options and starts the body;
  // a worker starts once, later calls change nothing.
  void Start();
  // Any thread: the body stops after the block it is on and reports
  // "Paused".
  void Terminate() { mTerminated = true; }
  bool Terminated() const { return mTerminated; }
  bool Started() const { return mStarted; }
  // The body has returned.
  bool Finished() const { return mFinished; }
  // Main thread: waits for the body, running its reports meanwhile.
  void WaitFor();

  // Runs on the main thread after the body has returned (not when the
  // worker goes before that). May delete the worker.
  std::function<void(TmelDownloadFileThread *)> OnTerminate;

  const QString FURL;
  const QString FLocalFile;
  // The step last shown; read by the reports while the worker waits.
  int32_t FPercent = 0;
  std::atomic<bool> FRunning{false};
  bool FFailed = false;

  struct tTransferC;
  // The transfer's steps, called from libcurl on the worker's thread.
  bool Open(tTransferC &aTransfer);
  bool Receive(tTransferC &aTransfer, const char *aData, size_t aSize);

private:
  void Execute();
  void Body();
  void ReportStarted();
  void ReportProgress();
  void ReportCompleted();
  void ReportError();
  void ReportPaused();
  void Report(void (TmelDownloadFileThread::*aReport)());

  tDownloadHostC &mHost;
  tHandOverC &mHandOver;
  tStoreRequestOptionsC mOptions;
  std::atomic<bool> mTerminated{false};
  std::atomic<bool> mFinished{false};
  bool mStarted = false;
  std::thread mThread;
};
