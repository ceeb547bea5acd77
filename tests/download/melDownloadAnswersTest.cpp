// Answers the demo store never gives, from a loopback server that sends
// canned bytes: the size query and resume rules end them as "Error" and
// leave the local part as it was.
#include "melDownloadFileThread.h"
#include "melDownloadResume.h"
#include "melDownloadTestSupport.h"
#include "melHandOver.h"
#include "melTestEnv.h"

#include <QFile>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

// Answers every HEAD with one text and every GET with another, then closes.
class tCannedServerC {
public:
  tCannedServerC(std::string aHead, std::string aGet)
      : mHead(std::move(aHead)), mGet(std::move(aGet)) {
    mSocket = ListenOnLoopback(mPort, 8);
    if (mSocket < 0)
      return;
    mThread = std::thread([this] { Serve(); });
  }
  ~tCannedServerC() {
    mStop = true;
    shutdown(mSocket, SHUT_RDWR);
    close(mSocket);
    if (mThread.joinable())
      mThread.join();
  }
  QString Url() const { return QStringLiteral("http://127.0.0.1:%1/file.mov").arg(mPort); }
  int mPort = 0;

private:
  void Serve() {
    while (!mStop) {
      const int client = accept(mSocket, nullptr, nullptr);
      if (client < 0)
        return;
      std::string request;
      char buffer[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t count = read(client, buffer, sizeof buffer);
        if (count <= 0)
          break;
        request.append(buffer, size_t(count));
      }
      const std::string &answer = request.rfind("HEAD", 0) == 0 ? mHead : mGet;
      for (size_t sent = 0; sent < answer.size();) {
        const ssize_t count = write(client, answer.data() + sent, answer.size() - sent);
        if (count <= 0)
          break;
        sent += size_t(count);
      }
      close(client);
    }
  }
  std::string mHead;
  std::string mGet;
  int mSocket = -1;
  std::atomic<bool> mStop{false};
  std::thread mThread;
};

std::string Head(const std::string &aLength) {
  return "HTTP/1.1 200 OK\r\nConnection: close\r\n" +
         (aLength.empty() ? std::string() : "Content-Length: " + aLength + "\r\n") + "\r\n";
}

const std::string cWhole = "HTTP/1.1 200 OK\r\nConnection: close\r\nETag: \"a\"\r\n"
                           "Content-Length: 10\r\n\r\n0123456789";

using DownloadAnswersTest = TTempHomeTest;

} // namespace

TEST_F(DownloadAnswersTest, SizeQueryAndResumeFailuresEndAsErrorWithThePartUntouched) {
  OpenTestLog();
  struct tCaseC {
    const char *mName;
    std::string mHead;
    std::string mGet;
    QByteArray mPart; // the local file before; null: none
    int mStatus;
    QByteArray mAfter;
  };
  const tCaseC cases[] = {
      {"a whole answer", Head("10"), cWhole, {}, 0, "0123456789"},
      {"no Content-Length", Head(""), cWhole, {}, 3, ""},
      {"a Content-Length of 0", Head("0"), cWhole, {}, 3, ""},
      {"a Content-Length that is no number", Head("ten"), cWhole, {}, 3, ""},
      {"the size query answered 500",
       "HTTP/1.1 500 Oops\r\nConnection: close\r\nContent-Length: 0\r\n\r\n",
       cWhole,
       {},
       3,
       ""},
      {"a body shorter than announced",
       Head("10"),
       "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 10\r\n\r\n0123",
       {},
       3,
       "0123"},
      {"a range that starts elsewhere", Head("10"),
       "HTTP/1.1 206 Partial\r\nConnection: close\r\nContent-Range: bytes 2-9/10\r\n"
       "Content-Length: 8\r\n\r\n23456789",
       "0123", 3, "0123"},
      {"a range of another size", Head("11"),
       "HTTP/1.1 206 Partial\r\nConnection: close\r\nContent-Range: bytes 4-10/11\r\n"
       "Content-Length: 7\r\n\r\n456789X",
       "0123", 3, "0123"},
      {"the rest of the part", Head("10"),
       "HTTP/1.1 206 Partial\r\nConnection: close\r\nContent-Range: bytes 4-9/10\r\n"
       "Content-Length: 6\r\n\r\n456789",
       "0123", 0, "0123456789"},
  };
  for (const tCaseC &c : cases) {
    SCOPED_TRACE(c.mName);
    const QString local = HomeFile(QStringLiteral("lesson.mov"));
    QFile::remove(local);
    RemoveResumeState(local);
    if (!c.mPart.isNull()) {
      WriteFile(local, c.mPart);
      ASSERT_EQ(WriteResumeState(local, {10, "\"a\""}), QString());
    }
    tCannedServerC server(c.mHead, c.mGet);
    ASSERT_NE(server.mPort, 0);
    tFakeHostC host;
    tHandOverC handOver;
    const qsizetype logged = LogMessages().size();
    {
      TmelDownloadFileThread worker(server.Url(), local, host, handOver);
      worker.Start();
      worker.WaitFor();
    }
    EXPECT_EQ(host.LastStatus(server.Url()), c.mStatus);
    EXPECT_EQ(FileBytes(local), c.mAfter);
    const QStringList lines = LogMessages().mid(logged);
    EXPECT_EQ(lines.contains(QStringLiteral("EOSError occurs!")), c.mStatus == 3);
    EXPECT_EQ(lines.last(), QStringLiteral("Exit from TmelDownloadFileThread.Execute"));
  }
}
