#include "melCommandQueue.h"

#include <algorithm>

void tCommandQueueC::Enqueue(uint8_t aKind, tFileItemC *aData, std::shared_ptr<const void> aTree) {
  std::erase_if(mItems, [&](const tQueueItemC &aPending) {
    return (aKind == qkOpen && aPending.mKind != qkClose) ||
           (aKind == qkPlay && aData && aPending.mKind != qkClose) || aPending.mKind == qkPlay;
  });
  mItems.push_back({aKind, aData, std::move(aTree), ++mLastSerial});
}

void tCommandQueueC::ForgetEpisode(uint64_t aSerial) {
  if (!mItems.empty() && mItems.front().mSerial == aSerial)
    mItems.front().mData = nullptr;
}

void tCommandQueueC::Done(uint64_t aSerial) {
  if (!mItems.empty() && mItems.front().mSerial == aSerial)
    mItems.pop_front();
}
