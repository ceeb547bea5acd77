#include "melEpisodeFiles.h"

namespace {

void CheckStoreFileName(const QString &aFileName) {
  bool unsafe =
      aFileName.isEmpty() || aFileName == QLatin1String(".") || aFileName == QLatin1String("..");
  for (const QChar c : aFileName) {
    if (c == u'/' || c == u'\\' || c.unicode() < 32 || c.unicode() == 127)
      unsafe = true;
  }
  if (!unsafe)
    return;
  QString shown = aFileName;
  for (QChar &c : shown) {
    if (c.unicode() < 32 || c.unicode() == 127)
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
  CheckStoreFileName(aFileName);
  return folder + name;
}
