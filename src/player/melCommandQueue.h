#pragma once

#include <cstdint>
#include <deque>
#include <memory>

class tFileItemC;

enum tQueueKind : uint8_t {
  qkClose = 0,   // unload the movie
  qkOpen = 1,    // open the episode
  qkPlay = 2,    // open the episode when one is given, then play
  qkSetRate = 3, // apply the chosen speed
};

// One playback command, a value. The episode is not owned; mTree keeps the
// catalog tree it belongs to alive until the command is done, even across a
// reload.
class tQueueItemC {
public:
  uint8_t mKind = qkClose;
  tFileItemC *mData = nullptr;
  std::shared_ptr<const void> mTree;
  // Tells this command from later ones of the same kind and episode.
  uint64_t mSerial = 0;
};

// The pending playback commands, oldest first. Whoever carries out the head
// works on a copy: commands queued meanwhile may drop it.
class tCommandQueueC {
public:
  // Removes the pending commands that the new one makes pointless, then
  // appends it: an open drops every pending open, play and speed change; a
  // play of an episode likewise; every command drops a pending play; pending
  // closes always stay.
  void Enqueue(uint8_t aKind, tFileItemC *aData, std::shared_ptr<const void> aTree = {});

  int Count() const { return int(mItems.size()); }
  bool Empty() const { return mItems.empty(); }
  const tQueueItemC &At(int aIndex) const { return mItems.at(size_t(aIndex)); }
  const tQueueItemC &Head() const { return mItems.front(); }
  // The head, when it is still the command aSerial, keeps no episode: it was
  // opened once and now only waits for that load.
  void ForgetEpisode(uint64_t aSerial);
  // Removes the head when it is still the command aSerial.
  void Done(uint64_t aSerial);
  void Clear() { mItems.clear(); }

private:
  std::deque<tQueueItemC> mItems;
  uint64_t mLastSerial = 0;
};
