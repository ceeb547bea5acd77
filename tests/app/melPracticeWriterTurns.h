#pragma once

#include "melPracticeState.h"

#include <QString>

inline const QString cPracticeApplication = QStringLiteral("Guitar");

// Two states that differ in every field, taking turns, so that a state read
// back half old and half new cannot pass for either.
inline tPracticeStateC PracticeTurn(int aTurn) {
  tPracticeStateC state;
  const bool odd = aTurn % 2 != 0;
  state.mSpeed = odd ? 0.8 : 0.9;
  state.mHasSection = !odd;
  state.mSectionStartMs = odd ? 0 : 1000;
  state.mSectionEndMs = odd ? 0 : 9000;
  state.mTrainerOn = !odd;
  state.mTrainerStartSpeed = odd ? 0.6 : 0.7;
  state.mTrainerStepPercent = odd ? 3 : 4;
  state.mTrainerPasses = odd ? 5 : 6;
  state.mTrainerTargetSpeed = odd ? 1.0 : 1.1;
  state.mMirrored = odd;
  state.mPositionMs = odd ? 20000 + aTurn : 30000 + aTurn;
  return state;
}
