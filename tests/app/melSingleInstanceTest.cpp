#include "melSingleInstance.h"
#include "melTestEnv.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using SingleInstanceTest = TTempHomeTest;

TEST_F(SingleInstanceTest, ALiveHolderKeepsTheFolderUntilItLetsGo) {
  tInstanceLockC first(Home());
  ASSERT_EQ(first.TryLock(), tInstanceLockC::lrLocked) << first.ErrorText().toStdString();
  EXPECT_EQ(first.FoundPid(), 0);
  EXPECT_EQ(first.FileName(), HomeFile(QStringLiteral(".melodra.lock")));
  EXPECT_TRUE(QFile::exists(first.FileName()));

  tInstanceLockC second(Home());
  EXPECT_EQ(second.TryLock(), tInstanceLockC::lrHeld);
  EXPECT_EQ(second.FoundPid(), ::getpid());
  EXPECT_FALSE(second.IsLocked());

  // Another folder is another program's business.
  ASSERT_TRUE(QDir(Home()).mkdir(QStringLiteral("other")));
  tInstanceLockC other(HomeFile(QStringLiteral("other/")));
  EXPECT_EQ(other.TryLock(), tInstanceLockC::lrLocked);

  first.Unlock();
  EXPECT_FALSE(QFile::exists(first.FileName()));
  EXPECT_EQ(second.TryLock(), tInstanceLockC::lrLocked);
  EXPECT_EQ(second.FoundPid(), 0);
}

TEST_F(SingleInstanceTest, ALockLeftByAKilledHolderIsTakenOver) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    // The child only takes the lock, says so and waits for its kill.
    tInstanceLockC lock(Home());
    const char result = lock.TryLock() == tInstanceLockC::lrLocked ? 'L' : 'F';
    if (::write(ready[1], &result, 1) != 1)
      ::_exit(1);
    for (;;)
      ::pause();
  }
  ::close(ready[1]);
  char result = 0;
  const bool told = ::read(ready[0], &result, 1) == 1;
  ::close(ready[0]);
  if (!told || result != 'L') {
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    FAIL() << "the holder could not take the lock";
  }

  tInstanceLockC next(Home());
  EXPECT_EQ(next.TryLock(), tInstanceLockC::lrHeld);
  EXPECT_EQ(next.FoundPid(), holder);

  // kill -9 runs no clean-up: the lock file stays behind.
  ASSERT_EQ(::kill(holder, SIGKILL), 0);
  ASSERT_EQ(::waitpid(holder, nullptr, 0), holder);
  ASSERT_TRUE(QFile::exists(next.FileName()));

  EXPECT_EQ(next.TryLock(), tInstanceLockC::lrLocked) << next.ErrorText().toStdString();
  EXPECT_EQ(next.FoundPid(), holder);
  tInstanceLockC after(Home());
  EXPECT_EQ(after.TryLock(), tInstanceLockC::lrHeld);
  EXPECT_EQ(after.FoundPid(), ::getpid());
}

TEST_F(SingleInstanceTest, ALockFileThatCannotBeMadeIsAFailureNotAHolder) {
  tInstanceLockC lock(HomeFile(QStringLiteral("missing/")));
  EXPECT_EQ(lock.TryLock(), tInstanceLockC::lrFailed);
  EXPECT_TRUE(lock.ErrorText().contains(HomeFile(QStringLiteral("missing/.melodra.lock"))))
      << lock.ErrorText().toStdString();
  EXPECT_FALSE(lock.IsLocked());
}

TEST_F(SingleInstanceTest, OneChannelNamePerFolderWhateverItsSpelling) {
  ASSERT_TRUE(QDir(Home()).mkpath(QStringLiteral("a/b")));
  ASSERT_TRUE(QFile::link(HomeFile(QStringLiteral("a")), HomeFile(QStringLiteral("link"))));
  const QString name = InstanceChannelName(HomeFile(QStringLiteral("a/")));
  for (const char *spelling : {"a", "a/", "a//", "a/b/..", "link/", "./a/"})
    EXPECT_EQ(InstanceChannelName(HomeFile(QString::fromUtf8(spelling))), name) << spelling;
  EXPECT_NE(InstanceChannelName(HomeFile(QStringLiteral("a/b/"))), name);
  EXPECT_NE(InstanceChannelName(Home()), name);
  // Local socket names are short; the name stays well inside the limit.
  EXPECT_LT(name.size(), 80);
}

} // namespace
