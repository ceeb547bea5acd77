#include "melApplications.h"

#include "melLogging.h"
#include "melPaths.h"
#include "melRegistry.h"
#include "melUtil.h"

#include <QFileInfo>

namespace {

// vApplications lives until the program ends, since CurrentApplication
// points into it.
std::unique_ptr<tApplicationListC> fApplications;
std::unique_ptr<tApplicationC> fDefaultApplication;
const tApplicationC *fCurrentApplication = nullptr;

bool PictureExists(int aIndex, const QString &aPicture) {
  const QString path = LocalPath(ExpandRelativePath(ProgramFolder(), aPicture));
  // A folder, such as the program folder an empty value resolves to, is no
  // picture.
  if (QFileInfo(path).isFile())
    return true;
  WriteLog(QStringLiteral("count: %1file %2 not exist").arg(aIndex).arg(path));
  return false;
}

} // namespace

std::unique_ptr<tApplicationListC> GetApplications() {
  auto applications = std::make_unique<tApplicationListC>();
  WriteLog(QStringLiteral("Entered to melUtil.GetApplications"));
  TRegistry registry;
  if (!registry.OpenKeyReadOnly(cApplicationsKey)) {
    WriteLog(QStringLiteral(
        "melUtil.GetApplications - \\Software\\Melodra\\Lessondeck\\Application key not found"));
  } else {
    const QStringList names = registry.GetKeyNames();
    for (int i = 0; i < names.size(); ++i) {
      TRegistry key;
      if (!key.OpenKeyReadOnly(cApplicationsKey + u'\\' + names[i]))
        continue;
      try {
        auto application = std::make_unique<tApplicationC>();
        application->mName = key.ReadString(QStringLiteral("Name"));
        application->mIconUp = key.ReadString(QStringLiteral("IconUp"));
        application->mIconDown = key.ReadString(QStringLiteral("IconDown"));
        application->mCatalog = key.ReadString(QStringLiteral("Catalog"));
        WriteLog(QStringLiteral("Count: %1 ApplicationName: %2, ApplicationIconUp: %3, "
                                "ApplicationIconDown: %4, ApplicationCatalog: %5")
                     .arg(QString::number(i), application->mName, application->mIconUp,
                          application->mIconDown, application->mCatalog));
        applications->Add(std::move(application));
      } catch (const EMelError &) {
        // An application whose values cannot be read is dropped quietly.
      }
    }
  }
  WriteLog(QStringLiteral("Exit from melUtil.GetApplications"));
  return applications;
}

void CheckFilesExisting(tApplicationListC &aList) {
  WriteLog(QStringLiteral("Entered to melUtil.CheckFilesExisting"));
  const int count = aList.Count();
  int removed = 0;
  for (int n = 0; n < count; ++n) {
    const tApplicationC *application = aList.Items(n - removed);
    // Both pictures are tested, so each missing one gets its line.
    const bool up = PictureExists(n, application->mIconUp);
    const bool down = PictureExists(n, application->mIconDown);
    if (!up || !down) {
      aList.Delete(n - removed);
      ++removed;
    }
  }
  WriteLog(QStringLiteral("Exit from melUtil.CheckFilesExisting"));
}

std::unique_ptr<tApplicationC> DefaultApplication() {
  auto application = std::make_unique<tApplicationC>();
  application->mName = cStoreApplicationName;
  application->mCatalog = QStringLiteral("Catalog.xml");
  return application;
}

tApplicationC *GetApplication(const tPickApplicationFn &aPick) {
  const QString exitLine = QStringLiteral("Exit from GetApplication : tApplicationC");
  WriteLog(QStringLiteral("Enter to GetApplication : tApplicationC"));
  fApplications = GetApplications();
  WriteLog(QStringLiteral("vApplications.mCount: %1").arg(fApplications->Count()));
  CheckFilesExisting(*fApplications);
  tApplicationC *result = nullptr;
  if (fApplications->Count() == 0) {
    fDefaultApplication = DefaultApplication();
    result = fDefaultApplication.get();
  } else if (fApplications->Count() == 1) {
    result = fApplications->Items(0);
  } else {
    WriteLog(QStringLiteral("show PickApplication"));
    const int selected = aPick(*fApplications);
    if (selected < 0 || selected >= fApplications->Count())
      return nullptr;
    result = fApplications->Items(selected);
  }
  WriteLog(exitLine);
  return result;
}

const tApplicationC &CurrentApplication() {
  static const tApplicationC cNone;
  return fCurrentApplication ? *fCurrentApplication : cNone;
}

void SetCurrentApplication(const tApplicationC *aApplication) {
  fCurrentApplication = aApplication;
}

bool IsStoreApplication() {
  return CurrentApplication().mName == cStoreApplicationName;
}

QString CatalogFilePath() {
  return ExpandRelativePath(ProgramFolder(), CurrentApplication().mCatalog);
}
