#include "melCatalog.h"

#include "melCatalogDocument.h"
#include "melCatalogMaintenance.h"
#include "melPaths.h"

#include <QFile>

#include <pugixml.hpp>

#include <cstring>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

const QString cAmp = QStringLiteral("&amp;");

// The "name" attribute after XML decoding, with ampersands escaped twice
// read as one.
QString ReadName(const pugi::xml_node &aElement, const char *aKind) {
  const pugi::xml_attribute name = aElement.attribute("name");
  if (!name)
    throw ECatalogError(QStringLiteral("'name' attribute expected on a %1 node, not found")
                            .arg(QLatin1String(aKind)));
  QString value = Utf8Text(name.value());
  if (value.contains(cAmp))
    value.replace(cAmp, QStringLiteral("&"));
  return value;
}

QString ChildPath(const QString &aPath, const QString &aName) {
  return aPath.endsWith(u'\\') ? aPath + aName : aPath + u'\\' + aName;
}

QString FolderOf(const QString &aFileName) {
  const qsizetype slash = std::max(aFileName.lastIndexOf(u'\\'), aFileName.lastIndexOf(u'/'));
  return aFileName.left(slash + 1);
}

} // namespace

QString StatusToText(int aStatus) {
  switch (aStatus) {
  case esDownloaded: return QStringLiteral("Downloaded");
  case esNotDownloaded: return QStringLiteral("Not downloaded");
  case esDownloading: return QStringLiteral("Downloading");
  case esError: return QStringLiteral("Error");
  case esPaused: return QStringLiteral("Paused");
  default: return {};
  }
}

std::optional<uint8_t> TextToStatus(const QString &aText) {
  for (uint8_t status = esDownloaded; status <= esPaused; ++status) {
    if (aText == StatusToText(status))
      return status;
  }
  return std::nullopt;
}

tFileItemC::tFileItemC(tCategoryItemC *aParent, const pugi::xml_node &aElement, QString aName,
                       QString aPath, const tCatalogReadC &aRead)
    : tCatalogItemC(aParent), mCatalogFile(aRead.mCatalogFile), mPath(std::move(aPath)),
      mName(std::move(aName)), mStatusWriter(aRead.mStatusWriter) {
  auto resolved = [&aRead](const QString &aText) { return aRead.mResolver.Resolve(aText); };
  for (pugi::xml_node child = aElement.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element)
      continue;
    const char *name = child.name();
    auto is = [name](const char *aField) { return std::strcmp(name, aField) == 0; };
    if (is("Filename"))
      mFilename = resolved(TrimControl(ElementText(child)));
    else if (is("iPodFile"))
      mIPodFile = resolved(TrimControl(ElementText(child)));
    else if (is("AcidFile"))
      mAcidFile = resolved(TrimControl(ElementText(child)));
    else if (is("FileType"))
      mFileType = TrimControl(ElementText(child));
    else if (is("Artist"))
      mArtist = TrimControl(ElementText(child));
    else if (is("Instrument"))
      mInstrument = TrimControl(ElementText(child));
    else if (is("Level"))
      mLevel = TrimControl(ElementText(child));
    else if (is("URL"))
      mURL = TrimControl(ElementText(child));
    else if (is("Status")) {
      if (const auto status = TextToStatus(TrimControl(ElementText(child))))
        mStatus = *status;
    }
  }
}

void tFileItemC::SetStatus(uint8_t aStatus) {
  mStatus = aStatus;
  if (aStatus == esDownloaded)
    mProgress = 100;
  else if (aStatus == esNotDownloaded)
    mProgress = 0;
  if (mStatusWriter && *mStatusWriter)
    (*mStatusWriter)(mURL, aStatus);
  else
    UpdateEpisodeStatusInFile(LocalPath(mCatalogFile), mURL, aStatus);
}

void tFileItemC::SetProgress(int aPercent) {
  if (mStatus == esDownloaded)
    mProgress = 100;
  else if (mStatus == esNotDownloaded)
    mProgress = 0;
  else
    mProgress = std::clamp(aPercent, 0, 100);
}

tCategoryItemC::tCategoryItemC(tCategoryItemC *aParent, const pugi::xml_node &aElement,
                               QString aName, QString aPath, const tCatalogReadC &aRead, int aDepth)
    : tCatalogItemC(aParent), mName(std::move(aName)) {
  mItems.SetSorted(false);
  mItems.SetReleaseCallback(ReleaseObject<tCatalogItemC>);
  if (aDepth > cMaxCategoryDepth)
    throw ECatalogError(QStringLiteral("Categories are nested deeper than %1 levels in %2")
                            .arg(cMaxCategoryDepth)
                            .arg(LocalPath(aRead.mCatalogFile)));
  bool categoriesSeen = false;
  bool filesSeen = false;
  for (pugi::xml_node child = aElement.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element)
      continue;
    if (std::strcmp(child.name(), "File") == 0) {
      if (categoriesSeen)
        throw ECatalogError(QStringLiteral("File found in a node with categories"));
      filesSeen = true;
      QString name = ReadName(child, "File");
      QString path = ChildPath(aPath, name);
      auto *episode = new tFileItemC(this, child, name, std::move(path), aRead);
      mItems.Add(name, episode);
    } else if (std::strcmp(child.name(), "Category") == 0) {
      if (filesSeen)
        throw ECatalogError(QStringLiteral("Category found in a node with files"));
      categoriesSeen = true;
      QString name = ReadName(child, "Category");
      QString path = ChildPath(aPath, name);
      // The list owns the child from here, even if a later sibling fails.
      auto category =
          std::make_unique<tCategoryItemC>(this, child, name, std::move(path), aRead, aDepth + 1);
      mItems.Add(name, category.release());
    }
  }
  mHasFiles = filesSeen;
}

QString tCategoryItemC::GetPath() const {
  return mParent ? ChildPath(mParent->GetPath(), mName) : QString();
}

tCatalogC::tCatalogC(QString aFileName) : mFileName(std::move(aFileName)) {
  Load();
}

void tCatalogC::Load() {
  mRoot = ReadTree();
#ifdef __GLIBC__
  // The document's pages were freed in the middle of the heap, under the
  // new tree; without this a large catalog keeps them resident.
  malloc_trim(0);
#endif
}

std::shared_ptr<tCategoryItemC> tCatalogC::ReadTree() const {
  const QString local = LocalPath(mFileName);
  QFile file(local);
  if (!file.open(QIODevice::ReadOnly))
    throw ECatalogError(
        QStringLiteral("Cannot open the catalog file %1: %2").arg(local, file.errorString()));
  pugi::xml_document document;
  // Comments, processing instructions and document types become nodes, so
  // that one before the root is seen as the first node.
  ParseCatalogXml(document, file.readAll(), QStringLiteral("The catalog file %1").arg(local),
                  cKeepAllNodes);
  file.close();

  const pugi::xml_node first = document.first_child();
  if (first.type() != pugi::node_element || std::strcmp(first.name(), "Catalog") != 0)
    throw ECatalogError(QStringLiteral("expected 'Catalog' node, not found"));
  const tRelativePathResolverC resolver(FolderOf(mFileName));
  const tCatalogReadC read{mFileName, resolver, mStatusWriter};
  return std::make_shared<tCategoryItemC>(nullptr, first, QString(), QString(), read);
}

tCatalogItemC *tCatalogC::FindItem(const QString &aPath) const {
  if (aPath.isEmpty() || !mRoot)
    return nullptr;
  tCategoryItemC *category = mRoot.get();
  QStringView rest(aPath);
  while (true) {
    if (rest.startsWith(u'\\'))
      rest = rest.mid(1);
    if (rest.isEmpty())
      return category;
    const qsizetype slash = rest.indexOf(u'\\');
    const QString segment = (slash < 0 ? rest : rest.left(slash)).toString();
    rest = slash < 0 ? QStringView() : rest.mid(slash);
    tCatalogItemC *child = category->mItems.Find(segment);
    if (!child)
      return nullptr;
    if (!child->IsCategory())
      return rest.isEmpty() ? child : nullptr;
    if (rest.isEmpty())
      return child;
    category = static_cast<tCategoryItemC *>(child);
  }
}
