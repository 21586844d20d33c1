#include "Instance.h"

#include "units/delay/Pluck.h"
#include "units/delay/ReverseDelay.h"

#include <dsp/OnePole.h>
#include <od/Denormals.h>
#include <od/Object.h>
#include <od/simd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace qvzlv2 {

namespace {

constexpr uint32_t kRandomSeed = 1;       // as `qvz render --seed 1`
constexpr float kBypassFadeSeconds = 0.01f; // bypass crossfade, linear
constexpr float kBurstSeconds = 0.005f;     // Pluck's noise burst when nothing feeds "In"
constexpr float kBurstScale = 4.65661287e-10f; // 1 / 2^31: noise within +-1
constexpr float kMaxVelocity = 127.0f;
constexpr int kMiddleC = 60;
constexpr int kConcertA = 69;
constexpr float kConcertAHz = 440.0f;
constexpr float kQuarterPi = 0.785398163f;
// Note lengths of the tempo divisions, in beats (1/32 .. 2/1).
constexpr float kDivisionBeats[] = {0.125f, 0.25f, 0.5f, 1.0f, 2.0f, 4.0f, 8.0f};
constexpr int kDivisions = (int)(sizeof kDivisionBeats / sizeof kDivisionBeats[0]);

// General MIDI drum notes and the voices (and hi-hat triggers) they strike.
struct DrumNote {
  int note;
  const char *voice;
  bool open;
};
constexpr DrumNote kDrumNotes[] = {
    {36, "Kick", false},   {38, "Snare", false},  {42, "HiHat", false}, {44, "HiHat", false},
    {46, "HiHat", true},   {45, "Tom", false},    {56, "Cowbell", false}, {49, "Cymbal", false},
};

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A control value inside its port's range, the default when it is not a number.
float sanitized(const PortSpec &p, float v) {
  if (std::isnan(v)) return p.defaultValue;
  return std::min(std::max(v, p.minimum), p.maximum);
}

// Fractions (i + 1) / kFrame of a ramp across a frame, ending exactly on 1.
struct Ramp {
  float at[kFrame];
  Ramp() {
    for (int i = 0; i < kFrame; i++) at[i] = (float)(i + 1) / (float)kFrame;
  }
};
const Ramp kRamp;

void fill(float *buffer, int from, float value) {
  for (int i = from; i < kFrame; i++) buffer[i] = value;
}

// The whole frame at one value.
void fillFrame(float *buffer, float value) {
  const float4 v = simd_set(value);
#pragma GCC unroll 8
  for (int i = 0; i < kFrame; i += 4) simd_store(buffer + i, v);
}

// A frame ramping from `from` to `to`: from + (to - from) * kRamp.at[i], four samples at a
// time (each lane rounds as the scalar expression does), and `to` itself on the last sample.
void ramp(float *buffer, float from, float to) {
  static_assert(kFrame % 4 == 0, "frames are whole vectors");
  const float4 start = simd_set(from), distance = simd_set(to - from);
#pragma GCC unroll 8
  for (int i = 0; i < kFrame; i += 4) simd_store(buffer + i, start + distance * simd_load(kRamp.at + i));
  buffer[kFrame - 1] = to;
}

} // namespace

Instance::Instance(const PluginSpec &layout, float sampleRate)
    : mSpec(layout), mSampleRate(sampleRate), mRandom(kRandomSeed),
      mBypassStep(1.0f / (kBypassFadeSeconds * sampleRate)) {
  od::Random::Scope random(mRandom);
  mPorts.assign(layout.ports.size(), nullptr);
  try {
    for (const UnitSpec &u : layout.units) {
      od::Object *unit = u.make();
      unit->attach();
      mUnits.push_back(unit);
    }
    for (const Connection &c : layout.connections) {
      od::Inlet *inlet = mUnits[c.to]->getInput(c.inlet);
      od::Outlet *outlet = mUnits[c.from]->getOutput(c.outlet);
      if (!inlet || !outlet) throw std::runtime_error("no port " + c.outlet + " or " + c.inlet);
      inlet->connect(outlet);
    }
    mControls.reserve(layout.ports.size());
    for (size_t i = 0; i < layout.ports.size(); i++) {
      const PortSpec &p = layout.ports[i];
      switch (p.type) {
      case PortType::AudioIn:
        mAudioIn.push_back({(int)i, ownBuffer(), p.bindings.empty() ? ownBuffer() : newFeed(p.bindings)});
        break;
      case PortType::AudioOut: {
        float *source = nullptr;
        if (p.bindings.empty()) source = ownBuffer();
        else {
          od::Outlet *outlet = mUnits[p.bindings[0].object]->getOutput(p.bindings[0].port);
          if (!outlet) throw std::runtime_error("no outlet " + p.bindings[0].port);
          source = outlet->buffer();
        }
        mAudioOut.push_back({(int)i, source, nullptr});
        break;
      }
      case PortType::ControlIn: {
        Control c;
        c.port = (int)i;
        c.layout = &p;
        c.value = p.defaultValue;
        for (const Binding &b : p.bindings) {
          od::Object *unit = mUnits[b.object];
          if (p.target == Target::Parameter) {
            od::Parameter *parameter = unit->getParameter(b.port);
            if (!parameter) throw std::runtime_error("no parameter " + b.port);
            c.parameters.push_back(parameter);
          } else if (p.target == Target::Option) {
            od::Option *option = unit->getOption(b.port);
            if (!option) throw std::runtime_error("no option " + b.port);
            c.options.push_back(option);
          }
        }
        if (p.target == Target::Inlet) c.feed = newFeed(p.bindings);
        mControls.push_back(std::move(c));
        if (p.target == Target::Wrapper) mWrapper[p.wrapperId] = &mControls.back();
        break;
      }
      case PortType::Enabled: mEnabledPort = (int)i; break;
      case PortType::Latency: mLatencyPort = (int)i; break;
      case PortType::EventsIn: break;
      }
    }
  } catch (...) {
    for (auto it = mUnits.rbegin(); it != mUnits.rend(); ++it) (*it)->release();
    throw;
  }

  for (Control &c : mControls)
    (c.layout->target == Target::Wrapper  ? mWrapperControls
     : c.layout->target == Target::Inlet ? mInletControls
                                         : mSetControls)
        .push_back(&c);

  // Bypass: each output falls back to the input of the same number, or to the only input.
  for (size_t k = 0; k < mAudioOut.size(); k++) {
    if (k < mAudioIn.size() && mSpec.ports[mAudioIn[k].port].bindings.size()) mAudioOut[k].dry = mAudioIn[k].frame;
    else if (mAudioIn.size() == 1) mAudioOut[k].dry = mAudioIn[0].frame;
  }

  switch (layout.extra) {
  case Extra::Compressor:
    for (size_t k = 0; k < mAudioIn.size(); k++)
      if (layout.ports[mAudioIn[k].port].sideChain) mSideChainIn = (int)k;
    mDetectorFeed = newFeed({{0, "SCIn"}});
    break;
  case Extra::Drum:
  case Extra::Drums:
    for (size_t v = 0; v < mUnits.size(); v++) {
      Voice &voice = mVoices[mVoiceCount++];
      voice.trigger = layout.units[v].className == "HiHat" ? control("TrigC", (int)v) : control("Trig", (int)v);
      voice.openTrigger = layout.units[v].className == "HiHat" ? control("TrigO", (int)v) : nullptr;
      voice.out = mUnits[v]->getOutput("Out")->buffer();
    }
    if (layout.extra == Extra::Drums)
      for (int c = 0; c < 2; c++) mMix[c] = mAudioOut[c].source;
    break;
  case Extra::Pluck:
    mVoices[mVoiceCount++].trigger = control("Trigger", 0);
    mPitchControl = control("f0", 0);
    for (size_t k = 0; k < mAudioIn.size(); k++)
      if (layout.ports[mAudioIn[k].port].name == "In") mExciteIn = (int)k;
    break;
  case Extra::MorphoHead:
    mVoices[mVoiceCount++].trigger = control("Trigger", 0);
    mPitchControl = control("Speed", 0);
    break;
  case Extra::TempoDelay: mTempoControl = control("Time", 0); break;
  case Extra::TempoFlanger: mTempoControl = control("Rate", 0); break;
  case Extra::None: break;
  }
}

Instance::~Instance() {
  for (auto it = mUnits.rbegin(); it != mUnits.rend(); ++it) (*it)->release();
}

float *Instance::newFeed(const std::vector<Binding> &bindings) {
  mFeeds.push_back(std::make_unique<od::Outlet>("feed"));
  od::Outlet *feed = mFeeds.back().get();
  for (const Binding &b : bindings) {
    od::Inlet *inlet = mUnits[b.object]->getInput(b.port);
    if (!inlet) throw std::runtime_error("no inlet " + b.port);
    inlet->connect(feed);
  }
  return feed->buffer();
}

float *Instance::ownBuffer() {
  mBuffers.push_back(std::unique_ptr<float[]>(new float[kFrame]()));
  return mBuffers.back().get();
}

Instance::Control *Instance::control(const std::string &unitPort, int object) {
  for (Control &c : mControls)
    for (const Binding &b : c.layout->bindings)
      if (b.object == object && b.port == unitPort) return &c;
  throw std::runtime_error("no control " + unitPort);
}

bool Instance::hasMemory() const {
  for (od::Object *unit : mUnits) {
    if (auto *reverse = dynamic_cast<ReverseDelay *>(unit))
      if (reverse->maximumDelay() == 0) return false;
    if (auto *pluck = dynamic_cast<Pluck *>(unit))
      if (pluck->lineLength() == 0) return false;
  }
  return true;
}

void Instance::connect(uint32_t port, void *data) {
  if (port < mPorts.size()) mPorts[port] = data;
}

void Instance::activate() {
  mPosition = 0;
  mPendingCount = 0;
  for (AudioIn &a : mAudioIn) std::fill(a.collect, a.collect + kFrame, 0.0f);
}

// A value set by notes or the tempo in place of the host's, until the host's changes.
void Instance::override(Control &c, float value) {
  c.override = value;
  c.hostAtOverride = hostValue(c);
  c.overridden = true;
  c.settled = false;
}

void Instance::noteOn(uint32_t offset, int note, int velocity) {
  if (mPendingCount < kMaxNotes) mPending[mPendingCount++] = {(int)offset, note, velocity};
}

// Host control values, once per frame, kept inside their ports' ranges (not a number: the
// default): continuous inlets ramp across the frame from the value of the last one (a value
// that holds is written as it is), gates and triggers step, parameters are set (they glide
// themselves), options are chosen. A host value that repeats, with no override and nothing
// written over its feed, leaves the feed as it is.
void Instance::applyControls(bool first) {
  // The wrapper's own controls first: the tempo sync they set may override a unit control.
  for (Control *c : mWrapperControls) c->value = sanitized(*c->layout, hostValue(*c));
  applyTempo();
  for (Control *c : mInletControls)
    if (!c->settled || !sameBits(hostValue(*c), c->host)) applyControl(*c, first);
  for (Control *c : mSetControls) {
    if (!c->settled || !sameBits(hostValue(*c), c->host)) {
      applyControl(*c, first);
      continue;
    }
    for (od::Parameter *parameter : c->parameters) parameter->set(c->value);
    for (od::Option *option : c->options) option->set(c->choice);
  }
}

void Instance::applyControl(Control &c, bool first) {
  const PortSpec &p = *c.layout;
  const float host = hostValue(c);
  float v = host;
  if (c.overridden) {
    if (sameBits(v, c.hostAtOverride)) v = c.override;
    else c.overridden = false;
  }
  v = sanitized(p, v);
  switch (p.target) {
  case Target::Inlet:
    if (p.role == Role::Control && !first && !sameBits(v, c.value)) {
      ramp(c.feed, c.value, v);
      c.refill = true;
    } else if (c.refill || !sameBits(v, c.value)) {
      fillFrame(c.feed, v);
      c.refill = false;
    }
    break;
  case Target::Parameter:
    for (od::Parameter *parameter : c.parameters) {
      if (first) parameter->hardSet(v);
      else parameter->set(v);
    }
    c.refill = false;
    break;
  case Target::Option:
    c.choice = (int)std::lround(v);
    for (od::Option *option : c.options) option->set(c.choice);
    c.refill = false;
    break;
  default: c.refill = false; break;
  }
  c.value = v;
  c.host = host;
  c.settled = !c.overridden && !c.refill;
}

// The host tempo sets "Time" (one division) or "Rate" (one cycle per division) while synced.
void Instance::applyTempo() {
  if (!mTempoControl) return;
  const bool synced = mWrapper[kTempoSync]->value > 0.5f && mBeatsPerMinute > 0.0f && std::isfinite(mBeatsPerMinute);
  if (!synced) {
    mTempoControl->overridden = false;
    return;
  }
  const int division = std::min(std::max((int)mWrapper[kTempoDivision]->value, 0), kDivisions - 1);
  const float beatSeconds = 60.0f / mBeatsPerMinute;
  const float seconds = beatSeconds * kDivisionBeats[division];
  override(*mTempoControl, mSpec.extra == Extra::TempoDelay ? seconds : 1.0f / seconds);
}

// Notes of this frame: strikes at their samples, velocity gains from there on, pitch from the note.
void Instance::applyNotes() {
  const bool excite = mExciteIn >= 0 && !mPorts[mAudioIn[mExciteIn].port];
  if (excite) {
    float *in = mAudioIn[mExciteIn].frame;
    int next = 0;
    for (int i = 0; i < kFrame; i++) {
      while (next < mFrameNoteCount && mFrameNotes[next].position == i) {
        mBurstLeft = (int)(kBurstSeconds * mSampleRate);
        mBurstLevel = (float)mFrameNotes[next].velocity / kMaxVelocity;
        next++;
      }
      in[i] = 0.0f;
      if (mBurstLeft > 0) {
        in[i] = mNoise.next(kBurstScale) * mBurstLevel;
        mBurstLeft--;
      }
    }
  }
  for (int k = 0; k < mFrameNoteCount; k++) {
    const NoteOn &n = mFrameNotes[k];
    int voice = 0;
    bool open = false;
    if (mSpec.extra == Extra::Drums) {
      voice = -1;
      for (const DrumNote &d : kDrumNotes)
        if (d.note == n.note)
          for (int v = 0; v < mVoiceCount; v++)
            if (mSpec.units[v].className == d.voice) {
              voice = v;
              open = d.open;
            }
      if (voice < 0) continue;
    } else if (mSpec.extra == Extra::Drum) {
      open = n.note == 46;
    }
    Voice &v = mVoices[voice];
    Control *trigger = open && v.openTrigger ? v.openTrigger : v.trigger;
    trigger->feed[n.position] = 1.0f;
    if (n.position + 1 < kFrame) trigger->feed[n.position + 1] = 0.0f;
    trigger->refill = true;
    trigger->settled = false;
    v.gain = (float)n.velocity / kMaxVelocity;
    fill(v.velocity, n.position, v.gain);
    v.flat = false;

    float pitch = 0.0f;
    if (mSpec.extra == Extra::Pluck) pitch = kConcertAHz * std::exp2((float)(n.note - kConcertA) / 12.0f);
    else if (mSpec.extra == Extra::MorphoHead && mWrapper[kNoteFollow]->value > 0.5f)
      pitch = std::exp2((float)(n.note - kMiddleC) / 12.0f);
    else continue;
    fill(mPitchControl->feed, n.position, pitch);
    override(*mPitchControl, pitch);
    mPitchControl->value = pitch;
    mPitchControl->refill = true;
    mPitchControl->settled = false;
  }
}

// The compressor's detector: a peak follower of the input, or of the side chain.
void Instance::detect() {
  const float attack = mWrapper[kAttack]->value;
  const float release = mWrapper[kRelease]->value;
  const float rise = dsp::onePoleCoefficient(1.0f / attack, mSampleRate);
  const float fall = dsp::onePoleCoefficient(1.0f / release, mSampleRate);
  const bool side = mWrapper[kDetectSideChain]->value > 0.5f && mSideChainIn >= 0;
  const float *source = mAudioIn[side ? mSideChainIn : 0].frame;
  float envelope = mEnvelope;
  for (int i = 0; i < kFrame; i++) {
    envelope = dsp::followStep(envelope, std::fabs(source[i]), rise, fall);
    mDetectorFeed[i] = envelope;
  }
  mEnvelope = std::isfinite(envelope) ? envelope : 0.0f;
}

// Velocity gains on the voices, and for the kit the mix with each voice's level and pan.
void Instance::mixDrums() {
  if (mSpec.extra == Extra::Drum) {
    float *out = mVoices[0].out;
    const float *velocity = mVoices[0].velocity;
#pragma GCC unroll 8
    for (int i = 0; i < kFrame; i += 4) simd_store(out + i, simd_load(out + i) * simd_load(velocity + i));
    return;
  }
  std::fill(mMix[0], mMix[0] + kFrame, 0.0f);
  std::fill(mMix[1], mMix[1] + kFrame, 0.0f);
  for (int k = 0; k < mVoiceCount; k++) {
    Voice &v = mVoices[k];
    const float level = mWrapper[kVoiceLevel + k]->value;
    const float angle = (mWrapper[kVoicePan + k]->value + 1.0f) * kQuarterPi;
    const float target[2] = {level * std::cos(angle), level * std::sin(angle)};
    for (int c = 0; c < 2; c++) {
      const float from = mFirstFrame ? target[c] : v.levelGain[c];
      const float4 start = simd_set(from), distance = simd_set(target[c] - from);
      for (int i = 0; i < kFrame; i += 4) {
        const float4 gain = start + distance * simd_load(kRamp.at + i);
        simd_store(mMix[c] + i, simd_load(mMix[c] + i) + simd_load(v.out + i) * simd_load(v.velocity + i) * gain);
      }
      v.levelGain[c] = target[c];
    }
  }
}

// `gathered`: the inputs were gathered in `collect` (else the host's block went straight to `frame`).
void Instance::processFrame(bool gathered) {
  if (gathered)
    for (AudioIn &a : mAudioIn) std::memcpy(a.frame, a.collect, sizeof(float) * kFrame);
  applyControls(mFirstFrame);
  for (int k = 0; k < mVoiceCount; k++) {
    Voice &v = mVoices[k];
    if (!v.flat) fillFrame(v.velocity, v.gain);
    v.flat = true;
  }
  if (mFrameNoteCount || mExciteIn >= 0) applyNotes();
  if (mDetectorFeed) detect();
  for (od::Object *unit : mUnits) {
    unit->updateParameters();
    unit->process();
  }
  if (mVoiceCount && (mSpec.extra == Extra::Drum || mSpec.extra == Extra::Drums)) mixDrums();
  mFrameNoteCount = 0;
  mFirstFrame = false;
}

// The bypass the enabled port asks for: 1 dry (disabled), 0 wet.
float Instance::bypassTarget() const {
  return mEnabledPort >= 0 && mPorts[mEnabledPort] && *(const float *)mPorts[mEnabledPort] <= 0.0f ? 1.0f : 0.0f;
}

// Output of the last frame (a frame behind the input), crossfaded to its dry input while bypassed.
void Instance::writeOutputs(uint32_t from, uint32_t count, float target) {
  float fade[kFrame];
  const bool steady = mBypass == target;
  if (!steady)
    for (uint32_t i = 0; i < count; i++) {
      mBypass = target > mBypass ? std::min(mBypass + mBypassStep, 1.0f) : std::max(mBypass - mBypassStep, 0.0f);
      fade[i] = mBypass;
    }
  for (AudioOut &o : mAudioOut) {
    float *out = static_cast<float *>(mPorts[o.port]);
    if (!out) continue;
    out += from;
    const float *wet = o.source + mPosition;
    const float *dry = o.dry ? o.dry + mPosition : nullptr;
    if (steady && target == 0.0f) std::memcpy(out, wet, sizeof(float) * count);
    else if (steady && dry) std::memcpy(out, dry, sizeof(float) * count);
    else if (steady) std::memset(out, 0, sizeof(float) * count);
    else
      for (uint32_t i = 0; i < count; i++) {
        const float d = dry ? dry[i] : 0.0f;
        out[i] = fade[i] == 0.0f ? wet[i] : fade[i] == 1.0f ? d : wet[i] + (d - wet[i]) * fade[i];
      }
  }
}

void Instance::run(uint32_t samples) OD_NONBLOCKING {
  od::DenormalGuard denormals;
  od::Random::Scope random(mRandom);
  if (mLatencyPort >= 0 && mPorts[mLatencyPort]) *static_cast<float *>(mPorts[mLatencyPort]) = (float)kFrame;
  const float bypass = bypassTarget();
  int nextNote = 0;
  for (uint32_t done = 0; done < samples;) {
    const uint32_t count = std::min<uint32_t>(samples - done, (uint32_t)(kFrame - mPosition));
    while (nextNote < mPendingCount && (uint32_t)mPending[nextNote].position < done + count) {
      NoteOn n = mPending[nextNote++];
      n.position = mPosition + std::max(0, n.position - (int)done);
      if (mFrameNoteCount < kMaxNotes) mFrameNotes[mFrameNoteCount++] = n;
    }
    if (count == (uint32_t)kFrame && mBypass == 0.0f && bypass == 0.0f) {
      // A whole frame while wet goes straight to the units' inputs (the dry signal the last
      // frame left there is not read), the last frame's output straight out. Inputs are taken
      // before outputs are written: the host's buffers may be the same.
      for (AudioIn &a : mAudioIn) {
        const float *in = static_cast<const float *>(mPorts[a.port]);
        if (in) std::memcpy(a.frame, in + done, sizeof(float) * kFrame);
        else std::memset(a.frame, 0, sizeof(float) * kFrame);
      }
      for (AudioOut &o : mAudioOut)
        if (float *out = static_cast<float *>(mPorts[o.port])) std::memcpy(out + done, o.source, sizeof(float) * kFrame);
      done += count;
      processFrame(false);
      continue;
    }
    for (AudioIn &a : mAudioIn) {
      const float *in = static_cast<const float *>(mPorts[a.port]);
      if (in) std::memcpy(a.collect + mPosition, in + done, sizeof(float) * count);
      else std::memset(a.collect + mPosition, 0, sizeof(float) * count);
    }
    writeOutputs(done, count, bypass);
    mPosition += (int)count;
    done += count;
    if (mPosition == kFrame) {
      processFrame(true);
      mPosition = 0;
    }
  }
  mPendingCount = 0;
}

} // namespace qvzlv2
