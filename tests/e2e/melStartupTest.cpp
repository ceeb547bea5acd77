// Runs the real program in a temporary program folder and checks what a run
// leaves behind: its log, its catalog file and its exit.
#include "melTestEnv.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QThread>

#include <csignal>

namespace {

class StartupTest : public TTempHomeTest {
protected:
  void Start() { StartIn(mProcess, qEnvironmentVariable("MELODRA_HOME")); }
  static void StartIn(QProcess &aProcess, const QString &aHome) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MELODRA_HOME"), aHome);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    aProcess.setProcessEnvironment(environment);
    aProcess.start(qEnvironmentVariable("MELODRA_TEST_BIN") + QStringLiteral("/melodra"), {});
    ASSERT_TRUE(aProcess.waitForStarted(5000));
  }
  // Waits until the log holds a line; the program writes it when it gets there.
  bool WaitForLogLine(const QString &aLine) {
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
      if (LogMessages().contains(aLine))
        return true;
      if (mProcess.state() == QProcess::NotRunning)
        return false;
      QThread::msleep(20);
    }
    return false;
  }
  void Signal(int aSignal) { ::kill(static_cast<pid_t>(mProcess.processId()), aSignal); }
  // Two applications, so that the start shows the picker.
  void WriteTwoApplications() {
    QStringList registry;
    QImage picture(54, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    for (const QString &key : {QStringLiteral("guitar"), QStringLiteral("piano")}) {
      ASSERT_TRUE(picture.save(HomeFile(key + QStringLiteral(".png"))));
      registry << QStringLiteral(
                      "[HKEY_LOCAL_MACHINE\\Software\\Melodra\\Lessondeck\\Applications\\") +
                      key + u']'
               << QStringLiteral("\"Name\"=\"%1\"").arg(key)
               << QStringLiteral("\"IconUp\"=\"%1.png\"").arg(key)
               << QStringLiteral("\"IconDown\"=\"%1.png\"").arg(key)
               << QStringLiteral("\"Catalog\"=\"%1.xml\"").arg(key);
    }
    WriteRegistry(registry);
  }
  void ExpectCleanExit() {
    ASSERT_TRUE(mProcess.waitForFinished(20000));
    EXPECT_EQ(mProcess.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(mProcess.exitCode(), 0) << mProcess.readAllStandardError().toStdString();
  }
  void TearDown() override {
    if (mProcess.state() != QProcess::NotRunning) {
      mProcess.kill();
      mProcess.waitForFinished();
    }
    TTempHomeTest::TearDown();
  }
  QProcess mProcess;
};

const QStringList cStoreApplicationLines = {
    QStringLiteral("Enter to GetApplication : tApplicationC"),
    QStringLiteral("Entered to melUtil.GetApplications"),
    QStringLiteral(
        "melUtil.GetApplications - \\Software\\Melodra\\Lessondeck\\Application key not found"),
    QStringLiteral("Exit from melUtil.GetApplications"),
    QStringLiteral("vApplications.mCount: 0"),
    QStringLiteral("Entered to melUtil.CheckFilesExisting"),
    QStringLiteral("Exit from melUtil.CheckFilesExisting"),
    QStringLiteral("Exit from GetApplication : tApplicationC"),
    QStringLiteral("Application started, version: 1.5.0.61"),
    QStringLiteral("Detect System Proxy settings - :0"),
};

class FirstStartTest : public StartupTest, public ::testing::WithParamInterface<int> {};

TEST_P(FirstStartTest, UsesTheStoreApplicationAndClosesOnTheSignal) {
  // A fresh folder below the temporary one: the program creates it.
  qputenv("MELODRA_HOME", QFile::encodeName(HomeFile(QStringLiteral("fresh"))));
  Start();
  const auto log = [this] {
    QStringList lines;
    for (const QString &line : QString::fromUtf8(ReadFile(HomeFile("fresh/log.txt")))
                                   .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
      lines << line.mid(line.indexOf(QStringLiteral("] ")) + 2);
    return lines;
  };
  QDeadlineTimer deadline(20000);
  while (!log().contains(cStoreApplicationLines.last()) && !deadline.hasExpired())
    QThread::msleep(20);
  ASSERT_EQ(log(), cStoreApplicationLines);
  Signal(GetParam());
  ExpectCleanExit();
  EXPECT_EQ(log(), cStoreApplicationLines +
                       QStringList{QStringLiteral("Application closed, version: 1.5.0.61")});
  EXPECT_EQ(ReadFile(HomeFile(QStringLiteral("fresh/Catalog.xml"))),
            QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                       "<Catalog version=\"1.0\"/>\n"));
}

INSTANTIATE_TEST_SUITE_P(Signals, FirstStartTest, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto &aInfo) {
                           return std::string(aInfo.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

// The direct children of a process whose name says web engine.
int WebEngineChildren(qint64 aPid) {
  int count = 0;
  for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
    if (!stat.open(QIODevice::ReadOnly))
      continue;
    const QByteArray text = stat.readAll();
    const qsizetype open = text.indexOf('('), close = text.lastIndexOf(')');
    if (open < 0 || close < open)
      continue;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    if (fields.size() > 1 && fields[1].toLongLong() == aPid &&
        text.mid(open + 1, close - open - 1).contains("WebEngine"))
      ++count;
  }
  return count;
}

TEST_F(StartupTest, AStartThatDoesNotOpenTheStoreStartsNoWebEngine) {
  Start();
  ASSERT_TRUE(WaitForLogLine(cStoreApplicationLines.last()));
  // Past the window's deferred start.
  QThread::msleep(1500);
  EXPECT_EQ(WebEngineChildren(mProcess.processId()), 0);
  const QByteArray maps = ReadFile(QStringLiteral("/proc/%1/maps").arg(mProcess.processId()));
  EXPECT_FALSE(maps.contains("WebEngine")) << "the web engine's libraries are not even mapped";
  Signal(SIGTERM);
  ExpectCleanExit();
}

TEST_F(StartupTest, QuittingThePickerEndsTheRunWithoutAWindow) {
  ASSERT_NO_FATAL_FAILURE(WriteTwoApplications());
  Start();
  ASSERT_TRUE(WaitForLogLine(QStringLiteral("show PickApplication")));
  // A termination signal while the picker is up counts as "Quit".
  QThread::msleep(200);
  Signal(SIGTERM);
  ExpectCleanExit();
  const QStringList log = LogMessages();
  EXPECT_EQ(log.last(), QStringLiteral("show PickApplication"));
  EXPECT_TRUE(log.filter(QStringLiteral("Application started")).isEmpty());
  EXPECT_FALSE(QFile::exists(HomeFile(QStringLiteral("guitar.xml"))));
}

TEST_F(StartupTest, ASignalWhileTheStartErrorIsShownClosesTheProgram) {
  // A catalog that cannot be read: the start shows its error and waits.
  WriteFile(HomeFile(QStringLiteral("Catalog.xml")), "<Catalog version=\"1.0\">");
  Start();
  ASSERT_TRUE(WaitForLogLine(QStringLiteral("Application started, version: 1.5.0.61")));
  Signal(SIGTERM);
  ExpectCleanExit();
  EXPECT_EQ(LogMessages().last(), QStringLiteral("Application closed, version: 1.5.0.61"));
  EXPECT_EQ(LogMessages().filter(QStringLiteral("Application started")).size(), 1);
}

TEST_F(StartupTest, ALogThatCannotBeOpenedEndsTheProgramWithItsMessage) {
  WriteFile(HomeFile(QStringLiteral("plain")), "x");
  qputenv("MELODRA_HOME", QFile::encodeName(HomeFile(QStringLiteral("plain"))));
  Start();
  // The program tells why on its error output, then waits in its error box.
  QDeadlineTimer deadline(20000);
  QByteArray errors;
  while (!errors.contains("Cannot open the log file") && !deadline.hasExpired()) {
    mProcess.waitForReadyRead(100);
    errors += mProcess.readAllStandardError();
  }
  EXPECT_TRUE(errors.contains("Melodra: Cannot open the log file " +
                              QFile::encodeName(HomeFile(QStringLiteral("plain/log.txt")))))
      << errors.toStdString();
}

// A second program on the folder of a running one: it brings the first
// forward and ends, whether the first shows its window or still its picker.
class SecondStartTest : public StartupTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SecondStartTest, BringsTheRunningProgramForwardAndEnds) {
  const bool picker = GetParam();
  if (picker) {
    ASSERT_NO_FATAL_FAILURE(WriteTwoApplications());
  }
  const QString firstReady =
      picker ? QStringLiteral("show PickApplication") : cStoreApplicationLines.last();
  Start();
  ASSERT_TRUE(WaitForLogLine(firstReady));

  QProcess second;
  StartIn(second, qEnvironmentVariable("MELODRA_HOME"));
  ASSERT_TRUE(second.waitForFinished(30000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();

  const QStringList log = LogMessages();
  const qsizetype asked =
      log.indexOf(QStringLiteral("Melodra already runs on this program folder, process %1")
                      .arg(mProcess.processId()));
  ASSERT_GE(asked, 0) << log.join(u'\n').toStdString();
  // The first raised its window before it answered.
  EXPECT_EQ(log.mid(asked + 1),
            (QStringList{QStringLiteral("A second start asked to bring the window forward"),
                         QStringLiteral("Brought the running Melodra forward; this start ends")}));
  // The second start chose no application and showed nothing.
  EXPECT_EQ(log.count(firstReady), 1);
  EXPECT_EQ(log.count(QStringLiteral("Enter to GetApplication : tApplicationC")), 1);

  EXPECT_EQ(mProcess.state(), QProcess::Running);
  EXPECT_TRUE(QFile::exists(HomeFile(QStringLiteral(".melodra.lock"))));
  Signal(SIGTERM);
  ExpectCleanExit();
  EXPECT_FALSE(QFile::exists(HomeFile(QStringLiteral(".melodra.lock"))));
}

INSTANTIATE_TEST_SUITE_P(FirstShows, SecondStartTest, ::testing::Bool(), [](const auto &aInfo) {
  return std::string(aInfo.param ? "ThePicker" : "TheWindow");
});

TEST_F(StartupTest, AProgramKilledHardLeavesNoLockThatStopsTheNextStart) {
  Start();
  ASSERT_TRUE(WaitForLogLine(cStoreApplicationLines.last()));
  const qint64 killed = mProcess.processId();
  mProcess.kill();
  ASSERT_TRUE(mProcess.waitForFinished(20000));
  ASSERT_TRUE(QFile::exists(HomeFile(QStringLiteral(".melodra.lock"))));

  Start();
  ASSERT_TRUE(WaitForLogLine(
      QStringLiteral("Took over the program folder's lock from process %1, which has ended")
          .arg(killed)));
  QDeadlineTimer deadline(20000);
  while (LogMessages().count(cStoreApplicationLines.last()) < 2 && !deadline.hasExpired() &&
         mProcess.state() == QProcess::Running)
    QThread::msleep(20);
  EXPECT_EQ(LogMessages().count(cStoreApplicationLines.last()), 2);
  Signal(SIGTERM);
  ExpectCleanExit();
}

TEST_F(StartupTest, ProgramsOnDifferentFoldersRunSideBySide) {
  Start();
  ASSERT_TRUE(WaitForLogLine(cStoreApplicationLines.last()));
  const QString otherHome = HomeFile(QStringLiteral("other"));
  QProcess other;
  StartIn(other, otherHome);
  const auto otherLog = [&otherHome] {
    return QString::fromUtf8(ReadFile(otherHome + QStringLiteral("/log.txt")));
  };
  QDeadlineTimer deadline(20000);
  while (!otherLog().contains(cStoreApplicationLines.last()) && !deadline.hasExpired() &&
         other.state() == QProcess::Running)
    QThread::msleep(20);
  EXPECT_TRUE(otherLog().contains(cStoreApplicationLines.last())) << otherLog().toStdString();
  EXPECT_FALSE(otherLog().contains(QStringLiteral("already runs")));
  EXPECT_EQ(mProcess.state(), QProcess::Running);
  ::kill(static_cast<pid_t>(other.processId()), SIGTERM);
  EXPECT_TRUE(other.waitForFinished(20000));
  EXPECT_EQ(other.exitCode(), 0);
  Signal(SIGTERM);
  ExpectCleanExit();
}

} // namespace
