// Program entry: open the log, choose the application, run the main window.
#include "melAbout.h"
#include "melApplicationObject.h"
#include "melApplications.h"
#include "melInstanceChannel.h"
#include "melLogging.h"
#include "melMain.h"
#include "melMessages.h"
#include "melPaths.h"
#include "melPickApplication.h"
#include "melRegistry.h"
#include "melSingleInstance.h"
#include "melTermination.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <unistd.h>

namespace {

// How long a second start waits for the running program to answer; its
// event loop may still be busy reading a large catalog.
constexpr int cRaiseAnswerTimeout = 20000;

enum class tFolderClaim { fcOurs, fcHandedOver, fcFailed };

// Takes the program folder for this run. A folder that a running program
// holds stays with it: that program is asked to come forward instead.
tFolderClaim ClaimProgramFolder(tInstanceLockC &aLock, const QString &aChannelName) {
  switch (aLock.TryLock()) {
  case tInstanceLockC::lrLocked:
    if (aLock.FoundPid() != 0)
      WriteLog(
          QStringLiteral("Took over the program folder's lock from process %1, which has ended")
              .arg(aLock.FoundPid()));
    return tFolderClaim::fcOurs;
  case tInstanceLockC::lrHeld:
    WriteLog(QStringLiteral("Melodra already runs on this program folder, process %1")
                 .arg(aLock.FoundPid()));
    if (tInstanceChannelC::RequestRaise(aChannelName, cRaiseAnswerTimeout)) {
      WriteLog(QStringLiteral("Brought the running Melodra forward; this start ends"));
      return tFolderClaim::fcHandedOver;
    }
    WriteLog(QStringLiteral("The running Melodra did not answer; this start ends"));
    std::fprintf(stderr, "Melodra: already runs on this program folder and did not answer\n");
    return tFolderClaim::fcFailed;
  case tInstanceLockC::lrFailed: break;
  }
  WriteLog(aLock.ErrorText());
  std::fprintf(stderr, "Melodra: %s\n", qPrintable(aLock.ErrorText()));
  ShowErrorBox(aLock.ErrorText());
  return tFolderClaim::fcFailed;
}

} // namespace

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

    // One program per folder, settled before the picker: a second start
    // shows nothing of its own.
    const QString folder = ProgramFolder();
    const QString channelName = InstanceChannelName(folder);
    tInstanceLockC instanceLock(folder);
    tFolderClaim claim = tFolderClaim::fcFailed;
    Guarded([&] { claim = ClaimProgramFolder(instanceLock, channelName); });
    if (claim != tFolderClaim::fcOurs) {
      TRegistry::SetDiagnostics(nullptr);
      CloseLog();
      return claim == tFolderClaim::fcHandedOver ? 0 : 1;
    }
    std::unique_ptr<TMain> mainWindow;
    tInstanceChannelC channel(channelName);
    QObject::connect(&channel, &tInstanceChannelC::RaiseRequested, [&mainWindow] {
      Guarded([&mainWindow] {
        WriteLog(QStringLiteral("A second start asked to bring the window forward"));
        if (mainWindow)
          mainWindow->BringForward();
        // The picker or a message box in front of the window.
        if (QWidget *modal = QApplication::activeModalWidget()) {
          modal->raise();
          modal->activateWindow();
        }
      });
    });
    // Without the channel the lock still keeps a second start out; it just
    // cannot bring this window forward.
    QString listenError;
    if (!channel.Listen(listenError))
      Guarded([&] {
        WriteLog(QStringLiteral("Cannot listen for a second start on %1: %2")
                     .arg(channelName, listenError));
      });

    const tApplicationC *application = nullptr;
    Guarded([&application] { application = GetApplication(PickApplication); });
    if (application) {
      SetCurrentApplication(application);
      mainWindow = std::make_unique<TMain>();
      auto about = std::make_unique<TAbout>(mainWindow.get());
      mainWindow->SetAboutBox(about.get());
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
