#pragma once

#include "melPracticeState.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace Ui {
class TMain;
}

class QAction;
class QWidget;
class TFrameController;
class TPlaybackController;
class tMovieEngineC;

// The practice tools in the window: the keyboard, its help in the Help menu,
// the practice state each lesson keeps (speed, section, speed trainer,
// mirror, position) and the sound kept for all.
class TPracticeController : public QObject {
  Q_OBJECT
public:
  struct tKeyC {
    int mKey;
    Qt::KeyboardModifiers mModifiers;
    const char *mName;
    const char *mAction;
    void (TPracticeController::*mRun)();
    // Acts again while held.
    bool mRepeats = false;
  };

  // aWindow is the main window: keys act only while its focus is outside the
  // search box and the store page.
  TPracticeController(Ui::TMain &aForm, TPlaybackController &aPlayback, TFrameController &aFrame,
                      QWidget &aWindow, QObject *aParent = nullptr);
  ~TPracticeController() override;

  // The store's page, where keys belong to the page; none before it exists.
  void SetStorePage(std::function<QWidget *()> aPage) { FStorePage = std::move(aPage); }
  // After the movie engine started: the kept volume and mute.
  void Start();
  // The opened lesson's state, as it stands now; at the window's close.
  void SaveState();
  // The episode of aLessonPath was removed: its state goes with it.
  void ForgetLesson(const QString &aLessonPath);

  static std::span<const tKeyC> Keys();
  static QString KeyboardHelpText();
  QAction *Keyboard1() const { return FKeyboard1; }
  // The start a section waits for, set by A after its end or before any B.
  std::optional<int64_t> PendingSectionStart() const { return FPendingStart; }

protected:
  bool eventFilter(QObject *aWatched, QEvent *aEvent) override;

private:
  tMovieEngineC &Engine() const;
  bool HasMovie() const;
  bool KeysBelongElsewhere(const QWidget &aFocus) const;
  void MovieLoaded();
  void RestoreState();
  void CaptureState();
  void WriteState();
  void WriteSound();

  void PlayPause();
  void Back5();
  void Forward5();
  void Back1();
  void Forward1();
  void SeekBy(int64_t aDelta);
  void GoToStart();
  void Slower();
  void Faster();
  void StepSpeed(int aStep);
  void ToggleLoop();
  void SetSectionStart();
  void SetSectionEnd();
  void ClearSection();
  void ToggleMute();
  void VolumeUp();
  void VolumeDown();
  void ToggleMirror();
  void FocusSearch();
  void FrameBack();
  void FrameForward();
  void ToggleFullScreen();

  Ui::TMain *ui;
  TPlaybackController &FPlayback;
  QWidget &FWindow;
  std::function<QWidget *()> FStorePage;
  QAction *FKeyboard1 = nullptr;
  // The lesson whose state FState holds, and its movie file.
  QString FStatePath;
  QString FStateFile;
  tPracticeStateC FState;
  std::optional<int64_t> FPendingStart;
  // Kept until the engine knows the movie's duration.
  std::optional<int64_t> FPositionToRestore;
  bool FRestoring = false;
};
