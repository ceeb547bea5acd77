#include "melPracticeController.h"

#include "melApplications.h"
#include "melFrameController.h"
#include "melImageButton.h"
#include "melImageSlider32.h"
#include "melMessages.h"
#include "melMovieEngine.h"
#include "melPlaybackController.h"
#include "melQTControl.h"
#include "ui_melMain.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>
#include <array>

namespace {

using T = TPracticeController;

constexpr Qt::KeyboardModifiers cNone = Qt::NoModifier;

constexpr int64_t cLongStep = 5000;
constexpr int64_t cShortStep = 1000;
constexpr int cVolumeStep = 5;

QString ApplicationName() {
  return CurrentApplication().mName;
}

} // namespace

TPracticeController::TPracticeController(Ui::TMain &aForm, TPlaybackController &aPlayback,
                                         TFrameController &aFrame, QWidget &aWindow,
                                         QObject *aParent)
    : QObject(aParent), ui(&aForm), FPlayback(aPlayback), FWindow(aWindow) {
  // An application filter rather than window shortcuts: the key press is
  // seen before any widget takes it, and the focus decides exactly whether
  // it is ours (the search box and the store page keep their keys, and a
  // shortcut would also fire from them).
  qApp->installEventFilter(this);

  QMenu &help = *aFrame.HelpPm();
  FKeyboard1 = new QAction(QStringLiteral("Keyboard"), &help);
  FKeyboard1->setObjectName(QStringLiteral("Keyboard1"));
  help.insertAction(aFrame.About1(), FKeyboard1);
  // Before the separator that leads to About.
  const QList<QAction *> actions = help.actions();
  const qsizetype about = actions.indexOf(aFrame.About1());
  if (about >= 2 && actions[about - 2]->isSeparator()) {
    help.removeAction(FKeyboard1);
    help.insertAction(actions[about - 2], FKeyboard1);
  }
  connect(FKeyboard1, &QAction::triggered, this, [this] {
    Guarded([this] { Information(KeyboardHelpText(), QMessageBox::Ok, &FWindow); });
  });

  TQTControl &control = *FPlayback.MovieControl();
  // After the playback controller's own handler, made before this one.
  connect(&control, &TQTControl::MovieLoaded, this, [this] { Guarded([this] { MovieLoaded(); }); });
  tMovieEngineC &engine = control.Engine();
  connect(&engine, &tMovieEngineC::TimeChanged, this, [this](int64_t aTime) {
    if (!FStatePath.isEmpty() && Engine().Loaded() && Engine().Path() == FStateFile)
      FState.mPositionMs = aTime;
  });
  connect(&engine, &tMovieEngineC::Sought, this, [this](int64_t aTime) {
    if (!FStatePath.isEmpty() && Engine().Loaded() && Engine().Path() == FStateFile)
      FState.mPositionMs = aTime;
  });
  connect(&engine, &tMovieEngineC::DurationKnown, this, [this](int64_t aDuration) {
    if (!FPositionToRestore || aDuration <= 0 || !Engine().Loaded() ||
        Engine().Path() != FStateFile)
      return;
    const int64_t position = *FPositionToRestore;
    FPositionToRestore.reset();
    Guarded([&] { Engine().SetTime(RestoredPosition(position, aDuration)); });
  });
  // A section set elsewhere (the position bar) is kept as the keys' are.
  connect(&engine, &tMovieEngineC::SectionChanged, this,
          [this] { Guarded([this] { WriteState(); }); });
  connect(ui->fRateSlider, &TImageSlider32::OnChange, this,
          [this] { Guarded([this] { WriteState(); }); });
}

TPracticeController::~TPracticeController() {
  qApp->removeEventFilter(this);
}

std::span<const TPracticeController::tKeyC> TPracticeController::Keys() {
  static const std::array cKeys = {
      T::tKeyC{Qt::Key_Space, cNone, "Space", "Play or pause", &T::PlayPause},
      T::tKeyC{Qt::Key_Left, cNone, "Left", "5 seconds back", &T::Back5, true},
      T::tKeyC{Qt::Key_Right, cNone, "Right", "5 seconds forward", &T::Forward5, true},
      T::tKeyC{Qt::Key_Left, Qt::ShiftModifier, "Shift+Left", "1 second back", &T::Back1, true},
      T::tKeyC{Qt::Key_Right, Qt::ShiftModifier, "Shift+Right", "1 second forward", &T::Forward1,
               true},
      T::tKeyC{Qt::Key_Home, cNone, "Home", "To the start", &T::GoToStart},
      T::tKeyC{Qt::Key_BracketLeft, cNone, "[", "Slower", &T::Slower, true},
      T::tKeyC{Qt::Key_BracketRight, cNone, "]", "Faster", &T::Faster, true},
      T::tKeyC{Qt::Key_L, cNone, "L", "Loop the lesson on or off", &T::ToggleLoop},
      T::tKeyC{Qt::Key_A, cNone, "A", "Section starts here", &T::SetSectionStart},
      T::tKeyC{Qt::Key_B, cNone, "B", "Section ends here", &T::SetSectionEnd},
      T::tKeyC{Qt::Key_Escape, cNone, "Esc", "Clear the section, or leave the full screen",
               &T::ClearSection},
      T::tKeyC{Qt::Key_Comma, cNone, ",", "One frame back, while paused", &T::FrameBack, true},
      T::tKeyC{Qt::Key_Period, cNone, ".", "One frame forward, while paused", &T::FrameForward,
               true},
      T::tKeyC{Qt::Key_F, cNone, "F", "Full screen movie on or off", &T::ToggleFullScreen},
      T::tKeyC{Qt::Key_I, cNone, "I", "Mirror the picture on or off", &T::ToggleMirror},
      T::tKeyC{Qt::Key_M, cNone, "M", "Sound on or off", &T::ToggleMute},
      T::tKeyC{Qt::Key_Up, Qt::ControlModifier, "Ctrl+Up", "Louder", &T::VolumeUp, true},
      T::tKeyC{Qt::Key_Down, Qt::ControlModifier, "Ctrl+Down", "Softer", &T::VolumeDown, true},
      T::tKeyC{Qt::Key_F, Qt::ControlModifier, "Ctrl+F", "Search", &T::FocusSearch},
  };
  return cKeys;
}

QString TPracticeController::KeyboardHelpText() {
  QString text;
  for (const tKeyC &key : Keys())
    text += QLatin1String(key.mName) + u'\t' + QLatin1String(key.mAction) + u'\n';
  text += QStringLiteral("Up, Down\tThe next or previous lesson in the list");
  return text;
}

tMovieEngineC &TPracticeController::Engine() const {
  return FPlayback.MovieControl()->Engine();
}

bool TPracticeController::HasMovie() const {
  return FPlayback.MovieControl()->Movie() != nullptr;
}

bool TPracticeController::KeysBelongElsewhere(const QWidget &aFocus) const {
  if (&aFocus == ui->fSearchEdt)
    return true;
  QWidget *page = FStorePage ? FStorePage() : nullptr;
  return page && (page == &aFocus || page->isAncestorOf(&aFocus));
}

bool TPracticeController::eventFilter(QObject *aWatched, QEvent *aEvent) {
  if (aEvent->type() != QEvent::KeyPress || !aWatched->isWidgetType())
    return false;
  auto *receiver = static_cast<QWidget *>(aWatched);
  QWidget *focus = QApplication::focusWidget();
  if (!focus)
    focus = receiver;
  // A key the focus widget passed on to its parents was judged there.
  // The movie shown full screen is a window of its own, and still ours.
  const bool ours = focus->window() == &FWindow || focus->window() == FPlayback.MovieControl();
  if (receiver != focus || !ours || KeysBelongElsewhere(*focus))
    return false;
  const auto &event = *static_cast<QKeyEvent *>(aEvent);
  const Qt::KeyboardModifiers modifiers =
      event.modifiers() &
      (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  for (const tKeyC &key : Keys()) {
    if (key.mKey == event.key() && key.mModifiers == modifiers) {
      // A held toggle would flicker: only the steps repeat.
      if (!event.isAutoRepeat() || key.mRepeats)
        Guarded([&] { (this->*key.mRun)(); }, &FWindow);
      return true;
    }
  }
  return false;
}

void TPracticeController::Start() {
  const tPlayerSoundC sound = ReadPlayerSound();
  Engine().SetVolume(sound.mVolume);
  Engine().SetMuted(sound.mMuted);
}

void TPracticeController::MovieLoaded() {
  const QString path = FPlayback.CurrentPath();
  // The lesson left behind keeps where it was.
  if (!FStatePath.isEmpty() && FStatePath != path)
    WritePracticeState(ApplicationName(), FStatePath, FState);
  FStatePath = path;
  FStateFile = Engine().Path();
  FPendingStart.reset();
  FPositionToRestore.reset();
  RestoreState();
}

void TPracticeController::RestoreState() {
  FState = ReadPracticeState(ApplicationName(), FStatePath);
  FRestoring = true;
  struct tDoneC {
    bool &mFlag;
    ~tDoneC() { mFlag = false; }
  } done{FRestoring};
  TImageSlider32 &slider = *ui->fRateSlider;
  const int position = NearestPracticeSpeed(FState.mSpeed);
  slider.SetPosition(position);
  emit slider.OnChange(&slider, position);
  tMovieEngineC &engine = Engine();
  if (FState.mTrainerOn) {
    tSpeedTrainerSettingsC trainer;
    trainer.mStart = FState.mTrainerStartSpeed;
    trainer.mStepPercent = FState.mTrainerStepPercent;
    trainer.mPassesPerStep = FState.mTrainerPasses;
    trainer.mTarget = FState.mTrainerTargetSpeed;
    engine.SetSpeedTrainer(trainer);
  } else {
    engine.ClearSpeedTrainer();
  }
  if (FState.mHasSection)
    engine.SetSection(FState.mSectionStartMs, FState.mSectionEndMs);
  engine.SetMirrored(FState.mMirrored);
  // The rule needs the duration, which the engine may report only later.
  if (engine.Duration() > 0)
    engine.SetTime(RestoredPosition(FState.mPositionMs, engine.Duration()));
  else
    FPositionToRestore = FState.mPositionMs;
}

void TPracticeController::CaptureState() {
  tMovieEngineC &engine = Engine();
  if (FStatePath.isEmpty() || !engine.Loaded() || engine.Path() != FStateFile)
    return;
  FState.mSpeed = FPlayback.ChosenRate();
  const std::optional<tMovieSectionC> section = engine.Section();
  FState.mHasSection = section.has_value();
  if (section) {
    FState.mSectionStartMs = section->mStart;
    FState.mSectionEndMs = section->mEnd;
  }
  FState.mTrainerOn = engine.SpeedTrainer().has_value();
  if (const auto &trainer = engine.SpeedTrainer()) {
    const tSpeedTrainerSettingsC &settings = trainer->Settings();
    FState.mTrainerStartSpeed = settings.mStart;
    FState.mTrainerStepPercent = settings.mStepPercent;
    FState.mTrainerPasses = settings.mPassesPerStep;
    FState.mTrainerTargetSpeed = settings.mTarget;
  }
  FState.mMirrored = engine.Mirrored();
  FState.mPositionMs = engine.Time();
}

void TPracticeController::WriteState() {
  if (FRestoring || FStatePath.isEmpty())
    return;
  CaptureState();
  WritePracticeState(ApplicationName(), FStatePath, FState);
}

void TPracticeController::SaveState() {
  WriteState();
}

void TPracticeController::ForgetLesson(const QString &aLessonPath) {
  if (aLessonPath == FStatePath) {
    FStatePath.clear();
    FStateFile.clear();
  }
  RemovePracticeState(ApplicationName(), aLessonPath);
}

void TPracticeController::WriteSound() {
  WritePlayerSound({Engine().Volume(), Engine().Muted()});
}

void TPracticeController::PlayPause() {
  // As the buttons do: the one shown is the one that applies.
  if (ui->fPlayBtn->isVisible())
    ui->fPlayBtn->click();
  else
    ui->fPauseBtn->click();
}

void TPracticeController::SeekBy(int64_t aDelta) {
  if (!HasMovie())
    return;
  tMovieEngineC &engine = Engine();
  engine.SetTime(std::clamp<int64_t>(engine.Time() + aDelta, 0, engine.Duration()));
  WriteState();
}

void TPracticeController::Back5() {
  SeekBy(-cLongStep);
}

void TPracticeController::Forward5() {
  SeekBy(cLongStep);
}

void TPracticeController::Back1() {
  SeekBy(-cShortStep);
}

void TPracticeController::Forward1() {
  SeekBy(cShortStep);
}

void TPracticeController::GoToStart() {
  if (!HasMovie())
    return;
  Engine().SetTime(0);
  WriteState();
}

void TPracticeController::StepSpeed(int aStep) {
  TImageSlider32 &slider = *ui->fRateSlider;
  const int position = std::clamp(slider.Position() + aStep, slider.Start(), slider.Stop());
  if (position == slider.Position())
    return;
  slider.SetPosition(position);
  emit slider.OnChange(&slider, position);
}

void TPracticeController::Slower() {
  StepSpeed(-1);
}

void TPracticeController::Faster() {
  StepSpeed(1);
}

void TPracticeController::ToggleLoop() {
  if (ui->fLoopOnBtn->isVisible())
    ui->fLoopOnBtn->click();
  else
    ui->fLoopOffBtn->click();
}

void TPracticeController::SetSectionStart() {
  if (!HasMovie())
    return;
  tMovieEngineC &engine = Engine();
  const int64_t here = engine.Time();
  const std::optional<tMovieSectionC> section = engine.Section();
  if (section && here < section->mEnd) {
    FPendingStart.reset();
    engine.SetSection(here, section->mEnd);
  } else {
    // At or after the end: a new section starts here and waits for its end.
    engine.ClearSection();
    FPendingStart = here;
  }
}

void TPracticeController::SetSectionEnd() {
  if (!HasMovie())
    return;
  tMovieEngineC &engine = Engine();
  const int64_t here = engine.Time();
  const std::optional<tMovieSectionC> section = engine.Section();
  int64_t start = FPendingStart ? *FPendingStart : section ? section->mStart : 0;
  // An end at or before the start: the section runs from the movie's start.
  if (here <= start)
    start = 0;
  FPendingStart.reset();
  engine.SetSection(start, here);
}

void TPracticeController::ClearSection() {
  // Leaving the full screen comes first: the section stays.
  if (FPlayback.MovieControl()->FullScreen()) {
    FPlayback.MovieControl()->SetFullScreen(false);
    return;
  }
  FPendingStart.reset();
  if (HasMovie())
    Engine().ClearSection();
}

void TPracticeController::ToggleMute() {
  Engine().SetMuted(!Engine().Muted());
  WriteSound();
}

void TPracticeController::VolumeUp() {
  Engine().SetVolume(std::min(Engine().Volume() + cVolumeStep, 100));
  WriteSound();
}

void TPracticeController::VolumeDown() {
  Engine().SetVolume(std::max(Engine().Volume() - cVolumeStep, 0));
  WriteSound();
}

void TPracticeController::ToggleMirror() {
  if (!HasMovie())
    return;
  Engine().SetMirrored(!Engine().Mirrored());
  WriteState();
}

void TPracticeController::FrameBack() {
  if (HasMovie() && FPlayback.PlayState() == TPlaybackController::psStopped)
    SeekBy(-Engine().FrameTime());
}

void TPracticeController::FrameForward() {
  if (HasMovie() && FPlayback.PlayState() == TPlaybackController::psStopped)
    SeekBy(Engine().FrameTime());
}

void TPracticeController::ToggleFullScreen() {
  TQTControl &control = *FPlayback.MovieControl();
  if (HasMovie() || control.FullScreen())
    control.SetFullScreen(!control.FullScreen());
}

void TPracticeController::FocusSearch() {
  ui->fSearchEdt->setFocus(Qt::ShortcutFocusReason);
  ui->fSearchEdt->selectAll();
}
