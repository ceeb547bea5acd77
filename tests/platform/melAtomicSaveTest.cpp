#include "melAtomicSave.h"
#include "melTestEnv.h"

#include <QDir>
#include <QFileInfo>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// A soft limit on the size of written files for the life of the object;
// past it a write fails with EFBIG instead of a signal. Root is held by it
// too, unlike by permissions.
class tFileSizeLimitC {
public:
  explicit tFileSizeLimitC(rlim_t aBytes) {
    getrlimit(RLIMIT_FSIZE, &mBefore);
    mSignal = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{aBytes, mBefore.rlim_max};
    mSet = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~tFileSizeLimitC() {
    setrlimit(RLIMIT_FSIZE, &mBefore);
    std::signal(SIGXFSZ, mSignal);
  }
  bool IsSet() const { return mSet; }

private:
  rlimit mBefore{};
  void (*mSignal)(int) = nullptr;
  bool mSet = false;
};

class AtomicSaveTest : public TTempHomeTest {
protected:
  QString Folder() const { return HomeFile(QStringLiteral("save/")); }
  QStringList FolderEntries() const {
    return QDir(Folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                    QDir::Name);
  }
};

TEST_F(AtomicSaveTest, TheOldFileStaysUntilTheWrittenOneIsRenamedOverIt) {
  const QString path = Folder() + QStringLiteral("file");
  WriteFile(path, "old");
  const QByteArray content(100000, 'n');
  bool called = false;
  const QString error =
      SaveFileAtomically(path, content, QStringLiteral("test file"), [&](int aHandle) {
        called = true;
        struct stat written {};
        ASSERT_EQ(::fstat(aHandle, &written), 0);
        EXPECT_EQ(written.st_size, content.size());
        EXPECT_EQ(ReadFile(path), "old");
      });
  EXPECT_EQ(error, QString());
  EXPECT_TRUE(called);
  EXPECT_EQ(ReadFile(path), content);
  EXPECT_EQ(FolderEntries(), QStringList{QStringLiteral("file")});
}

struct tFailureCase {
  const char *mName;
  const char *mFile;    // in the folder; "plain" is a regular file there
  qsizetype mSize;      // bytes to save
  rlim_t mSizeLimit;    // RLIM_INFINITY for none
  bool mFolderAtCommit; // a folder takes the path before the rename
  bool mReachesCommit;  // the written file is handed to the callback
};

class AtomicSaveFailureTest : public AtomicSaveTest,
                              public ::testing::WithParamInterface<tFailureCase> {};

TEST_P(AtomicSaveFailureTest, SaysWhichFileAndWhyAndKeepsTheOldContent) {
  const tFailureCase &c = GetParam();
  WriteFile(Folder() + QStringLiteral("plain"), "x");
  WriteFile(Folder() + QStringLiteral("file"), "old");
  const QString path = Folder() + QString::fromUtf8(c.mFile);
  bool called = false;
  QString error;
  {
    tFileSizeLimitC limit(c.mSizeLimit);
    ASSERT_TRUE(limit.IsSet());
    error =
        SaveFileAtomically(path, QByteArray(c.mSize, 'n'), QStringLiteral("test file"), [&](int) {
          called = true;
          if (c.mFolderAtCommit)
            QDir().mkpath(path + QStringLiteral("/inside"));
        });
  }
  const QString start =
      QStringLiteral("Cannot write the test file %1: ").arg(QDir::toNativeSeparators(path));
  EXPECT_TRUE(error.startsWith(start)) << error.toStdString();
  EXPECT_GT(error.size(), start.size()) << "no reason given";
  EXPECT_EQ(called, c.mReachesCommit);
  EXPECT_EQ(ReadFile(Folder() + QStringLiteral("file")), "old");
  // No temporary file is left behind.
  QStringList entries = {QStringLiteral("file"), QStringLiteral("plain")};
  if (c.mFolderAtCommit)
    entries.prepend(QStringLiteral("dir"));
  EXPECT_EQ(FolderEntries(), entries);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AtomicSaveFailureTest,
    ::testing::Values(tFailureCase{"ParentIsAFile", "plain/below", 10, RLIM_INFINITY, false, false},
                      // The write lands in the buffer; only the flush meets the limit.
                      tFailureCase{"FlushFails", "file", 100, 0, false, false},
                      tFailureCase{"WriteFails", "file", 1 << 20, 4096, false, false},
                      tFailureCase{"RenameFails", "dir", 10, RLIM_INFINITY, true, true}),
    [](const auto &aInfo) { return std::string(aInfo.param.mName); });

} // namespace
