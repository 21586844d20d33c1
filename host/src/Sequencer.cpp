#include <od/Sequencer.h>

#include <dsp/Clamp.h>

#include <algorithm>
#include <cmath>

namespace od {

namespace {
constexpr float kLowestBPM = 1.0f, kHighestBPM = 3000.0f;
constexpr float kFewestDivisions = 0.125f, kMostDivisions = 64.0f;
constexpr float kMostSwing = 0.5f;
constexpr double kSecondsPerMinute = 60.0;
constexpr double kShortestStep = 2.0; // samples: room for an open and a closed gate
} // namespace

Sequencer::Sequencer(const std::vector<float> &steps) : mSteps(steps) {
  if (mSteps.empty()) mSteps.push_back(NAN);
  addInput(mClock);
  addOutput(mTrig);
  addOutput(mPitch);
  addParameter(mBPM);
  addParameter(mDivision);
  addParameter(mSwing);
  addParameter(mLength);
  for (Parameter *p : {&mBPM, &mDivision, &mSwing, &mLength}) p->enableSerialization();
  for (float step : mSteps)
    if (!std::isnan(step)) {
      mPitchValue = step;
      break;
    }
}

Sequencer::~Sequencer() = default;

// Starts the next step, which has `available` samples before the one after it.
void Sequencer::begin(double available, double stepLength, float length) {
  mIndex = (mIndex + 1) % (int)mSteps.size();
  // A gate still open (a clock faster than the step it measured) closes for this sample,
  // so that the new step is a new rise.
  mHoldLow = mGateLeft > 0;
  const float value = mSteps[mIndex];
  if (std::isnan(value)) {
    mGateLeft = 0;
    return;
  }
  mPitchValue = value;
  // Open for its share of the step, closed for at least the last sample before the next.
  const double open = std::min(std::round(length * stepLength), std::floor(available) - 1.0 - (mHoldLow ? 1 : 0));
  mGateLeft = (long)std::max(1.0, open);
}

void Sequencer::process() {
  const int n = globalConfig.frameLength;
  const float *clock = mClock.buffer();
  float *trig = mTrig.buffer();
  float *pitch = mPitch.buffer();
  const float bpm = dsp::clampNanLow(mBPM.value(), kLowestBPM, kHighestBPM);
  const float division = dsp::clampNanLow(mDivision.value(), kFewestDivisions, kMostDivisions);
  const double swing = dsp::clampNanLow(mSwing.value(), 0.0f, kMostSwing);
  const float length = dsp::clampNanLow(mLength.value(), 0.0f, 1.0f);
  const double stepLength =
      std::max(kShortestStep, sampleRate() * kSecondsPerMinute / ((double)bpm * division));
  // A new tempo keeps the musical position: the place inside the pair scales with it.
  if (mStepLength > 0.0 && stepLength != mStepLength) mPosition *= stepLength / mStepLength;
  mStepLength = stepLength;
  const double swungStart = (1.0 + swing) * stepLength;
  const bool clocked = mClock.isConnected();

  for (int i = 0; i < n; i++) {
    if (clocked) {
      const bool high = clock[i] > 0.5f;
      const bool edge = high && !mClockHigh;
      mClockHigh = high;
      mSinceEdge++;
      if (edge) {
        mClockPeriod = mClocked ? (double)mSinceEdge : stepLength;
        mClocked = true;
        mSinceEdge = 0;
        mClockSlot ^= 1;
        if (mClockSlot == 0) {
          mPending = -1;
          begin((1.0 + swing) * mClockPeriod, mClockPeriod, length);
        } else {
          mPending = std::lround(swing * mClockPeriod);
        }
      }
      if (mPending == 0) begin((1.0 - swing) * mClockPeriod, mClockPeriod, length);
      if (mPending >= 0) mPending--;
    } else {
      if (mPosition >= 2.0 * stepLength) {
        mPosition = std::fmod(mPosition, 2.0 * stepLength);
        mSlot = -1;
      }
      if (mSlot < 0) {
        mSlot = 0;
        begin(swungStart, stepLength, length);
      } else if (mSlot == 0 && mPosition >= swungStart) {
        mSlot = 1;
        begin(2.0 * stepLength - swungStart, stepLength, length);
      }
      mPosition += 1.0;
    }
    if (mHoldLow) {
      trig[i] = 0.0f;
      mHoldLow = false;
    } else {
      trig[i] = mGateLeft > 0 ? 1.0f : 0.0f;
      if (mGateLeft > 0) mGateLeft--;
    }
    pitch[i] = mPitchValue;
  }
}

} // namespace od
