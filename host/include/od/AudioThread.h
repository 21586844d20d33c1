#pragma once

namespace od {

// Scratch frames for process(): taken and returned within the same call.
// The pool is allocated up front; nothing here allocates.
class AudioThread {
public:
  static float *getFrame();
  static void releaseFrame(float *frame);
  static int framesInUse();
  static constexpr int kPoolSize = 64;
};

} // namespace od
