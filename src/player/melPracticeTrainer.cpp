#include "melPracticeTrainer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
constexpr int cSlowest = 10; // hundredths
constexpr int cFastest = 120;

int Hundredths(double aSpeed) {
  return int(std::lround(aSpeed * 100.0));
}
} // namespace

int NearestPracticeSpeed(double aSpeed) {
  const int speed = Hundredths(aSpeed);
  int best = 0;
  for (int i = 1; i < int(cPracticeSpeeds.size()); ++i)
    if (std::abs(Hundredths(cPracticeSpeeds[i]) - speed) <
        std::abs(Hundredths(cPracticeSpeeds[best]) - speed))
      best = i;
  return best;
}

tSpeedTrainerC::tSpeedTrainerC(const tSpeedTrainerSettingsC &aSettings) : mSettings(aSettings) {
  mTarget = std::clamp(Hundredths(aSettings.mTarget), cSlowest, cFastest);
  mStart = std::clamp(Hundredths(aSettings.mStart), cSlowest, mTarget);
  mSettings.mStart = mStart / 100.0;
  mSettings.mTarget = mTarget / 100.0;
  mSettings.mStepPercent = std::clamp(aSettings.mStepPercent, 1, 10);
  mSettings.mPassesPerStep = std::clamp(aSettings.mPassesPerStep, 1, 10);
  Restart();
}

bool tSpeedTrainerC::Pass() {
  ++mPasses;
  if (mSpeed == mTarget || mPasses % mSettings.mPassesPerStep != 0)
    return false;
  mSpeed = std::min(mSpeed + mSettings.mStepPercent, mTarget);
  return true;
}

void tSpeedTrainerC::Restart() {
  mSpeed = mStart;
  mPasses = 0;
}
