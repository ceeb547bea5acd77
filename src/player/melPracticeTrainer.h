#pragma once

#include <array>

// The speeds of the window's speed slider, slowest first.
inline constexpr std::array<double, 5> cPracticeSpeeds = {0.6, 0.8, 1.0, 1.1, 1.2};

// The index in cPracticeSpeeds nearest to aSpeed; halfway goes to the slower.
int NearestPracticeSpeed(double aSpeed);

// Raises the speed of a practised section step by step: after every so many
// passes by a step, up to a target, where it stays. Speeds are kept in whole
// hundredths so that 0.6 + 10 % is 0.7 exactly.
struct tSpeedTrainerSettingsC {
  double mStart = 0.6;
  // Of the normal speed, 1 to 10.
  int mStepPercent = 10;
  // Passes between raises, 1 to 10.
  int mPassesPerStep = 2;
  // At most 1.2; a start above it starts at the target.
  double mTarget = 1.0;
};

class tSpeedTrainerC {
public:
  explicit tSpeedTrainerC(const tSpeedTrainerSettingsC &aSettings = {});

  // Settings brought into range, as the trainer uses them.
  const tSpeedTrainerSettingsC &Settings() const { return mSettings; }
  double Speed() const { return mSpeed / 100.0; }
  int SliderPosition() const { return NearestPracticeSpeed(Speed()); }
  int Passes() const { return mPasses; }
  bool AtTarget() const { return mSpeed == mTarget; }

  // Counts a completed pass; true when the speed went up with it.
  bool Pass();
  // Back to the start speed, no passes counted.
  void Restart();

private:
  tSpeedTrainerSettingsC mSettings;
  int mStart = 60;
  int mTarget = 100;
  int mSpeed = 60;
  int mPasses = 0;
};
