// Store file names of any text: a name is refused, or the path the catalog
// reader makes of its placement lies strictly inside the media folder of its
// type, whatever folder the catalog file is in.
#include "melEpisodeFiles.h"
#include "melFuzzSupport.h"
#include "melPaths.h"
#include "ocLists.h"

#include <QDir>

namespace {

struct tTypeC {
  const char *mType;
  const char *mFolder;
};
const tTypeC cTypes[] = {{"Movie", "video"}, {"MOV", "video"}, {"PDF", "pdf"},
                         {"iPod", "iPod"},   {"Acid", "ACID"}, {"WMV", nullptr}};
const char *const cBases[] = {"\\home\\user\\Melodra\\", "C:\\Lessons\\", "..\\up\\",
                              "\\\\server\\share\\lessons\\"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aData, size_t aSize) {
  if (aSize < 1)
    return 0;
  const tTypeC &type = cTypes[aData[0] % std::size(cTypes)];
  const char *base = cBases[(aData[0] / std::size(cTypes)) % std::size(cBases)];
  const QString name =
      QString::fromUtf8(reinterpret_cast<const char *>(aData + 1), qsizetype(aSize - 1));
  QString placed;
  try {
    placed = EpisodeFilePath(name, QString::fromLatin1(type.mType));
  } catch (const EMelError &) {
    return 0;
  }
  if (!type.mFolder)
    FuzzFailure("an unknown type was placed", placed);
  // As the catalog reader resolves the stored text, and as the file system
  // then sees it.
  const QString baseFolder = QString::fromLatin1(base);
  const QString resolved = ExpandRelativePath(baseFolder, TrimControl(placed));
  const QString folder = QDir::cleanPath(
      LocalPath(ExpandRelativePath(baseFolder, QString::fromLatin1(type.mFolder) + u'\\')));
  const QString local = QDir::cleanPath(LocalPath(resolved));
  const QString inside = local.mid(folder.size() + 1);
  if (!local.startsWith(folder + u'/') || inside.isEmpty() || inside.contains(u'/') ||
      inside == QLatin1String(".") || inside == QLatin1String(".."))
    FuzzFailure("a placed file lies outside its media folder",
                name + QStringLiteral(" -> ") + placed + QStringLiteral(" -> ") + local +
                    QStringLiteral(" (folder ") + folder + u')');
  return 0;
}
