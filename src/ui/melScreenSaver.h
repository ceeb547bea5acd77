#pragma once

#include <cstdint>

// Holds the desktop's screen saver off while a movie plays, through the
// freedesktop screen saver service; without one it does nothing.
class tScreenSaverC {
public:
  ~tScreenSaverC();
  void SetInhibited(bool aInhibited);
  bool Inhibited() const { return mCookie != 0; }

private:
  uint32_t mCookie = 0;
};
