#include "melUtil.h"

#include "melElfVersion.h"
#include "melLogging.h"
#include "melPaths.h"
#include "melRegistry.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString LastPathKey(const QString &aApplicationName) {
  return cOptionsKey + u'\\' + aApplicationName;
}

const QString cLastPath = QStringLiteral("LastPath");

} // namespace

QString ReadLastPath(const QString &aApplicationName) {
  TRegistry registry;
  if (!registry.OpenKeyReadOnly(LastPathKey(aApplicationName)))
    return {};
  return registry.ReadString(cLastPath);
}

void WriteLastPath(const QString &aApplicationName, const QString &aPath) {
  TRegistry registry;
  if (!registry.OpenKey(LastPathKey(aApplicationName), true))
    return;
  registry.WriteString(cLastPath, aPath);
}

QString GetFileVersionString(const QString &aFileName) {
  const auto version = ReadElfVersionNote(aFileName);
  if (!version)
    return {};
  return QStringLiteral("%1.%2.%3.%4")
      .arg(version->mVersionMS >> 16)
      .arg(version->mVersionMS & 0xFFFF)
      .arg(version->mVersionLS >> 16)
      .arg(version->mVersionLS & 0xFFFF);
}

QString GetProgramVersion() {
  return GetFileVersionString(ProgramFile());
}

void MoveToRecycleBin(const QString &aFileName, quintptr aOwnerWindow) {
  constexpr int cDeleteFunction = 3;
  constexpr int cFlags = 4 | 16 | 64; // silent, no confirmation, allow undo
  WriteLog(QString::number(aOwnerWindow));
  WriteLog(QString::number(cDeleteFunction));
  WriteLog(aFileName);
  WriteLog(QString::number(cFlags));
  WriteLog(QString());
  // Only a file goes: a catalog edited by hand or filled by an older import
  // may name a folder, the media folder itself included. A link to a file
  // goes as the link; its target stays.
  const QString local = LocalPath(aFileName);
  const QFileInfo info(local);
  if (!info.isFile()) {
    if (info.exists() || info.isSymLink())
      WriteLog(QStringLiteral("Not a file, left in place: ") + aFileName);
    return;
  }
  QFile::moveToTrash(local);
}
