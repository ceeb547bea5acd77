#include "melStoreImport.h"

#include "melApplications.h"
#include "melCatalogDocument.h"
#include "melCatalogFile.h"
#include "melEpisodeFiles.h"
#include "melErrors.h"
#include "melPaths.h"

#include <QFileInfo>

#include <cstring>
#include <iterator>

namespace {

// A store item's field is text alone; split text (CDATA, a comment between)
// reads as one.
QString ItemElementText(const pugi::xml_node &aElement) {
  if (HasElementChild(aElement))
    throw EMelError(QStringLiteral("Element does not contain a single text node"));
  return ElementText(aElement);
}

// An element the merge walks by: its absence ends the item.
QString WalkText(const pugi::xml_node &aItem, const char *aName) {
  const pugi::xml_node element = aItem.child(aName);
  if (!element)
    throw EMelError(QStringLiteral("Node is not found"));
  return ItemElementText(element);
}

QString ItemText(const pugi::xml_node &aItem, const char *aName) {
  const pugi::xml_node element = aItem.child(aName);
  if (!element)
    throw EMelError(
        QStringLiteral("The store item has no \"%1\" element").arg(QLatin1String(aName)));
  return ItemElementText(element);
}

// Whether the bytes alone decide what a name reads as: UTF-8 throughout,
// with no character that the readers leave out.
bool ReadsAsItsBytes(const char *aText) {
  return !HasNonXmlCharacter(aText) && IsValidUtf8(aText, std::strlen(aText));
}

// The first child named aName, the name read as every reader reads it; a
// child without a name is never a match.
pugi::xml_node FindNamed(const pugi::xml_node &aParent, const QString &aName) {
  const QByteArray name = aName.toUtf8();
  for (const pugi::xml_node child : aParent.children()) {
    const pugi::xml_attribute attribute = child.attribute("name");
    if (!attribute)
      continue;
    if (std::strcmp(attribute.value(), name.constData()) == 0 ||
        (!ReadsAsItsBytes(attribute.value()) && Utf8Text(attribute.value()) == aName))
      return child;
  }
  return {};
}

// Everything an episode element holds, gathered before the catalog is
// touched, so a bad item leaves no half-built branch behind.
struct tStoreEpisodeC {
  QString mName;
  QString mFilename;
  QString mIPodFile;
  QString mAcidFile;
  QString mFileType;
  QString mInstrument;
  QString mArtist;
  QString mLevel;
  QString mURL;
};

tStoreEpisodeC ReadEpisode(const pugi::xml_node &aItem, const QString &aFilename) {
  tStoreEpisodeC episode;
  episode.mFileType = ItemText(aItem, "FileType");
  episode.mArtist = ItemText(aItem, "Artist");
  episode.mLevel = ItemText(aItem, "Level");
  episode.mURL = ItemText(aItem, "Link");
  episode.mInstrument = ItemText(aItem, "Instrument");
  episode.mName = StripExtension(aFilename);
  episode.mFilename = EpisodeFilePath(aFilename, episode.mFileType);
  episode.mIPodFile = EpisodeFilePath(aFilename, QStringLiteral("iPod"));
  episode.mAcidFile = EpisodeFilePath(aFilename, QStringLiteral("Acid"));
  return episode;
}

bool IsXmlBlank(const QString &aText) {
  for (const QChar c : aText) {
    if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
      return false;
  }
  return true;
}

void AppendText(pugi::xml_node aParent, const char *aName, const QString &aText) {
  pugi::xml_node element = aParent.append_child(aName);
  // The catalog is read without blank text, so writing one would change the
  // file at the next save of an unchanged catalog.
  if (!IsXmlBlank(aText))
    element.append_child(pugi::node_pcdata).set_value(aText.toUtf8().constData());
}

pugi::xml_node AppendCategory(pugi::xml_node aParent, const QString &aName) {
  pugi::xml_node category = aParent.append_child("Category");
  category.append_attribute("name").set_value(aName.toUtf8().constData());
  return category;
}

void AppendEpisode(pugi::xml_node aParent, const tStoreEpisodeC &aEpisode) {
  pugi::xml_node file = aParent.append_child("File");
  file.append_attribute("name").set_value(aEpisode.mName.toUtf8().constData());
  AppendText(file, "Filename", aEpisode.mFilename);
  AppendText(file, "iPodFile", aEpisode.mIPodFile);
  AppendText(file, "AcidFile", aEpisode.mAcidFile);
  AppendText(file, "FileType", aEpisode.mFileType);
  AppendText(file, "Instrument", aEpisode.mInstrument);
  AppendText(file, "Artist", aEpisode.mArtist);
  AppendText(file, "Level", aEpisode.mLevel);
  AppendText(file, "URL", aEpisode.mURL);
  AppendText(file, "Status", QStringLiteral("Not downloaded"));
}

// The chain an item names, Instrument -> Category -> Sub-Category: the
// existing node at each level is found by name, the rest is created. Names
// are read as walk steps (a missing one is "Node is not found") down to the
// first level the catalog lacks, and as fields of the new branch below it. An
// episode of the same name in an existing sub-category is kept, whatever its
// file type, and nothing of it but the file name is read.
void MergeItem(const pugi::xml_node &aItem, pugi::xml_node aParent) {
  static constexpr const char *cLevels[] = {"Instrument", "Category", "Sub-Category"};
  constexpr int cLevelCount = int(std::size(cLevels));
  QString names[cLevelCount];
  int missing = 0;
  for (; missing < cLevelCount; ++missing) {
    names[missing] = WalkText(aItem, cLevels[missing]);
    const pugi::xml_node found = FindNamed(aParent, names[missing]);
    if (!found)
      break;
    aParent = found;
  }
  for (int level = missing + 1; level < cLevelCount; ++level)
    names[level] = ItemText(aItem, cLevels[level]);
  const QString filename = ItemText(aItem, "Filename");
  if (missing == cLevelCount && FindNamed(aParent, StripExtension(filename)))
    return;
  const tStoreEpisodeC episode = ReadEpisode(aItem, filename);
  for (int level = missing; level < cLevelCount; ++level)
    aParent = AppendCategory(aParent, names[level]);
  AppendEpisode(aParent, episode);
}

} // namespace

void WriteEmptyCatalog(const QString &aLocalCatalogFile) {
  SaveCatalogFile(aLocalCatalogFile, cEmptyCatalog);
}

void MergeStoreCatalog(const pugi::xml_document &aStore, tCatalogDocumentC &aLocal) {
  // Another writer may have changed the file since it was opened.
  aLocal.Reload();
  const pugi::xml_node root = aLocal.Root();
  int merged = 0;
  try {
    for (const pugi::xml_node group : aStore.document_element().children()) {
      for (const pugi::xml_node item : group.children()) {
        MergeItem(item, root);
        ++merged;
      }
    }
  } catch (...) {
    // A failing item leaves nothing behind; the ones before it are kept.
    if (merged > 0)
      aLocal.Save();
    throw;
  }
  aLocal.Save();
}

void ImportStoreCatalog(const tStoreFetchFn &aFetch) {
  const QString catalogFile = LocalPath(CatalogFilePath());
  if (!QFileInfo::exists(catalogFile))
    WriteEmptyCatalog(catalogFile);
  const std::optional<QByteArray> text = aFetch();
  if (!text)
    return;
  const pugi::xml_document store =
      tCatalogDocumentC::ParseText(*text, QStringLiteral("The store catalog"));
  if (!store.document_element())
    return;
  tCatalogDocumentC local(catalogFile);
  MergeStoreCatalog(store, local);
}
