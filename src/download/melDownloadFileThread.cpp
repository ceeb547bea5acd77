#include "melDownloadFileThread.h"

#include "melDownloadHost.h"
#include "melDownloadResume.h"
#include "melHandOver.h"
#include "melLogging.h"
#include "melPaths.h"

#include <QFile>
#include <QUrl>

#include <curl/curl.h>

#include <exception>
#include <memory>
#include <optional>

namespace {

constexpr uint8_t cDownloaded = 0;
constexpr uint8_t cDownloading = 2;
constexpr uint8_t cError = 3;
constexpr uint8_t cPaused = 4;

// A log that cannot be written does not stop a transfer.
void Log(const QString &aMessage) {
  try {
    WriteLog(aMessage);
  } catch (const std::exception &) {
  }
}

struct tCurlDeleterC {
  void operator()(CURL *aCurl) const { curl_easy_cleanup(aCurl); }
};
struct tListDeleterC {
  void operator()(curl_slist *aList) const { curl_slist_free_all(aList); }
};

} // namespace

struct TmelDownloadFileThread::tTransferC {
  CURL *mCurl = nullptr;
  QFile mFile;
  int64_t mDone = 0; // bytes the local file holds
  std::optional<tResumeStateC> mState;
  bool mRanged = false; // asked for the rest after mDone
  QList<std::pair<QByteArray, QByteArray>> mHeaders;
  bool mOpened = false;
  bool mComplete = false; // the store says the local file is whole
  int64_t mTotal = 0;
  std::optional<tProgressRuleC> mRule;
  QString mFailure; // set: the transfer failed

  void Fail(const QString &aWhy) {
    if (mFailure.isEmpty())
      mFailure = aWhy;
  }
};

namespace {

size_t OnHeader(char *aData, size_t aSize, size_t aCount, void *aUser) {
  auto *pair =
      static_cast<std::pair<TmelDownloadFileThread *, TmelDownloadFileThread::tTransferC *> *>(
          aUser);
  const size_t length = aSize * aCount;
  const QByteArray line(aData, qsizetype(length));
  if (line != "\r\n" && line != "\n") {
    AddResponseHeaderLine(pair->second->mHeaders, line);
    return length;
  }
  long status = 0;
  curl_easy_getinfo(pair->second->mCurl, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200)
    return length;
  if (status >= 300 && status < 400) {
    char *next = nullptr;
    curl_easy_getinfo(pair->second->mCurl, CURLINFO_REDIRECT_URL, &next);
    if (next)
      return length; // libcurl follows it; the next answer's head follows
  }
  return pair->first->Open(*pair->second) ? length : 0;
}

size_t OnBody(char *aData, size_t aSize, size_t aCount, void *aUser) {
  auto *pair =
      static_cast<std::pair<TmelDownloadFileThread *, TmelDownloadFileThread::tTransferC *> *>(
          aUser);
  const size_t length = aSize * aCount;
  return pair->first->Receive(*pair->second, aData, length) ? length : 0;
}

int OnProgress(void *aUser, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<TmelDownloadFileThread *>(aUser)->Terminated() ? 1 : 0;
}

} // namespace

TmelDownloadFileThread::TmelDownloadFileThread(QString aURL, QString aLocalFile,
                                               tDownloadHostC &aHost, tHandOverC &aHandOver)
    : FURL(std::move(aURL)), FLocalFile(std::move(aLocalFile)), mHost(aHost), mHandOver(aHandOver) {
}

TmelDownloadFileThread::~TmelDownloadFileThread() {
  Terminate();
  if (mThread.joinable()) {
    WaitFor();
    mThread.join();
  }
  mHandOver.Cancel(this);
}

void TmelDownloadFileThread::Start() {
  if (mStarted)
    return;
  // Read first: when it fails, the worker can still be started later.
  mOptions = mHost.StoreRequestOptions();
  mStarted = true;
  static const bool curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  (void)curlReady;
  mThread = std::thread([this] { Execute(); });
}

void TmelDownloadFileThread::WaitFor() {
  if (!mStarted)
    return;
  mHandOver.WaitUntil([this] { return mFinished.load(); });
}

void TmelDownloadFileThread::Execute() {
  try {
    Body();
  } catch (const std::exception &e) {
    // Only a report's own failure gets here; the body has closed its files.
    Log(QStringLiteral("Download failed: ") + QString::fromUtf8(e.what()));
  } catch (...) {
  }
  FRunning = false;
  mHandOver.Post(this, [this] {
    if (OnTerminate) {
      const auto notify = OnTerminate; // the call may delete this worker
      notify(this);
    }
  });
  mFinished = true;
  mHandOver.Wake();
}

void TmelDownloadFileThread::Report(void (TmelDownloadFileThread::*aReport)()) {
  mHandOver.Call(this, [this, aReport] { (this->*aReport)(); });
}

void TmelDownloadFileThread::ReportStarted() {
  mHost.UpdateEpisodeStatus(FURL, cDownloading);
  mHost.ReportProgress(FURL, FLocalFile, FPercent);
  mHost.ReloadCatalog();
}

void TmelDownloadFileThread::ReportProgress() {
  mHost.ReportProgress(FURL, FLocalFile, FPercent);
}

void TmelDownloadFileThread::ReportCompleted() {
  mHost.UpdateEpisodeStatus(FURL, cDownloaded);
  FPercent = 100;
  mHost.ReportProgress(FURL, FLocalFile, FPercent);
  mHost.ReloadCatalog();
}

void TmelDownloadFileThread::ReportError() {
  mHost.UpdateEpisodeStatus(FURL, cError);
  mHost.ReloadCatalog();
}

void TmelDownloadFileThread::ReportPaused() {
  mHost.UpdateEpisodeStatus(FURL, cPaused);
  mHost.ReloadCatalog();
}

bool TmelDownloadFileThread::Open(tTransferC &aTransfer) {
  aTransfer.mOpened = true;
  long status = 0;
  curl_easy_getinfo(aTransfer.mCurl, CURLINFO_RESPONSE_CODE, &status);
  if (status >= 400 && !(status == 416 && aTransfer.mRanged)) {
    aTransfer.Fail(QStringLiteral("The store answered %1.").arg(status));
    return false;
  }
  std::optional<tContentRangeC> range;
  bool restart = false;
  if (status == 206 && aTransfer.mRanged) {
    // Appended only where it continues the partial file of the same content.
    range =
        ParseContentRange(HeaderValue({0, {}, aTransfer.mHeaders, {}}, "Content-Range").toLatin1());
    if (!range || range->mFirst != aTransfer.mDone || range->mTotal != aTransfer.mState->mTotal) {
      aTransfer.Fail(QStringLiteral("The store's range does not continue the partial file."));
      return false;
    }
  } else if (status == 416 && aTransfer.mRanged) {
    // Nothing after the local size: whole, if the size is the file's.
  } else if (status == 200) {
    restart = true;
  } else {
    aTransfer.Fail(QStringLiteral("The store answered %1.").arg(status));
    return false;
  }

  Log(QStringLiteral("Start download:") + FURL);
  QString length;
  try {
    length = QueryResponseHeader(FURL, "Content-Length", mOptions);
  } catch (const EStoreRequestError &e) {
    aTransfer.Fail(e.Message());
    return false;
  }
  const auto total = ParseByteCount(length.trimmed().toLatin1());
  if (!total || *total == 0) {
    aTransfer.Fail(QStringLiteral("Cannot retrieve file size."));
    return false;
  }
  aTransfer.mTotal = *total;
  if (range && range->mTotal != aTransfer.mTotal) {
    aTransfer.Fail(QStringLiteral("The store's file changed during the transfer."));
    return false;
  }
  if (status == 416) {
    if (aTransfer.mDone != aTransfer.mTotal) {
      aTransfer.Fail(QStringLiteral("The store refused the resume position."));
      return false;
    }
    aTransfer.mComplete = true;
  }
  if (restart) {
    curl_off_t announced = -1;
    curl_easy_getinfo(aTransfer.mCurl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    if (announced >= 0 && announced != aTransfer.mTotal) {
      aTransfer.Fail(QStringLiteral("The store's file changed during the transfer."));
      return false;
    }
    // The whole file again: whatever the partial file held goes.
    if (aTransfer.mDone > 0 && (!aTransfer.mFile.resize(0) || !aTransfer.mFile.seek(0))) {
      aTransfer.Fail(aTransfer.mFile.errorString());
      return false;
    }
    aTransfer.mDone = 0;
    const auto validator = ResumeValidator(aTransfer.mHeaders);
    if (validator) {
      aTransfer.mState = tResumeStateC{aTransfer.mTotal, *validator};
      if (!WriteResumeState(LocalPath(FLocalFile), *aTransfer.mState).isEmpty())
        aTransfer.mState.reset();
    }
    if (!aTransfer.mState)
      RemoveResumeState(LocalPath(FLocalFile));
  }
  aTransfer.mRule.emplace(aTransfer.mTotal, aTransfer.mDone);
  FPercent = aTransfer.mRule->Percent();
  Report(&TmelDownloadFileThread::ReportStarted);
  return !aTransfer.mComplete && !Terminated();
}

bool TmelDownloadFileThread::Receive(tTransferC &aTransfer, const char *aData, size_t aSize) {
  if (!aTransfer.mRule)
    return false;
  if (aTransfer.mRule->Done() + int64_t(aSize) > aTransfer.mTotal) {
    aTransfer.Fail(QStringLiteral("The store sent more than the file's size."));
    return false;
  }
  if (aTransfer.mFile.write(aData, qint64(aSize)) != qint64(aSize)) {
    aTransfer.Fail(aTransfer.mFile.errorString());
    return false;
  }
  aTransfer.mDone += int64_t(aSize);
  for (const int32_t percent : aTransfer.mRule->Received(int64_t(aSize))) {
    FPercent = percent;
    Report(&TmelDownloadFileThread::ReportProgress);
  }
  return !Terminated();
}

void TmelDownloadFileThread::Body() {
  FRunning = true;
  if (Terminated())
    return;
  Log(QStringLiteral("Enter to TmelDownloadFileThread.Execute"));
  FFailed = false;
  Log(QStringLiteral("FLocalFile: ") + FLocalFile);

  tTransferC transfer;
  const QString local = LocalPath(FLocalFile);
  transfer.mFile.setFileName(local);
  // Unbuffered: every chunk is on disk once written.
  if (transfer.mFile.exists()) {
    Log(QStringLiteral("LocalFile exists"));
    if (transfer.mFile.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
      transfer.mDone = transfer.mFile.size();
      if (!transfer.mFile.seek(transfer.mDone))
        transfer.Fail(transfer.mFile.errorString());
    } else {
      transfer.Fail(transfer.mFile.errorString());
    }
  } else {
    Log(QStringLiteral("LocalFile not exist"));
    if (!transfer.mFile.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
      transfer.Fail(transfer.mFile.errorString());
  }
  if (transfer.mDone > 0) {
    // A partial file is continued only against the content it came from.
    transfer.mState = ReadResumeState(local);
    transfer.mRanged = transfer.mState && transfer.mDone <= transfer.mState->mTotal;
  }

  std::unique_ptr<CURL, tCurlDeleterC> curl;
  std::unique_ptr<curl_slist, tListDeleterC> headers;
  CURLcode result = CURLE_OK;
  char error[CURL_ERROR_SIZE] = {};
  if (transfer.mFailure.isEmpty()) {
    curl.reset(curl_easy_init());
    if (!curl)
      transfer.Fail(QStringLiteral("The transfer cannot be made."));
  }
  if (transfer.mFailure.isEmpty()) {
    CURL *handle = curl.get();
    transfer.mCurl = handle;
    std::pair<TmelDownloadFileThread *, tTransferC *> user{this, &transfer};
    const QByteArray address = FURL.toUtf8();
    curl_easy_setopt(handle, CURLOPT_URL, address.constData());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, "Melodra/2.0.0");
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, long(mOptions.mConnectTimeoutMs));
    // A store that stops sending for a minute has dropped the transfer.
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, 60L);
    // Larger pieces than libcurl's 16 KiB: a fifth of the writes and calls.
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, 128L * 1024);
    ApplyStoreTransport(handle, mOptions);

    headers.reset(curl_slist_append(nullptr, "Accept: */*"));
    // The session is the store's alone.
    if (const QByteArray line = StoreCookieLine(FURL, mOptions); !line.isEmpty())
      headers.reset(curl_slist_append(headers.release(), line.constData()));
    QByteArray rangeText;
    if (transfer.mRanged) {
      rangeText = QByteArray::number(qint64(transfer.mDone)) + '-';
      curl_easy_setopt(handle, CURLOPT_RANGE, rangeText.constData());
      const QByteArray ifRange = "If-Range: " + transfer.mState->mValidator;
      headers.reset(curl_slist_append(headers.release(), ifRange.constData()));
    }
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &user);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &user);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this);
    result = curl_easy_perform(handle);

    if (transfer.mFailure.isEmpty() && !transfer.mComplete && !Terminated()) {
      if (result != CURLE_OK)
        transfer.Fail(QString::fromUtf8(*error ? error : curl_easy_strerror(result)));
      else if (!transfer.mOpened || !transfer.mRule)
        transfer.Fail(QStringLiteral("The store sent no answer."));
      else if (transfer.mDone != transfer.mTotal)
        // Kept for a resume: the store sent less than it announced.
        transfer.Fail(QStringLiteral("The transfer ended after %1 of %2 bytes.")
                          .arg(transfer.mDone)
                          .arg(transfer.mTotal));
      else
        for (const int32_t percent : transfer.mRule->Ended()) {
          FPercent = percent;
          Report(&TmelDownloadFileThread::ReportProgress);
        }
    }
  }

  if (!transfer.mFailure.isEmpty()) {
    FFailed = true;
    Terminate();
    Log(QStringLiteral("EOSError occurs!"));
    Log(QStringLiteral("Download failed: ") + transfer.mFailure);
  }
  curl.reset();
  Log(QStringLiteral("THREADING: CloseHandle hURL"));
  headers.reset();
  Log(QStringLiteral("THREADING: CloseHandle hInet"));
  transfer.mFile.close();
  FRunning = false;
  if (FFailed) {
    Report(&TmelDownloadFileThread::ReportError);
  } else if (Terminated()) {
    Report(&TmelDownloadFileThread::ReportPaused);
  } else {
    RemoveResumeState(local);
    Report(&TmelDownloadFileThread::ReportCompleted);
  }
  Log(QStringLiteral("Exit from TmelDownloadFileThread.Execute"));
}
