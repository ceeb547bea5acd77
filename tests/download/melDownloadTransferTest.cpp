#include "melDemoStoreProcess.h"
#include "melDownloadFileThread.h"
#include "melDownloadResume.h"
#include "melDownloadTestSupport.h"
#include "melHandOver.h"
#include "melTestEnv.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <iostream>
#include <memory>

namespace {

const QString cFile = QStringLiteral("bass-funk-beginner-1.mov");

class DownloadTransferTest : public TTempHomeTest {
protected:
  void SetUp() override {
    TTempHomeTest::SetUp();
    OpenTestLog();
    mLocal = HomeFile(QStringLiteral("lesson.mov"));
  }

  tDemoStoreProcessC *StartStore(const QStringList &aSwitches) {
    mStores.push_back(std::make_unique<tDemoStoreProcessC>(aSwitches));
    const QString error = mStores.back()->Start();
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return error.isEmpty() ? mStores.back().get() : nullptr;
  }

  QByteArray Source() const {
    return FileBytes(mStores.front()->DataFolder() + QStringLiteral("/files/") + cFile);
  }

  // One transfer into mLocal; stops itself once it has shown aPauseAt.
  int Attempt(tDemoStoreProcessC &aStore, bool aSecure, int aPauseAt = -1) {
    mHost = tFakeHostC();
    mHost.mOptions.mCookie = aStore.LoginCookie();
    mHost.mOptions.mStoreHost = QStringLiteral("127.0.0.1");
    mHost.mOptions.mCertificateFile = aStore.CertificateFile();
    tHandOverC handOver;
    mURL = (aSecure ? aStore.SecureBase() : aStore.PlainBase()) +
           QStringLiteral("/downloadStore/files/") + cFile;
    TmelDownloadFileThread worker(mURL, mLocal, mHost, handOver);
    if (aPauseAt >= 0)
      mHost.mOnProgress = [&](const QString &, const QString &, int aPercent) {
        if (aPercent >= aPauseAt)
          worker.Terminate();
      };
    worker.Start();
    worker.WaitFor();
    EXPECT_FALSE(worker.FRunning);
    return mHost.LastStatus(mURL);
  }

  // The status of the store's last answer to a file GET.
  // The answers to file requests, in the store's log. The store logs an
  // answer once it has sent it, so a client may have it a moment before.
  static QList<int> FileAnswers(const tDemoStoreProcessC &aStore) {
    QList<int> answers;
    static const QRegularExpression line(QStringLiteral("GET /downloadStore/files/\\S+ (\\d+)$"));
    for (const QString &text : aStore.Output()) {
      const auto match = line.match(text.trimmed());
      if (match.hasMatch())
        answers << match.captured(1).toInt();
    }
    return answers;
  }
  static int LastFileAnswer(const tDemoStoreProcessC &aStore, qsizetype aBefore = 0) {
    QDeadlineTimer deadline(5000);
    QList<int> answers = FileAnswers(aStore);
    while (answers.size() <= aBefore && !deadline.hasExpired()) {
      QThread::msleep(10);
      answers = FileAnswers(aStore);
    }
    return answers.isEmpty() ? 0 : answers.last();
  }

  QString mLocal;
  QString mURL;
  tFakeHostC mHost;
  std::vector<std::unique_ptr<tDemoStoreProcessC>> mStores;
};

struct tAttemptC {
  int mStore;
  int mPauseAt; // -1: runs to its end
  int mStatus;  // the last status reported
  int mAnswer;  // the store's answer to its GET
};

struct tSeedC {
  tSeedC() = default;
  tSeedC(bool aExists, QByteArray aBytes, QByteArray aValidator)
      : mExists(aExists), mBytes(std::move(aBytes)), mValidator(std::move(aValidator)) {}
  bool mExists = false;
  QByteArray mBytes;
  QByteArray mValidator; // empty: no resume state beside it
};

struct tRowC {
  const char *mName;
  QList<QStringList> mStores;
  QList<tAttemptC> mAttempts;
  bool mSecure = false;
  tSeedC mSeed = tSeedC();
  // The store changes the file's tail with every request ("#n").
  bool mGenerations = false;
};

} // namespace

TEST_F(DownloadTransferTest, EveryFaultEndsInAFileIdenticalToTheStoresOrInAResumablePart) {
  const QStringList plain;
  const tRowC rows[] = {
      {.mName = "a cut mid-body, resumed until whole",
       .mStores = {{QStringLiteral("--drop-after"), QStringLiteral("120000")}},
       .mAttempts = {{0, -1, 3, 200}, {0, -1, 3, 206}, {0, -1, 0, 206}}},
      {.mName = "pause, then resume over TLS",
       .mStores = {plain},
       .mAttempts = {{0, 30, 4, 200}, {0, -1, 0, 206}},
       .mSecure = true},
      {.mName = "a store that ignores Range: the file starts again",
       .mStores = {plain, {QStringLiteral("--ignore-range")}},
       .mAttempts = {{0, 30, 4, 200}, {1, -1, 0, 200}}},
      {.mName = "a 5xx keeps the part for a later resume",
       .mStores = {plain, {QStringLiteral("--fail-5xx")}},
       .mAttempts = {{0, 30, 4, 200}, {1, -1, 3, 503}, {0, -1, 0, 206}}},
      {.mName = "a changed ETag: the file starts again",
       .mStores = {{QStringLiteral("--change-etag")}},
       .mAttempts = {{0, 30, 4, 200}, {0, -1, 0, 200}},
       .mGenerations = true},
      {.mName = "an empty local file is fetched from the first byte",
       .mStores = {plain},
       .mAttempts = {{0, -1, 0, 200}},
       .mSeed = {true, {}, {}}},
      {.mName = "a part without its validator starts again",
       .mStores = {plain},
       .mAttempts = {{0, -1, 0, 200}},
       .mSeed = {true, QByteArray(5000, 'x'), {}}},
      {.mName = "a part of other content starts again",
       .mStores = {plain},
       .mAttempts = {{0, -1, 0, 200}},
       .mSeed = {true, QByteArray(5000, 'x'), "\"stale\""}},
  };
  int tried = 0, identical = 0, corrupt = 0;
  for (const tRowC &row : rows) {
    SCOPED_TRACE(row.mName);
    QFile::remove(mLocal);
    RemoveResumeState(mLocal);
    mStores.clear();
    QList<tDemoStoreProcessC *> stores;
    for (const QStringList &switches : row.mStores)
      stores.append(StartStore(switches));
    if (stores.contains(nullptr))
      return;
    const QByteArray source = Source();
    const int64_t step = source.size() / 100;
    if (row.mSeed.mExists) {
      WriteFile(mLocal, row.mSeed.mBytes);
      if (!row.mSeed.mValidator.isEmpty()) {
        ASSERT_EQ(WriteResumeState(mLocal, {source.size(), row.mSeed.mValidator}), QString());
      }
    }
    for (const tAttemptC &attempt : row.mAttempts) {
      const qint64 before = QFileInfo(mLocal).size();
      const qsizetype logged = LogMessages().size();
      const qsizetype answered = FileAnswers(*stores[attempt.mStore]).size();
      ++tried;
      EXPECT_EQ(Attempt(*stores[attempt.mStore], row.mSecure, attempt.mPauseAt), attempt.mStatus);
      EXPECT_EQ(LastFileAnswer(*stores[attempt.mStore], answered), attempt.mAnswer);
      const QByteArray local = FileBytes(mLocal);
      const QList<int> progress = mHost.Progress(mURL);
      if (attempt.mAnswer == 206) {
        // A resume shows its step at once; an append continues the part.
        ASSERT_FALSE(progress.isEmpty());
        EXPECT_EQ(progress.first(), before / step);
      } else if (attempt.mAnswer == 200) {
        ASSERT_FALSE(progress.isEmpty());
        EXPECT_EQ(progress.first(), 0);
      }
      if (attempt.mStatus == 0) {
        EXPECT_EQ(progress.last(), 100);
        EXPECT_FALSE(QFile::exists(ResumeStatePath(mLocal)));
        QByteArray expected = source;
        if (row.mGenerations) {
          const QByteArray mark = local.mid(local.lastIndexOf('#'));
          EXPECT_TRUE(QRegularExpression(QStringLiteral("^#\\d+$"))
                          .match(QString::fromLatin1(mark))
                          .hasMatch());
          expected = source.left(source.size() - mark.size()) + mark;
        }
        const bool same = Sha256(local) == Sha256(expected);
        EXPECT_TRUE(same);
        (same ? identical : corrupt)++;
      } else {
        // What arrived stays, and it is the store's file so far.
        EXPECT_TRUE(source.startsWith(local) || row.mGenerations);
        EXPECT_LT(local.size(), source.size());
        if (attempt.mAnswer == 503)
          EXPECT_EQ(local.size(), before);
        else
          EXPECT_GT(local.size(), before);
        if (!source.startsWith(local) && !row.mGenerations)
          ++corrupt;
      }
      if (attempt.mStatus == 4) {
        const QStringList lines = LogMessages().mid(logged);
        const QStringList steps = {QStringLiteral("Enter to TmelDownloadFileThread.Execute"),
                                   QStringLiteral("FLocalFile: ") + mLocal,
                                   before > 0 || row.mSeed.mExists
                                       ? QStringLiteral("LocalFile exists")
                                       : QStringLiteral("LocalFile not exist"),
                                   QStringLiteral("Start download:") + mURL,
                                   QStringLiteral("THREADING: CloseHandle hURL"),
                                   QStringLiteral("THREADING: CloseHandle hInet"),
                                   QStringLiteral("Exit from TmelDownloadFileThread.Execute")};
        EXPECT_EQ(lines, steps);
        EXPECT_EQ(mHost.Statuses(mURL), (QList<int>{2, 4}));
      }
    }
  }
  std::cout << "[ fault matrix ] transfers tried " << tried << ", complete and identical "
            << identical << ", corrupt " << corrupt << "\n";
  EXPECT_EQ(corrupt, 0);
}

TEST_F(DownloadTransferTest, AWholeLocalFileTheStoreHasNothingAfterIsComplete) {
  tDemoStoreProcessC *store = StartStore({});
  ASSERT_TRUE(store);
  ASSERT_EQ(Attempt(*store, false, 10), 4);
  // The rest arrives some other way; the state of the part stays beside it.
  WriteFile(mLocal, Source());
  const qsizetype answered = FileAnswers(*store).size();
  EXPECT_EQ(Attempt(*store, false), 0);
  EXPECT_EQ(LastFileAnswer(*store, answered), 416);
  EXPECT_EQ(mHost.Statuses(mURL), (QList<int>{2, 0}));
  EXPECT_EQ(Sha256(FileBytes(mLocal)), Sha256(Source()));
}

TEST_F(DownloadTransferTest, FailuresBeforeTheBodyEndAsError) {
  tDemoStoreProcessC *store = StartStore({});
  ASSERT_TRUE(store);
  // Not logged in: the store answers 403.
  mHost.mOptions = {};
  {
    tFakeHostC host;
    tHandOverC handOver;
    const QString url = store->PlainBase() + QStringLiteral("/downloadStore/files/") + cFile;
    TmelDownloadFileThread worker(url, mLocal, host, handOver);
    worker.Start();
    worker.WaitFor();
    EXPECT_EQ(host.Statuses(url), (QList<int>{3}));
    EXPECT_TRUE(worker.FFailed);
    // The local file was made before the store was asked.
    EXPECT_TRUE(QFile::exists(mLocal));
  }
  // A local file that cannot be made.
  mLocal = HomeFile(QStringLiteral("no-such-folder/lesson.mov"));
  EXPECT_EQ(Attempt(*store, false), 3);
  EXPECT_FALSE(QFile::exists(mLocal));
  // Nothing listens there.
  {
    tFakeHostC host;
    tHandOverC handOver;
    const QString url = QStringLiteral("http://127.0.0.1:1/downloadStore/files/") + cFile;
    TmelDownloadFileThread worker(url, HomeFile(QStringLiteral("other.mov")), host, handOver);
    worker.Start();
    worker.WaitFor();
    EXPECT_EQ(host.Statuses(url), (QList<int>{3}));
  }
}

TEST_F(DownloadTransferTest, AWorkerStoppedBeforeItRanDoesNothing) {
  tFakeHostC host;
  tHandOverC handOver;
  bool notified = false;
  {
    TmelDownloadFileThread worker(QStringLiteral("http://127.0.0.1:1/x"), mLocal, host, handOver);
    worker.OnTerminate = [&](TmelDownloadFileThread *) { notified = true; };
    worker.Terminate();
    worker.Start();
    worker.WaitFor();
    handOver.RunPending();
  }
  EXPECT_TRUE(notified);
  EXPECT_TRUE(host.mEvents.isEmpty());
  EXPECT_FALSE(QFile::exists(mLocal));
  EXPECT_FALSE(LogMessages().contains(QStringLiteral("Enter to TmelDownloadFileThread.Execute")));
}
