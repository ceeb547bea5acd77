#include "melPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString Backslashed(const QString &aPath) {
  QString copy = aPath;
  copy.replace(u'/', u'\\');
  return copy;
}

// Index of the n-th backslash (1-based), or -1.
qsizetype NthBackslash(const QString &aText, int aN, qsizetype aFrom = 0) {
  for (qsizetype i = aFrom; i < aText.size(); ++i) {
    if (aText[i] == u'\\' && --aN == 0)
      return i;
  }
  return -1;
}

} // namespace

QString ProgramFolder() {
  QString folder = qEnvironmentVariable("MELODRA_HOME");
  if (folder.isEmpty())
    folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
             QStringLiteral("/Melodra");
  folder = QDir::cleanPath(QDir(folder).absolutePath());
  if (!folder.endsWith(u'/'))
    folder += u'/';
  return folder;
}

void EnsureProgramFolder() {
  QDir().mkpath(ProgramFolder());
}

QString ProgramFile() {
  return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString SplitPathPrefix(QString &aPath) {
  if (aPath.size() <= 1)
    return {};
  QString prefix;
  if (aPath[1] == u':') {
    prefix = aPath.left(2);
  } else if (aPath.contains(u':')) {
    const qsizetype third = NthBackslash(aPath, 3);
    prefix = third < 0 ? aPath : aPath.left(third);
    const QString rest = aPath.mid(prefix.size());
    if (rest.size() >= 2 && (rest[1] == u'|' || rest[1] == u':'))
      prefix += rest.left(2);
  } else if (aPath.startsWith(QLatin1String("\\\\"))) {
    const qsizetype fourth = NthBackslash(aPath, 4);
    prefix = fourth < 0 ? aPath : aPath.left(fourth);
  }
  aPath.remove(0, prefix.size());
  return prefix;
}

QString RemoveLastFolder(const QString &aFolder) {
  QString folder = aFolder;
  if (folder.endsWith(u'\\'))
    folder.chop(1);
  return folder.left(folder.lastIndexOf(u'\\') + 1);
}

QString ExpandRelativePath(const QString &aBaseFolder, const QString &aPath) {
  QString r = Backslashed(aPath);
  QString b = Backslashed(aBaseFolder);
  {
    QString probe = r;
    if (!SplitPathPrefix(probe).isEmpty())
      return aPath;
  }
  const QString p = SplitPathPrefix(b);
  if (r.size() > 1 && r.startsWith(u'\\'))
    return p + aPath;
  while (r.startsWith(QLatin1String(".\\")))
    r.remove(0, 2);
  while (r.startsWith(QLatin1String("..\\"))) {
    if (b == QLatin1String("\\")) {
      // Climbing above the root stops at the root.
      while (r.startsWith(QLatin1String("..\\")))
        r.remove(0, 3);
      return p + u'\\' + r;
    }
    b = RemoveLastFolder(b);
    r.remove(0, 3);
  }
  if (b.isEmpty() || !b.endsWith(u'\\'))
    b += u'\\';
  return p + b + r;
}

QString LocalPath(const QString &aResolvedPath) {
  QString path = aResolvedPath;
  path.replace(u'\\', u'/');
  return path;
}

tRelativePathResolverC::tRelativePathResolverC(QString aBaseFolder)
    : mBaseFolder(std::move(aBaseFolder)), mResolvedBase(ExpandRelativePath(mBaseFolder, {})) {}

QString tRelativePathResolverC::Resolve(const QString &aPath) const {
  // Prefixes (any colon, a share), rooted paths and leading dot steps take
  // the full rules.
  const bool plain = !aPath.contains(u':') && !aPath.startsWith(u'\\') && !aPath.startsWith(u'/') &&
                     !aPath.startsWith(u'.');
  if (!plain)
    return ExpandRelativePath(mBaseFolder, aPath);
  QString result = mResolvedBase + aPath;
  result.replace(u'/', u'\\');
  return result;
}

bool LocalFileExists(const QString &aResolvedPath) {
  return QFileInfo(LocalPath(aResolvedPath)).isFile();
}
