// Every class's description against the live object, and every class with nothing but its
// described defaults (audio inlets fed noise, triggers one pulse) doing what it is for.

#include "support/Harness.h"
#include "support/UnitRegistry.h"

#include <od/Clock.h>
#include <od/Envelope.h>
#include <od/Filter.h>
#include <od/Follower.h>
#include <od/FrameDelay.h>
#include <od/Gain.h>
#include <od/LFO.h>
#include <od/Mixer.h>
#include <od/Oscillator.h>
#include <od/Sequencer.h>
#include <od/DescribedDefaults.h>
#include <od/Midi.h>
#include <od/Monitor.h>
#include <od/Noise.h>
#include <od/Player.h>
#include <od/Random.h>
#include <od/Sine.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

using od::ClassDescription;
using od::PortDescription;
using od::PortKind;

// The channel count a description's usual arguments give (its ports follow it).
int usualChannels(const ClassDescription &d) {
  return *d.portsFollow ? std::max(1, std::atoi(d.arguments)) : 1;
}

std::string portName(od::Object &object, PortKind kind, int i) {
  switch (kind) {
  case PortKind::Inlet: return object.getInput(i)->name();
  case PortKind::Outlet: return object.getOutput(i)->name();
  case PortKind::Parameter: return object.getParameter(i)->name();
  case PortKind::Option: return object.getOption(i)->name();
  }
  return "";
}

int portCount(od::Object &object, PortKind kind) {
  switch (kind) {
  case PortKind::Inlet: return object.inputCount();
  case PortKind::Outlet: return object.outputCount();
  case PortKind::Parameter: return object.parameterCount();
  case PortKind::Option: return object.optionCount();
  }
  return 0;
}

// Names and order per kind, own defaults of parameters and options, every default inside its
// range at the actual rate, choices distinct and holding the default.
void checkAgainstLive(const ClassDescription &d, od::Object &object) {
  SCOPED_TRACE(d.name);
  const int channels = usualChannels(d);
  const double rate = globalConfig.sampleRate;
  for (PortKind kind : {PortKind::Inlet, PortKind::Outlet, PortKind::Parameter, PortKind::Option}) {
    std::vector<std::string> described, live;
    for (const PortDescription &port : d.ports)
      if (port.kind == kind && port.minChannels <= channels) described.push_back(port.name);
    for (int i = 0; i < portCount(object, kind); i++) live.push_back(portName(object, kind, i));
    EXPECT_EQ(described, live) << od::kindName(kind);
  }
  for (const PortDescription &port : d.ports) {
    SCOPED_TRACE(port.name);
    od::Parameter *parameter = port.kind == PortKind::Parameter ? object.getParameter(port.name) : nullptr;
    od::Option *option = port.kind == PortKind::Option ? object.getOption(port.name) : nullptr;
    if (parameter) {
      EXPECT_EQ(parameter->defaultValue(), (float)port.defaultValue);
    }
    if (option) {
      EXPECT_EQ(option->defaultValue(), (int)port.defaultValue);
    }
    if (!port.hasRange()) continue;
    EXPECT_LE(port.minAt(rate), port.defaultValue);
    EXPECT_LE(port.defaultValue, port.maxAt(rate));
    EXPECT_EQ(port.role == od::PortRole::Choice, port.choices.count > 0);
    std::set<int> values;
    for (const od::Choice &choice : port.choices) values.insert(choice.value);
    EXPECT_EQ(values.size(), (size_t)port.choices.count);
    if (port.choices.count) {
      EXPECT_EQ(values.count((int)port.defaultValue), 1u);
    }
  }
}

using Hold = qvztest::Held<od::Object>;

const std::vector<std::pair<std::string, std::function<od::Object *()>>> &hostObjects() {
  static const std::vector<std::pair<std::string, std::function<od::Object *()>>> objects = {
      {"od.Sine", [] { return new od::Sine(); }},       {"od.Noise", [] { return new od::Noise(); }},
      {"od.Clock", [] { return new od::Clock(); }},     {"od.Player", [] { return new od::Player(); }},
      {"od.Monitor", [] { return new od::Monitor(); }},
      {"od.Mixer", [] { return new od::Mixer(4); }},    {"od.Gain", [] { return new od::Gain(); }},
      {"od.Oscillator", [] { return new od::Oscillator(); }}, {"od.LFO", [] { return new od::LFO(); }},
      {"od.Envelope", [] { return new od::Envelope(); }}, {"od.Follower", [] { return new od::Follower(); }},
      {"od.Filter", [] { return new od::Filter(); }},
      {"od.Sequencer", [] { return new od::Sequencer({110.0f, NAN, 220.0f}); }},
      {"od.FrameDelay", [] { return new od::FrameDelay(); }},
      {"od.Midi", [] { return new od::Midi(); }}, {"od.MidiCC", [] { return new od::MidiCC(1); }},
  };
  return objects;
}

TEST(Descriptions, EveryAudioClassIsRegisteredAndEveryRegisteredClassDescribed) {
  std::set<std::string> registered;
  for (const qvztest::UnitEntry &entry : qvztest::unitRegistry()) {
    EXPECT_NE(entry.description, nullptr) << entry.name;
    registered.insert(entry.name);
  }
  std::set<std::string> names;
  for (const ClassDescription *d : od::libraryDescriptions()) {
    EXPECT_TRUE(names.insert(d->name).second) << d->name << " is listed twice";
    if (d->ports.count) {
      EXPECT_EQ(registered.count(d->name), 1u) << d->name;
    }
    EXPECT_EQ(od::findDescription(d->name), d);
  }
  EXPECT_FALSE(names.empty());
  std::set<std::string> host;
  for (const auto &object : hostObjects()) host.insert(object.first);
  for (const ClassDescription *d : od::hostDescriptions()) EXPECT_EQ(host.count(d->name), 1u) << d->name;
  EXPECT_EQ(od::findDescription("NoSuchUnit"), nullptr);
}

TEST(Descriptions, MatchTheLiveObjects) {
  for (const qvztest::UnitEntry &entry : qvztest::unitRegistry()) {
    if (!entry.description || !entry.description->ports.count) continue; // wrapped units
    Hold object(entry.make());
    checkAgainstLive(*entry.description, *object);
  }
  // The host's objects set their own constants: they must be the described defaults.
  for (const auto &made : hostObjects()) {
    const ClassDescription *d = od::findDescription(made.first.c_str());
    ASSERT_NE(d, nullptr) << made.first;
    Hold object(made.second());
    checkAgainstLive(*d, *object);
    for (int i = 0; i < object->inputCount(); i++)
      EXPECT_EQ(object->getInput(i)->constant(),
                (float)d->find(object->getInput(i)->name().c_str(), PortKind::Inlet)->defaultValue)
          << made.first;
  }
}

TEST(Descriptions, LimitsFollowTheRateTheyName) {
  const ClassDescription *kick = od::findDescription("Kick");
  ASSERT_NE(kick, nullptr);
  EXPECT_DOUBLE_EQ(kick->find("Tune", PortKind::Inlet)->maxAt(48000), 21600);
  EXPECT_DOUBLE_EQ(kick->find("Tune", PortKind::Inlet)->maxAt(44100), 19845);
  const PortDescription *size = od::findDescription("Freeze")->find("Size", PortKind::Inlet);
  EXPECT_DOUBLE_EQ(size->minAt(48000), 128.0 / 48000);
  const PortDescription *delay = od::findDescription("ReverseDelay")->find("Delay", PortKind::Parameter);
  EXPECT_DOUBLE_EQ(delay->minAt(48000, 64), 64.0 / 48000);
}

// Renders with described defaults only and tells whether some outlet sounds and differs from
// every audio input.
struct DefaultsRender {
  bool sounds = false;
  bool differs = false;
};

DefaultsRender renderDefaults(const qvztest::UnitEntry &entry, int frames) {
  od::Random::seed(99);
  Hold object(entry.make());
  const ClassDescription &d = *entry.description;
  od::applyDescribedDefaults(*object, d);
  for (int i = 0; i < object->parameterCount(); i++)
    object->getParameter(i)->hardSet(object->getParameter(i)->defaultValue());
  for (int i = 0; i < object->optionCount(); i++) object->getOption(i)->set(object->getOption(i)->defaultValue());
  qvztest::Feeder feeder;
  std::vector<float *> audio, triggers;
  for (int i = 0; i < object->inputCount(); i++) {
    od::Inlet &inlet = *object->getInput(i);
    const PortDescription *port = d.find(inlet.name().c_str(), PortKind::Inlet);
    if (port && port->role == od::PortRole::Audio) audio.push_back(feeder.feed(inlet));
    if (port && port->role == od::PortRole::Trigger) triggers.push_back(feeder.feed(inlet));
  }
  const int n = globalConfig.frameLength;
  DefaultsRender result;
  for (int f = 0; f < frames; f++) {
    for (float *buffer : audio)
      for (int j = 0; j < n; j++) buffer[j] = od::Random::generateFloat(-0.5f, 0.5f);
    for (float *buffer : triggers) std::fill(buffer, buffer + n, f == 0 && n > 0 ? 1.0f : 0.0f);
    qvztest::runFrame(*object);
    for (int o = 0; o < object->outputCount(); o++) {
      const float *out = object->getOutput(o)->buffer();
      for (int j = 0; j < n; j++) {
        if (out[j] == 0.0f) continue;
        result.sounds = true;
        bool likeAnInput = false;
        for (float *buffer : audio) likeAnInput |= buffer[j] == out[j];
        result.differs |= !likeAnInput;
      }
    }
  }
  return result;
}

TEST(Descriptions, DefaultsAloneDoWhatEachClassIsFor) {
  constexpr int kFrames = 200; // about half a second: long echoes are heard within it
  for (const qvztest::UnitEntry &entry : qvztest::unitRegistry()) {
    if (!entry.description || !entry.description->ports.count || entry.description->passesByDefault) continue;
    const DefaultsRender result = renderDefaults(entry, kFrames);
    EXPECT_TRUE(result.sounds) << entry.name << " is silent with its defaults";
    EXPECT_TRUE(result.differs) << entry.name << " only passes its input with its defaults";
  }
}

} // namespace
