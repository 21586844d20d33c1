// Hostile-input soak over every registered audio class: random control vectors on every
// inlet, parameter and option, at every rate and frame length a host may run.
//
// A run has three phases. First in-range and edge vectors: every output must be finite.
// Then a 70/10/20 mix of in-range, edge and hostile vectors (NaN, infinities, floats near
// the top of the range): nothing may crash, and the sanitizer build checks for undefined
// behaviour. Then in-range vectors again: after one second plus the unit's longest delay
// line (or its tail, whichever is longer) the outputs must be finite once more.
//
// The quick pass runs one seed over a spread of rates and frame lengths. The long soak
// (`make soak SEEDS=n`) runs seeds 1..n over every rate and frame length. A failure
// names everything needed to replay it:
//   QVZ_SOAK_SEED=s QVZ_SOAK_CLASS=Name QVZ_SOAK_RATE=r QVZ_SOAK_FRAME=f
//     build/qvz_tests --gtest_also_run_disabled_tests --gtest_filter='RobustSoak.DISABLED_Long'

#include "RobustRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

using qvzrobust::ControlVector;
using qvzrobust::Rig;
using qvzrobust::VectorSource;

const int kRates[] = {22050, 44100, 48000, 96000, 192000};
const int kFrameLengths[] = {1, 2, 3, 4, 6, 8, 32, 128, 256, 1024};

// Finite outputs are checked for this long once recovery time has passed.
constexpr float kRecoveredCheckSeconds = 0.05f;
// Recovery time: one second plus the longest line or tail the unit has.
constexpr float kRecoverySeconds = 1.0f;

int envInt(const char *name, int fallback) {
  const char *text = std::getenv(name);
  return text && *text ? std::atoi(text) : fallback;
}

// Runs one soak and returns a description of the first failure, or an empty string.
std::string soakOnce(uint32_t seed, const qvztest::UnitEntry &entry, int rate, int frameLength, int vectors) {
  qvztest::ConfigScope scope(rate, frameLength);
  od::Random::seed(seed);
  Rig rig(entry);
  VectorSource source(qvzrobust::runSeed(seed, entry.name, rate, frameLength));
  const std::string where = "seed " + std::to_string(seed) + " class " + entry.name + " rate " + std::to_string(rate) +
                            " frame length " + std::to_string(frameLength);
  long frame = 0;

  auto run = [&](const ControlVector &v) {
    rig.apply(v);
    for (int f = 0; f < v.frames; f++, frame++) {
      rig.fill(v, frame);
      qvztest::runFrame(*rig.object);
    }
  };

  for (int k = 0; k < vectors / 2; k++) {
    const ControlVector v = source.draw(*rig.object, source.finiteKind());
    rig.apply(v);
    for (int f = 0; f < v.frames; f++, frame++) {
      rig.fill(v, frame);
      qvztest::runFrame(*rig.object);
      const int bad = rig.firstNonFinite();
      if (bad >= 0)
        return where + ": finite vector " + std::to_string(k) + " gave a non-finite output (outlet " +
               std::to_string(bad / od::kMaxFrameLength) + ", sample " + std::to_string(bad % od::kMaxFrameLength) +
               ") after " + std::to_string(f + 1) + " frame(s); " + rig.describe(v);
    }
  }

  ControlVector lastHostile;
  bool sawHostile = false;
  for (int k = 0; k < vectors - vectors / 2; k++) {
    const ControlVector v = source.draw(*rig.object, source.mixedKind());
    if (v.kind == qvzrobust::Kind::Hostile) {
      lastHostile = v;
      sawHostile = true;
    }
    run(v);
  }

  const float line = std::max(rig.heapSeconds(), std::max(entry.tailSeconds, 0.0f));
  const long recoveryFrames = (long)((kRecoverySeconds + line) * (float)rate / (float)frameLength) + 1;
  const long checkFrames = (long)(kRecoveredCheckSeconds * (float)rate / (float)frameLength) + 1;
  ControlVector v = source.draw(*rig.object, qvzrobust::Kind::InRange);
  for (long f = 0; f < recoveryFrames + checkFrames; f++, frame++) {
    if (f % 64 == 0) {
      v = source.draw(*rig.object, qvzrobust::Kind::InRange);
      rig.apply(v);
    }
    rig.fill(v, frame);
    qvztest::runFrame(*rig.object);
    if (f < recoveryFrames) continue;
    const int bad = rig.firstNonFinite();
    if (bad >= 0)
      return where + ": outputs still not finite " + std::to_string(recoveryFrames) +
             " frames after hostile values stopped (outlet " + std::to_string(bad / od::kMaxFrameLength) +
             "); now " + rig.describe(v) + (sawHostile ? "; last hostile " + rig.describe(lastHostile) : "");
  }
  return "";
}

bool selected(const qvztest::UnitEntry &entry) {
  const char *only = std::getenv("QVZ_SOAK_CLASS");
  return !only || !*only || entry.name == only;
}

// Quick seeded pass: every class at every rate; the frame lengths rotate between classes.
TEST(RobustSoak, HostileControlsNeitherCrashNorPoisonForever) {
  const uint32_t seed = 1;
  int combination = 0;
  for (const qvztest::UnitEntry &entry : qvztest::unitRegistry()) {
    for (int r = 0; r < 5; r++) {
      const int f = (2 * r + combination) % 10; // successive classes take turns at the frame lengths
      const std::string failure = soakOnce(seed, entry, kRates[r], kFrameLengths[f], 60);
      ASSERT_EQ(failure, "");
    }
    combination++;
  }
}

// The long soak: seeds 1..QVZ_SOAK_SEEDS over every rate and frame length (or the one
// run that QVZ_SOAK_SEED, QVZ_SOAK_CLASS, QVZ_SOAK_RATE and QVZ_SOAK_FRAME pick).
TEST(RobustSoak, DISABLED_Long) {
  const int seeds = envInt("QVZ_SOAK_SEEDS", 1);
  const int oneSeed = envInt("QVZ_SOAK_SEED", 0);
  const int oneRate = envInt("QVZ_SOAK_RATE", 0);
  const int oneFrame = envInt("QVZ_SOAK_FRAME", 0);
  const int vectors = envInt("QVZ_SOAK_VECTORS", 300);
  int failures = 0;
  for (int seed = oneSeed ? oneSeed : 1; seed <= (oneSeed ? oneSeed : seeds); seed++) {
    for (const qvztest::UnitEntry &entry : qvztest::unitRegistry()) {
      if (!selected(entry)) continue;
      for (int rate : kRates) {
        if (oneRate && rate != oneRate) continue;
        for (int frameLength : kFrameLengths) {
          if (oneFrame && frameLength != oneFrame) continue;
          const std::string failure = soakOnce((uint32_t)seed, entry, rate, frameLength, vectors);
          EXPECT_EQ(failure, "");
          if (!failure.empty() && ++failures >= 20) FAIL() << "stopping after 20 failures";
        }
      }
    }
  }
}

} // namespace
