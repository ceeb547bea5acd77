#pragma once

#include "ocLists.h"

#include <cstdint>
#include <memory>

class tFileItemC;

enum tQueueKind : uint8_t {
  qkClose = 0,   // unload the movie
  qkOpen = 1,    // open the episode
  qkPlay = 2,    // open the episode when one is given, then play
  qkSetRate = 3, // apply the chosen speed
};

// One playback command. The episode is not owned; mTree keeps the catalog
// tree it belongs to alive until the command is done, even across a reload.
class tQueueItemC {
public:
  uint8_t mKind = qkClose;
  tFileItemC *mData = nullptr;
  std::shared_ptr<const void> mTree;
};

using tCommandQueueC = tIntegerListC<tQueueItemC>;

// An empty, owning, unsorted command queue.
void SetUpCommandQueue(tCommandQueueC &aQueue);

// Removes the pending commands that the new one makes pointless, then
// appends it: an open drops every pending open, play and speed change; a
// play of an episode likewise; every command drops a pending play; pending
// closes always stay.
void EnqueueCommand(tCommandQueueC &aQueue, uint8_t aKind, tFileItemC *aData,
                    std::shared_ptr<const void> aTree = {});
