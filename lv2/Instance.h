#pragma once

// One plug-in instance: its units, the outlets that feed their inlets, and the re-blocking of
// the host's run(n) into frames of kFrame samples. Everything is allocated when it is made;
// run() only copies, applies controls and processes frames.

#include "PluginSpec.h"

#include <od/Parameter.h>
#include <od/Port.h>
#include <od/Random.h>
#include <od/config.h>

#include <dsp/DrumVoice.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace qvzlv2 {

// A note-on that reached the current frame, at its sample within the frame.
struct NoteOn {
  int position;
  int note;
  int velocity;
};

class Instance {
public:
  Instance(const PluginSpec &layout, float sampleRate);
  ~Instance();
  Instance(const Instance &) = delete;
  Instance &operator=(const Instance &) = delete;

  void connect(uint32_t port, void *data);
  void activate();
  // Copies the host's block in, processes every frame it completes, copies the delayed
  // output out. Events (notes, transport) must have been handed over with the calls below.
  void run(uint32_t samples) OD_NONBLOCKING;

  // Hands over what the events port brought for the block being run, before run().
  void noteOn(uint32_t offset, int note, int velocity);
  void setTempo(float beatsPerMinute) { mBeatsPerMinute = beatsPerMinute; }
  void clearEvents() { mPendingCount = 0; }

  const PluginSpec &layout() const { return mSpec; }
  void *portBuffer(int index) const { return mPorts[index]; }
  od::Object *unit(int index) const { return mUnits[index]; }
  // False when a unit did not get the memory it asked for (it then passes through or is silent).
  bool hasMemory() const;

private:
  struct AudioIn {
    int port;
    float *collect; // the frame being gathered from the host
    float *frame;   // the frame the units read (a feeder outlet, or the wrapper's own buffer)
  };
  struct AudioOut {
    int port;
    float *source; // what the last frame produced
    float *dry;    // the input of the last frame, for bypass (null: silence)
  };
  struct Control {
    int port;
    const PortSpec *layout;
    float value = 0.0f;    // as applied to the last frame
    float override = 0.0f; // a value set by notes or the tempo, used while `overridden`
    bool overridden = false;
    float hostAtOverride = 0.0f; // the host's value when the override began
    bool refill = true;          // the feeder buffer no longer holds `value` throughout
    float host = 0.0f;           // the host's value `value` was made from ...
    bool settled = false;        // ... with no override, the feed holding it throughout: a repeat
                                 // of that host value changes nothing
    int choice = 0;              // `value` rounded, for options
    float *feed = nullptr;       // the feeder buffer of an inlet control
    std::vector<od::Parameter *> parameters;
    std::vector<od::Option *> options;
  };

  float *newFeed(const std::vector<Binding> &bindings);
  float *ownBuffer();
  Control *control(const std::string &unitPort, int object);
  float hostValue(const Control &c) const {
    const float *value = static_cast<const float *>(mPorts[c.port]);
    return value ? *value : c.layout->defaultValue;
  }
  void override(Control &c, float value);
  void applyControls(bool first);
  void applyControl(Control &c, bool first);
  void applyNotes();
  void applyTempo();
  void detect();
  void mixDrums();
  void processFrame(bool gathered);
  float bypassTarget() const;
  void writeOutputs(uint32_t from, uint32_t count, float target);

  const PluginSpec &mSpec;
  const float mSampleRate;
  od::RandomSource mRandom; // the instance's own noise, seeded as a render with --seed 1 is
  std::vector<od::Object *> mUnits;
  std::vector<std::unique_ptr<od::Outlet>> mFeeds;
  std::vector<std::unique_ptr<float[]>> mBuffers;
  std::vector<void *> mPorts;
  std::vector<AudioIn> mAudioIn;
  std::vector<AudioOut> mAudioOut;
  std::vector<Control> mControls;
  // The wrapper's own controls (applied first), those feeding inlets, and parameters and options.
  std::vector<Control *> mWrapperControls, mInletControls, mSetControls;
  Control *mWrapper[kWrapperControlCount] = {};
  int mEnabledPort = -1, mLatencyPort = -1;

  int mPosition = 0; // samples gathered into the current frame
  bool mFirstFrame = true;
  float mBypass = 0.0f; // 0 wet .. 1 dry
  float mBypassStep;    // per sample

  // Notes for the frame being gathered.
  static constexpr int kMaxNotes = 64;
  NoteOn mPending[kMaxNotes];
  int mPendingCount = 0;
  NoteOn mFrameNotes[kMaxNotes];
  int mFrameNoteCount = 0;
  float mBeatsPerMinute = 0.0f;

  // Per voice (drums, Pluck, MorphoHead): the velocity gain in force and the trigger feeds.
  struct Voice {
    float gain = 1.0f;          // the velocity of the last strike
    float velocity[kFrame] = {}; // that gain, sample by sample, across the frame
    bool flat = false;           // `velocity` holds `gain` throughout
    Control *trigger = nullptr;     // "Trig", "TrigC" or "Trigger"
    Control *openTrigger = nullptr; // the hi-hat's "TrigO"
    float *out = nullptr;
    float levelGain[2] = {0.0f, 0.0f}; // left, right, as applied to the last frame
  };
  Voice mVoices[6];
  int mVoiceCount = 0;
  float *mMix[2] = {nullptr, nullptr};

  // The compressor's detector.
  float mEnvelope = 0.0f;
  float *mDetectorFeed = nullptr;
  int mSideChainIn = -1;

  // Pluck: the noise burst that excites the string when nothing feeds "In".
  dsp::LcgNoise mNoise{0x2545F491u};
  int mBurstLeft = 0;
  float mBurstLevel = 0.0f;
  Control *mPitchControl = nullptr; // Pluck "f0", MorphoHead "Speed"
  Control *mTempoControl = nullptr; // TapDelay "Time", Flanger "Rate"
  int mExciteIn = -1;
};

} // namespace qvzlv2
