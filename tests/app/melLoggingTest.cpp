#include "melLogging.h"
#include "melTestEnv.h"

#include <QFile>
#include <QRegularExpression>

#include <thread>
#include <vector>

namespace {

class LogTest : public TTempHomeTest {};

TEST_F(LogTest, LinesCarryATimeStampAndEndWithCrLf) {
  OpenTestLog();
  WriteLog(QStringLiteral("first"));
  WriteLog(QStringLiteral("two\r\nlines"));
  CloseLog();
  const QString text = QString::fromUtf8(ReadFile(HomeFile(QStringLiteral("log.txt"))));
  static const QRegularExpression line(QStringLiteral(
      "^\\[[^\\]]+ \\d{1,2}:\\d{2}:\\d{2}[^\\]]*\\] first\r\n\\[[^\\]]+\\] two\r\nlines\r\n$"));
  EXPECT_TRUE(line.match(text).hasMatch()) << text.toStdString();
}

struct tSizeCase {
  qint64 mSize;
  bool mKept;
};

class LogSizeTest : public LogTest, public ::testing::WithParamInterface<tSizeCase> {};

TEST_P(LogSizeTest, AppendsBelowTheLimitAndStartsAnewAtIt) {
  const QString log = HomeFile(QStringLiteral("log.txt"));
  WriteFile(log, QByteArray(GetParam().mSize, 'x'));
  OpenTestLog();
  WriteLog(QStringLiteral("next start"));
  CloseLog();
  const QByteArray text = ReadFile(log);
  EXPECT_EQ(text.startsWith("xxx"), GetParam().mKept);
  EXPECT_TRUE(text.endsWith("] next start\r\n"));
  if (!GetParam().mKept) {
    EXPECT_TRUE(text.startsWith('['));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, LogSizeTest,
                         ::testing::Values(tSizeCase{10, true}, tSizeCase{cLogSizeLimit - 1, true},
                                           tSizeCase{cLogSizeLimit, false},
                                           tSizeCase{cLogSizeLimit + 500, false}));

TEST_F(LogTest, ThreadsNeverMixLines) {
  OpenTestLog();
  constexpr int cThreads = 8;
  constexpr int cLines = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < cThreads; ++t)
    threads.emplace_back([t] {
      // Long lines make a torn write likely if appends were not serialized.
      const QString payload(300, QChar(u'a' + t));
      for (int i = 0; i < cLines; ++i)
        WriteLog(QStringLiteral("T%1 %2 ").arg(t).arg(i) + payload);
    });
  for (auto &thread : threads)
    thread.join();
  CloseLog();
  const QStringList lines = LogMessages();
  ASSERT_EQ(lines.size(), cThreads * cLines);
  static const QRegularExpression shape(QStringLiteral("^T(\\d) \\d+ ([a-h])\\2{299}$"));
  for (const QString &line : lines) {
    const auto match = shape.match(line);
    ASSERT_TRUE(match.hasMatch()) << line.left(80).toStdString();
    EXPECT_EQ(match.captured(1).toInt(), match.captured(2)[0].unicode() - u'a');
  }
}

TEST_F(LogTest, AFolderThatCannotHoldTheLogFailsToOpen) {
  WriteFile(HomeFile(QStringLiteral("plain")), "x");
  qputenv("MELODRA_HOME", QFile::encodeName(HomeFile(QStringLiteral("plain"))));
  try {
    OpenLog();
    FAIL() << "the log opened";
  } catch (const EInOutError &e) {
    EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot open the log file "))) << e.what();
  }
  EXPECT_FALSE(IsLogOpen());
  EXPECT_THROW(WriteLog(QStringLiteral("lost")), EInOutError);
}

TEST_F(LogTest, FailedSystemCallsAreLoggedAndRaised) {
  OpenTestLog();
  struct tCase {
    int mErrno;
    QString mText;
  };
  const tCase cases[] = {
      {ENOENT, QStringLiteral("System Error.  Code: 2.\r\nNo such file or directory")},
      {0, QStringLiteral("A call to an OS function failed")},
  };
  for (const tCase &c : cases) {
    errno = c.mErrno;
    try {
      CheckOSResult(0);
      FAIL() << "no failure raised";
    } catch (const EOSError &e) {
      EXPECT_EQ(e.ErrorCode, c.mErrno);
      EXPECT_EQ(e.Message(), c.mText);
    }
  }
  EXPECT_EQ(CheckOSResult(7), 7);
  CloseLog();
  EXPECT_EQ(LogMessages(), (QStringList{QStringLiteral("System Error.  Code: 2."),
                                        QStringLiteral("No such file or directory"),
                                        QStringLiteral("A call to an OS function failed")}));
}

} // namespace
