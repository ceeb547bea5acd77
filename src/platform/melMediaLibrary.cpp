#include "melMediaLibrary.h"

#include "melAtomicSave.h"
#include "melErrors.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const QByteArray cHeader = QByteArrayLiteral("#EXTM3U");
const QByteArray cBom = QByteArrayLiteral("\xEF\xBB\xBF");
const QString cWhat = QStringLiteral("playlist");
// FAT, the usual file system of players, keeps times to two seconds.
constexpr qint64 cTimeToleranceMs = 2000;

void Save(const QString &aFile, const QByteArray &aContent) {
  const QString error = SaveFileAtomically(aFile, aContent, cWhat);
  if (!error.isEmpty())
    throw EMelError(error);
}

QByteArray EntryLines(const QString &aTitle, const QString &aLocation) {
  QString title = aTitle;
  title.replace(u'\r', u' ').replace(u'\n', u' ');
  // Duration unknown; players read it from the file.
  return "#EXTINF:-1," + title.toUtf8() + '\n' + aLocation.toUtf8() + '\n';
}

QByteArray ReadExisting(const QString &aPlaylistFile) {
  QFile file(aPlaylistFile);
  if (!file.open(QIODevice::ReadOnly))
    throw EMelError(QStringLiteral("Cannot read the playlist %1: %2")
                        .arg(QDir::toNativeSeparators(aPlaylistFile), file.errorString()));
  return file.readAll();
}

bool SameFileTime(const QFileInfo &aSource, const QFileInfo &aTarget) {
  return std::llabs(aSource.lastModified().msecsTo(aTarget.lastModified())) < cTimeToleranceMs;
}

// "name (2).ext" for the second file of one name.
QString NumberedName(const QString &aName, int aNumber) {
  const QFileInfo info(aName);
  const QString suffix = info.completeSuffix();
  const QString base = suffix.isEmpty() ? aName : aName.left(aName.size() - suffix.size() - 1);
  return QStringLiteral("%1 (%2)").arg(base).arg(aNumber) +
         (suffix.isEmpty() ? QString() : u'.' + suffix);
}

[[noreturn]] void CopyFailed(const QString &aSource, const QString &aFolder,
                             const QString &aReason) {
  throw EMelError(
      QStringLiteral("Cannot copy %1 to the portable player %2: %3")
          .arg(QDir::toNativeSeparators(aSource), QDir::toNativeSeparators(aFolder), aReason));
}

// Copies through a part file renamed into place, so an interrupted copy never
// looks like a complete one; the copy takes the source's time, which the next
// update compares.
void CopyToPlayer(const QFileInfo &aSource, const QString &aTarget, const QString &aFolder) {
  const QString part = aTarget + QStringLiteral(".part");
  QFile::remove(part);
  QFile source(aSource.filePath());
  if (!source.copy(part))
    CopyFailed(aSource.filePath(), aFolder, source.errorString());
  QFile copy(part);
  if (!copy.open(QIODevice::WriteOnly | QIODevice::Append) ||
      !copy.setFileTime(aSource.lastModified(), QFileDevice::FileModificationTime)) {
    const QString reason = copy.errorString();
    copy.close();
    QFile::remove(part);
    CopyFailed(aSource.filePath(), aFolder, reason);
  }
  copy.close();
  if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(aTarget).constData()) !=
      0) {
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(part);
    CopyFailed(aSource.filePath(), aFolder, reason);
  }
}

} // namespace

QString PlaylistsFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::MusicLocation) +
         QStringLiteral("/Playlists");
}

QString PlaylistFile(const QString &aName) {
  return PlaylistsFolder() + u'/' + aName + QStringLiteral(".m3u8");
}

QString FindOrCreatePlaylist(const QString &aName) {
  const QString file = PlaylistFile(aName);
  if (QFileInfo(file).isFile())
    return file;
  if (!QDir().mkpath(PlaylistsFolder()))
    throw EMelError(QStringLiteral("Cannot make the playlist folder %1")
                        .arg(QDir::toNativeSeparators(PlaylistsFolder())));
  Save(file, cHeader + '\n');
  return file;
}

void AddToPlaylist(const QString &aPlaylistFile, const QString &aFile, const QString &aTitle) {
  const QString path = QFileInfo(aFile).absoluteFilePath();
  // A playlist line cannot hold a line break.
  if (path.contains(u'\n') || path.contains(u'\r'))
    throw EMelError(QStringLiteral("The file %1 cannot be added to a playlist: its name holds a "
                                   "line break")
                        .arg(QDir::toNativeSeparators(path)));
  QByteArray content;
  if (QFileInfo::exists(aPlaylistFile))
    content = ReadExisting(aPlaylistFile);
  const qsizetype start = content.startsWith(cBom) ? cBom.size() : 0;
  if (!QByteArrayView(content).sliced(start).startsWith(cHeader))
    content.insert(start, cHeader + '\n');
  if (!content.endsWith('\n'))
    content += '\n';
  content += EntryLines(aTitle, path);
  Save(aPlaylistFile, content);
}

QList<tPlaylistEntryC> ReadPlaylist(const QString &aPlaylistFile) {
  QString text = QString::fromUtf8(ReadExisting(aPlaylistFile));
  if (text.startsWith(QChar(0xFEFF)))
    text.remove(0, 1);
  const QDir folder = QFileInfo(aPlaylistFile).absoluteDir();
  QList<tPlaylistEntryC> entries;
  QString title;
  for (QString line : text.split(u'\n')) {
    if (line.endsWith(u'\r'))
      line.chop(1);
    if (line.trimmed().isEmpty())
      continue;
    if (line.startsWith(u'#')) {
      if (line.startsWith(QLatin1String("#EXTINF:"))) {
        const qsizetype comma = line.indexOf(u',');
        title = comma < 0 ? QString() : line.mid(comma + 1);
      }
      continue;
    }
    QString file;
    if (line.startsWith(QLatin1String("file:")))
      file = QUrl(line).toLocalFile();
    else if (!line.contains(QLatin1String("://")))
      file = QDir::cleanPath(folder.absoluteFilePath(line));
    if (!file.isEmpty())
      entries.append({title, file});
    title.clear();
  }
  return entries;
}

QString PortableFilesFolderName(const QString &aPlaylistFile) {
  return QFileInfo(aPlaylistFile).completeBaseName();
}

bool UpdatePortablePlayer(const QString &aPlaylistFile, const QString &aPlayerFolder) {
  if (aPlayerFolder.isEmpty() || !QFileInfo(aPlayerFolder).isDir())
    return false;
  const QList<tPlaylistEntryC> entries = ReadPlaylist(aPlaylistFile);
  const QString subfolder = PortableFilesFolderName(aPlaylistFile);
  const QString filesFolder = QDir(aPlayerFolder).filePath(subfolder);
  if (!QDir().mkpath(filesFolder))
    CopyFailed(
        aPlaylistFile, aPlayerFolder,
        QStringLiteral("cannot make the folder %1").arg(QDir::toNativeSeparators(filesFolder)));

  // One name on the player per source file; files of one name from
  // different folders are numbered. Players' file systems (FAT) ignore case.
  QHash<QString, QString> nameOfSource;
  QSet<QString> usedNames;
  QByteArray content = cHeader + '\n';
  for (const tPlaylistEntryC &entry : entries) {
    const QFileInfo source(entry.mFile);
    if (!source.isFile())
      continue;
    const QString key = source.canonicalFilePath();
    QString name = nameOfSource.value(key);
    if (name.isEmpty()) {
      name = source.fileName();
      for (int number = 2; usedNames.contains(name.toLower()); ++number)
        name = NumberedName(source.fileName(), number);
      usedNames.insert(name.toLower());
      nameOfSource.insert(key, name);
      const QString target = filesFolder + u'/' + name;
      const QFileInfo present(target);
      const bool current =
          present.isFile() && (present.canonicalFilePath() == key ||
                               (present.size() == source.size() && SameFileTime(source, present)));
      if (!current)
        CopyToPlayer(source, target, aPlayerFolder);
    }
    content += EntryLines(entry.mTitle, subfolder + u'/' + name);
  }
  Save(QDir(aPlayerFolder).filePath(QFileInfo(aPlaylistFile).fileName()), content);
  return true;
}
