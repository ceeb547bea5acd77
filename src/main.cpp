// Program entry: open the log, choose the application, run the main window.
#include "melAbout.h"
#include "melApplicationObject.h"
#include "melApplications.h"
#include "melLogging.h"
#include "melMain.h"
#include "melMessages.h"
#include "melPickApplication.h"
#include "melRegistry.h"
#include "melTermination.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <unistd.h>

int main(int argc, char *argv[]) {
  // Chromium's sandbox refuses to start as root; the store browser then runs
  // without it.
  if (geteuid() == 0)
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
  try {
    OpenLog();
  } catch (const EMelError &e) {
    // Without a log the program cannot run; say why and end.
    std::fprintf(stderr, "Melodra: %s\n", e.what());
    TmelApplication app(argc, argv);
    ShowErrorBox(e.Message());
    return 1;
  }
  TRegistry::SetDiagnostics([](const QString &aLine) { WriteLog(aLine); });

  int result = 0;
  {
    // Video and web views share GL contexts; this must precede the
    // application object.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TmelApplication app(argc, argv);
    // The movie engine reads numbers in the C locale.
    std::setlocale(LC_NUMERIC, "C");
    InstallTerminationHandler([] { QApplication::closeAllWindows(); });

    const tApplicationC *application = nullptr;
    Guarded([&application] { application = GetApplication(PickApplication); });
    if (application) {
      SetCurrentApplication(application);
      auto mainWindow = std::make_unique<TMain>();
      auto about = std::make_unique<TAbout>(mainWindow.get());
      // A signal taken while the creation showed an error closed only that
      // box; the run then ends here, the normal way.
      if (!TerminationRequested()) {
        mainWindow->show();
        result = app.exec();
      }
      about.reset();
      mainWindow.reset();
    }
  }
  TRegistry::SetDiagnostics(nullptr);
  CloseLog();
  return result;
}
