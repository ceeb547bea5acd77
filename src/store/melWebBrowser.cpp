#include "melWebBrowser.h"

#include "melErrors.h"
#include "melLogging.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

namespace {

tWebBrowserFactoryFn gFactory = nullptr;

tWebBrowserFactoryFn LoadWebEngine() {
  const QString folder = QCoreApplication::applicationDirPath();
  const QString name = QLatin1String(cWebEngineModule);
  const QStringList candidates = {folder + u'/' + name,
                                  folder + QStringLiteral("/../lib/melodra/") + name};
  QString errors;
  for (const QString &candidate : candidates) {
    if (!QFileInfo::exists(candidate))
      continue;
    // Kept loaded for the rest of the run: its browsers live on.
    auto *module = new QLibrary(candidate);
    if (auto factory =
            reinterpret_cast<tWebBrowserFactoryFn>(module->resolve(cWebEngineFactorySymbol))) {
      WriteLog(QStringLiteral("Store browser: web engine loaded from ") + candidate);
      return factory;
    }
    errors += QStringLiteral("; ") + module->errorString();
    delete module;
  }
  throw EMelError(
      QStringLiteral("The store's web engine (%1) cannot be loaded%2")
          .arg(name, errors.isEmpty() ? QStringLiteral(": not found beside the program") : errors));
}

} // namespace

TWebBrowser::TWebBrowser(QWidget *aParent) : QWidget(aParent) {}

TWebBrowser::~TWebBrowser() = default;

void SetWebBrowserFactory(tWebBrowserFactoryFn aFactory) {
  gFactory = aFactory;
}

TWebBrowser *CreateWebBrowser(QWidget *aParent, const tWebBrowserOptionsC &aOptions) {
  if (!gFactory)
    gFactory = LoadWebEngine();
  return gFactory(aParent, aOptions);
}
