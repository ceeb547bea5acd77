#pragma once

#include <QLockFile>
#include <QString>

// The lock that keeps one program per program folder: two programs would
// write the same partial files and the same catalog. The lock file names the
// holder's process, so a lock left by a crash or a kill is taken over.
class tInstanceLockC {
public:
  enum tResult {
    lrLocked, // this program holds the folder now
    lrHeld,   // a running program holds it
    lrFailed  // the lock file could not be made (ErrorText says why)
  };

  // aFolder with a trailing separator, as ProgramFolder gives it.
  explicit tInstanceLockC(const QString &aFolder);
  tInstanceLockC(const tInstanceLockC &) = delete;
  tInstanceLockC &operator=(const tInstanceLockC &) = delete;

  tResult TryLock();
  void Unlock() { mLock.unlock(); }
  bool IsLocked() const { return mLock.isLocked(); }
  const QString &FileName() const { return mFileName; }
  // The process named by the lock file as TryLock found it: the running
  // holder after lrHeld, the ended one whose lock was taken over after
  // lrLocked; 0 when there was none.
  qint64 FoundPid() const { return mFoundPid; }
  QString ErrorText() const { return mErrorText; }

private:
  QString mFileName;
  QLockFile mLock;
  qint64 mFoundPid = 0;
  QString mErrorText;
};

// The lock file's name in the program folder.
inline constexpr const char *cInstanceLockName = ".melodra.lock";

// The local socket name on which the program of aFolder listens for a
// second start: the same for every spelling of one folder, different for
// different folders and users.
QString InstanceChannelName(const QString &aFolder);
