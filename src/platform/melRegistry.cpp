#include "melRegistry.h"

#include "melAtomicSave.h"
#include "melRegistryFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

#include <memory>

#include <sys/stat.h>

namespace {

QMutex fDiagnosticsLock;
std::function<void(const QString &)> fDiagnostics;
QString fLastReported; // the file state whose problem was reported already

// What tells one state of the file from another: a save renames a new file
// into place, and an edit in place changes the times.
struct tFileStateC {
  QString mPath;
  bool mExists = false;
  dev_t mDevice = 0;
  ino_t mInode = 0;
  off_t mSize = 0;
  timespec mModified{};
  timespec mChanged{};

  bool operator==(const tFileStateC &aOther) const {
    return mPath == aOther.mPath && mExists == aOther.mExists && mDevice == aOther.mDevice &&
           mInode == aOther.mInode && mSize == aOther.mSize &&
           mModified.tv_sec == aOther.mModified.tv_sec &&
           mModified.tv_nsec == aOther.mModified.tv_nsec &&
           mChanged.tv_sec == aOther.mChanged.tv_sec && mChanged.tv_nsec == aOther.mChanged.tv_nsec;
  }
};

tFileStateC StateOf(const QString &aPath) {
  tFileStateC state;
  state.mPath = aPath;
  struct stat info {};
  if (::stat(QFile::encodeName(aPath).constData(), &info) != 0)
    return state;
  state.mExists = true;
  state.mDevice = info.st_dev;
  state.mInode = info.st_ino;
  state.mSize = info.st_size;
  state.mModified = info.st_mtim;
  state.mChanged = info.st_ctim;
  return state;
}

// The file is parsed once per state, not on every read.
QMutex fCacheLock;
tFileStateC fCachedState;
std::shared_ptr<const tRegistryFileC> fCached;

std::shared_ptr<const tRegistryFileC> LoadFile() {
  const QString path = TRegistry::FilePath();
  QMutexLocker cacheLock(&fCacheLock);
  const tFileStateC state = StateOf(path);
  if (fCached && state == fCachedState)
    return fCached;
  auto parsed = std::make_shared<tRegistryFileC>();
  QFile file(path);
  if (file.open(QIODevice::ReadOnly)) {
    *parsed = tRegistryFileC::Parse(QString::fromUtf8(file.readAll()));
    if (parsed->mProblemLine != 0) {
      QMutexLocker lock(&fDiagnosticsLock);
      const QString reported =
          path + u'|' + QString::number(state.mInode) + u'|' + QString::number(state.mSize) + u'|' +
          QString::number(state.mModified.tv_sec) + u'.' + QString::number(state.mModified.tv_nsec);
      if (reported != fLastReported && fDiagnostics) {
        fLastReported = reported;
        fDiagnostics(QStringLiteral("Settings file %1, line %2: %3; the line is ignored")
                         .arg(path)
                         .arg(parsed->mProblemLine)
                         .arg(parsed->mProblem));
      }
    }
  }
  // A file changed while it was read is read again next time.
  if (StateOf(path) == state) {
    fCachedState = state;
    fCached = parsed;
  } else {
    fCached.reset();
  }
  return parsed;
}

bool CanWriteFile() {
  const QFileInfo info(TRegistry::FilePath());
  if (info.exists())
    return info.isFile() && info.isWritable() && QFileInfo(info.absolutePath()).isWritable();
  QDir dir(info.absolutePath());
  if (!dir.exists() && !QDir().mkpath(info.absolutePath()))
    return false;
  return QFileInfo(info.absolutePath()).isWritable();
}

void SaveFile(tRegistryFileC aContent) {
  const QString path = TRegistry::FilePath();
  QDir().mkpath(QFileInfo(path).absolutePath());
  // Lines we could not read are dropped by the rewrite; keep the old file.
  if (aContent.mProblemLine != 0) {
    QFile::remove(path + QStringLiteral(".bak"));
    QFile::copy(path, path + QStringLiteral(".bak"));
  }
  struct stat written {};
  bool known = false;
  const QString error = SaveFileAtomically(
      path, aContent.Serialize().toUtf8(), QStringLiteral("settings file"),
      [&](int aHandle) { known = aHandle >= 0 && ::fstat(aHandle, &written) == 0; });
  if (!error.isEmpty())
    throw ERegistryException(error);
  // What was written reads back as it is, so the next read need not parse it;
  // unless another writer came in between.
  QMutexLocker cacheLock(&fCacheLock);
  fCached.reset();
  const tFileStateC state = StateOf(path);
  if (known && state.mExists && state.mDevice == written.st_dev && state.mInode == written.st_ino &&
      state.mSize == written.st_size && state.mModified.tv_sec == written.st_mtim.tv_sec &&
      state.mModified.tv_nsec == written.st_mtim.tv_nsec) {
    aContent.mProblemLine = 0;
    aContent.mProblem.clear();
    fCachedState = state;
    fCached = std::make_shared<const tRegistryFileC>(std::move(aContent));
  }
}

} // namespace

TRegistry::TRegistry() = default;

QString TRegistry::FilePath() {
  const QString home = qEnvironmentVariable("MELODRA_HOME");
  if (!home.isEmpty())
    return QDir(home).filePath(QStringLiteral("registry.reg"));
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Melodra/registry.reg");
}

void TRegistry::SetDiagnostics(std::function<void(const QString &)> aSink) {
  {
    QMutexLocker lock(&fDiagnosticsLock);
    fDiagnostics = std::move(aSink);
    fLastReported.clear();
  }
  // The new sink hears of the problems of the file as it is now.
  QMutexLocker cacheLock(&fCacheLock);
  fCached.reset();
}

bool TRegistry::OpenKeyReadOnly(const QString &aKey) {
  CloseKey();
  if (!LoadFile()->KeyExists(aKey))
    return false;
  mCurrentKey = NormalizeRegKey(aKey);
  mOpen = true;
  return true;
}

bool TRegistry::OpenKey(const QString &aKey, bool aCanCreate) {
  CloseKey();
  if (!CanWriteFile())
    return false;
  // Only a key to create needs a copy of the parsed file.
  const auto loaded = LoadFile();
  if (!loaded->KeyExists(aKey)) {
    if (!aCanCreate || !aKey.isValidUtf16())
      return false;
    if (mPending) {
      if (!mPending->KeyExists(aKey))
        mPending->AddSection(aKey);
      mCurrentKey = NormalizeRegKey(aKey);
      mOpen = true;
      return true;
    }
    tRegistryFileC file = *loaded;
    file.AddSection(aKey);
    try {
      SaveFile(std::move(file));
    } catch (const ERegistryException &) {
      return false;
    }
  }
  mCurrentKey = NormalizeRegKey(aKey);
  mOpen = true;
  return true;
}

void TRegistry::CloseKey() {
  mOpen = false;
  mCurrentKey.clear();
}

bool TRegistry::DeleteKey(const QString &aKey) {
  if (!CanWriteFile())
    return false;
  tRegistryFileC file = *LoadFile();
  if (!file.RemoveKey(aKey))
    return true;
  try {
    SaveFile(std::move(file));
  } catch (const ERegistryException &) {
    return false;
  }
  return true;
}

void TRegistry::BeginUpdate() {
  mPending = std::make_shared<tRegistryFileC>(*LoadFile());
}

void TRegistry::EndUpdate() {
  if (const auto pending = std::move(mPending))
    SaveFile(std::move(*pending));
}

bool TRegistry::ValueExists(const QString &aName) const {
  if (!mOpen)
    return false;
  const auto file = LoadFile();
  const tRegSectionC *section = file->FindSection(mCurrentKey);
  return section && tRegistryFileC::FindValue(*section, aName);
}

QString TRegistry::ReadString(const QString &aName) const {
  if (!mOpen)
    return {};
  const auto file = LoadFile();
  const tRegSectionC *section = file->FindSection(mCurrentKey);
  const tRegValueC *value = section ? tRegistryFileC::FindValue(*section, aName) : nullptr;
  if (!value)
    return {};
  if (value->mKind != tRegValueC::tKind::String)
    throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(aName));
  return value->mText;
}

int TRegistry::ReadInteger(const QString &aName) const {
  const auto file = LoadFile();
  const tRegSectionC *section = mOpen ? file->FindSection(mCurrentKey) : nullptr;
  const tRegValueC *value = section ? tRegistryFileC::FindValue(*section, aName) : nullptr;
  if (!value || value->mKind != tRegValueC::tKind::DWord)
    throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(aName));
  return static_cast<int>(value->mDWord);
}

void TRegistry::WriteString(const QString &aName, const QString &aValue) {
  tRegValueC value;
  value.mName = aName;
  value.mKind = tRegValueC::tKind::String;
  value.mText = aValue;
  WriteValue(value);
}

void TRegistry::WriteInteger(const QString &aName, int aValue) {
  tRegValueC value;
  value.mName = aName;
  value.mKind = tRegValueC::tKind::DWord;
  value.mDWord = static_cast<uint32_t>(aValue);
  WriteValue(value);
}

void TRegistry::WriteValue(const tRegValueC &aValue) {
  if (!mOpen)
    throw ERegistryException(QStringLiteral("Failed to set data for '%1'").arg(aValue.mName));
  // The file is UTF-8: a half surrogate pair would read back as another text.
  if (!aValue.mName.isValidUtf16() || !aValue.mText.isValidUtf16())
    throw ERegistryException(
        QStringLiteral("Failed to set data for '%1': the text is not valid Unicode")
            .arg(aValue.mName));
  tRegistryFileC loaded;
  tRegistryFileC &file = mPending ? *mPending : (loaded = *LoadFile());
  tRegSectionC *section = file.FindSection(mCurrentKey);
  if (!section)
    section = &file.AddSection(mCurrentKey);
  tRegistryFileC::SetValue(*section, aValue);
  if (!mPending)
    SaveFile(std::move(file));
}

QStringList TRegistry::GetKeyNames() const {
  if (!mOpen)
    return {};
  return LoadFile()->SubkeyNames(mCurrentKey);
}
