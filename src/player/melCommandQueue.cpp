#include "melCommandQueue.h"

void SetUpCommandQueue(tCommandQueueC &aQueue) {
  aQueue.SetSorted(false);
  aQueue.SetAllowDuplicates(true);
  aQueue.SetReleaseCallback(ReleaseObject<tQueueItemC>);
}

void EnqueueCommand(tCommandQueueC &aQueue, uint8_t aKind, tFileItemC *aData,
                    std::shared_ptr<const void> aTree) {
  for (int i = aQueue.Count() - 1; i >= 0; --i) {
    const uint8_t pending = aQueue.ObjectAt(i)->mKind;
    const bool superseded = (aKind == qkOpen && pending != qkClose) ||
                            (aKind == qkPlay && aData && pending != qkClose) || pending == qkPlay;
    if (superseded)
      aQueue.Delete(i);
  }
  auto *item = new tQueueItemC{aKind, aData, std::move(aTree)};
  aQueue.Add(tCommandQueueC::KeyOf(item), item);
}
