#include "melUtil.h"

#include "melElfVersion.h"
#include "melLogging.h"
#include "melPaths.h"
#include "melRegistry.h"

#include <QFile>

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
  QFile::moveToTrash(LocalPath(aFileName));
}
