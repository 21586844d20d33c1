#pragma once

#include <od/Object.h>

#include <memory>
#include <vector>

namespace od {

// Sums n inputs, each scaled by its own gain: "Out" = sum of In_k * Gain_k, per sample.
// Inlets "In1".."In<n>" then "Gain1".."Gain<n>" (gains read 1 until set).
class Mixer : public Object {
public:
  static constexpr int kMinChannels = 1;
  static constexpr int kMaxChannels = 64;

  // n outside 1..64 is limited to that range (the Lua binding refuses it).
  explicit Mixer(int channels);
  ~Mixer() override;

  void process() override;

  int channels() const { return (int)mIns.size(); }

  Outlet mOut{"Out"};

private:
  std::vector<std::unique_ptr<Inlet>> mIns;
  std::vector<std::unique_ptr<Inlet>> mGains;
};

} // namespace od
