#include "melEpisodeFiles.h"

#include "melPaths.h"
#include "ocLists.h"

#include <algorithm>

namespace {

bool IsControl(QChar aChar) {
  return aChar.unicode() < 32 || aChar.unicode() == 127;
}

// Whether the catalog reader, which trims the stored text and resolves it
// against the catalog file's folder, finds aFolder + aName as one file
// directly inside that folder. The base is a sample: a placement never climbs
// out of its folder's text, so the outcome does not depend on it.
bool ReadBackInside(const QString &aFolder, const QString &aName) {
  static const QString cBase = QStringLiteral("\\catalog\\");
  const tRelativePathResolverC resolver(cBase);
  const QString folder = resolver.Resolve(aFolder);
  const QString read = resolver.Resolve(TrimControl(aFolder + aName));
  if (!read.startsWith(folder))
    return false;
  const QString file = read.mid(folder.size());
  return !file.isEmpty() && file != QLatin1String(".") && file != QLatin1String("..") &&
         !file.contains(u'\\') && !file.contains(u'/');
}

// The store's name must place both the main file and the derived one inside
// the media folder; control characters would not come back from the catalog
// file as they went in.
void CheckPlacement(const QString &aFileName, const QString &aFolder, const QString &aName) {
  const bool unsafe = std::any_of(aFileName.cbegin(), aFileName.cend(), IsControl) ||
                      !ReadBackInside(aFolder, aFileName) || !ReadBackInside(aFolder, aName);
  if (!unsafe)
    return;
  QString shown = aFileName;
  for (QChar &c : shown) {
    if (IsControl(c))
      c = u'?';
  }
  throw UnsafeFileNameException(
      QStringLiteral("Refused store file name \"%1\": a file name may not be empty, \".\" or "
                     "\"..\", nor hold a path separator or a control character")
          .arg(shown));
}

} // namespace

QString StripExtension(const QString &aText) {
  const qsizetype dot = aText.lastIndexOf(u'.');
  return dot < 0 ? aText : aText.left(dot);
}

QString EpisodeFilePath(const QString &aFileName, const QString &aFileType) {
  QString folder;
  QString name;
  if (aFileType == QLatin1String("Movie") || aFileType == QLatin1String("MOV")) {
    folder = QStringLiteral("video\\");
    name = aFileName;
  } else if (aFileType == QLatin1String("PDF")) {
    folder = QStringLiteral("pdf\\");
    name = aFileName;
  } else if (aFileType == QLatin1String("iPod")) {
    folder = QStringLiteral("iPod\\");
    name = StripExtension(aFileName) + QStringLiteral(".m4v");
  } else if (aFileType == QLatin1String("Acid")) {
    folder = QStringLiteral("ACID\\");
    name = StripExtension(aFileName) + QStringLiteral(".acd-zip");
  } else {
    throw UnknownFileTypeException(QStringLiteral("Unknown file type:") + aFileType);
  }
  CheckPlacement(aFileName, folder, name);
  return folder + name;
}
