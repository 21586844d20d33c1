// qvz: renders Lua patches of the library's units to WAV files.
#include "Draw.h"
#include "Failure.h"
#include "Live.h"
#include "Render.h"
#include "Units.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kDemoSeconds = 18.0;
constexpr double kLongestRender = 24.0 * 3600.0; // seconds
constexpr long kLargestWidget = 4096;             // pixels a side, the frame buffer's limit
constexpr long kLargestScale = 16;
constexpr long kLargestPicture = 8192;            // pixels a side of a drawn PNG
constexpr long kMostLiveInputs = 64;              // audio input ports of `qvz live`

const char *const kUsage =
    "usage:\n"
    "  qvz                         render the built-in demo to qvz-demo.wav and qvz-demo.png\n"
    "  qvz demo [-o OUT.wav] [--plot OUT.png] [render options]\n"
    "  qvz render PATCH.lua -o OUT.wav [-i IN.wav] [--seconds S] [--rate R] [--frame N]\n"
    "             [--seed N] [--plot OUT.png] [--midi FILE.mid]\n"
    "  qvz live PATCH.lua [--name NAME] [--server NAME] [--inputs N] [--connect] [--seconds S]\n"
    "             [--record OUT.wav] [--seed N] [--frame N]\n"
    "                              plays a patch through JACK, reloading it when its file changes\n"
    "  qvz units [NAME]            classes with their inlets, outlets, parameters and options\n"
    "  qvz draw CLASS -o OUT.png [--mono] [--width W] [--height H] [--scale N]\n"
    "                              draws a widget (default 128 x 64, grey, scale 4) to a PNG\n"
    "\n"
    "A patch is Lua using the modules \"od\" and \"qvz_libQuorvani\". It receives the input\n"
    "file's channels as outlets in ... and in qvz.inputs (without -i, ... is empty and\n"
    "qvz.inputs holds two silent channels),\n"
    "reads qvz.sampleRate, qvz.seconds and qvz.input (the input's path, nil without -i), and\n"
    "returns the outlets to record, one per output channel.\n"
    "--seconds defaults to the input's length, or 10 s without input; the rate to the\n"
    "input's (resampled when --rate differs), or 48000 Hz; --frame to 128; --seed to 0.\n"
    "--midi feeds a MIDI file to the patch's od.Midi and od.MidiCC objects.\n"
    "live: N audio inputs (default 2) arrive in ... (none with --inputs 0), one output port per\n"
    "returned outlet, one MIDI input; --connect joins them to the system ports; --seconds stops\n"
    "after that long; --record writes what is played; SIGHUP reloads the patch.\n";

// Usage mistakes end with status 2, other failures with 1.
class UsageError : public qvz::Failure {
public:
  using Failure::Failure;
};

double parseNumber(const std::string &option, const std::string &text) {
  errno = 0;
  char *end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
    throw UsageError(option + " needs a number, got '" + text + "'");
  return value;
}

long parseInteger(const std::string &option, const std::string &text, long low, long high) {
  const double value = parseNumber(option, text);
  if (value != std::floor(value) || value < low || value > high)
    throw UsageError(option + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                     ", got '" + text + "'");
  return (long)value;
}

// Reads "--name value", "--name=value" and "-o value" forms.
class Arguments {
public:
  Arguments(int argc, char **argv, int first) : mArgs(argv + std::min(first, argc), argv + argc) {}

  bool done() const { return mNext >= mArgs.size(); }

  // The next argument; for an option, its name (with any "=value" split off).
  std::string next() {
    std::string arg = mArgs[mNext++];
    mInlineValue.clear();
    mHasInlineValue = false;
    const size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      mInlineValue = arg.substr(equals + 1);
      mHasInlineValue = true;
      arg.erase(equals);
    }
    return arg;
  }

  std::string value(const std::string &option) {
    if (mHasInlineValue) {
      mHasInlineValue = false;
      return mInlineValue;
    }
    if (done()) throw UsageError(option + " needs a value");
    return mArgs[mNext++];
  }

  void refuseInlineValue(const std::string &option) const {
    if (mHasInlineValue) throw UsageError(option + " takes no value");
  }

private:
  std::vector<std::string> mArgs;
  size_t mNext = 0;
  std::string mInlineValue;
  bool mHasInlineValue = false;
};

bool isOption(const std::string &arg) { return arg.size() > 1 && arg[0] == '-'; }

// Options shared by `render` and `demo`; false when the argument is not one of them.
bool readRenderOption(const std::string &arg, Arguments &args, qvz::RenderSettings &settings) {
  if (arg == "-o" || arg == "--output") settings.outputPath = args.value(arg);
  else if (arg == "-i" || arg == "--input") settings.inputPath = args.value(arg);
  else if (arg == "--plot") settings.plotPath = args.value(arg);
  else if (arg == "--midi") settings.midiPath = args.value(arg);
  else if (arg == "--seconds") {
    settings.seconds = parseNumber(arg, args.value(arg));
    if (settings.seconds < 0.0 || settings.seconds > kLongestRender)
      throw UsageError("--seconds must be from 0 to " + std::to_string((long)kLongestRender));
  } else if (arg == "--rate") settings.sampleRate = (int)parseInteger(arg, args.value(arg), 1000, 768000);
  else if (arg == "--frame") settings.frameLength = (int)parseInteger(arg, args.value(arg), 1, 4096);
  else if (arg == "--seed") settings.seed = (unsigned)parseInteger(arg, args.value(arg), 0, 4294967295L);
  else return false;
  return true;
}

int renderCommand(Arguments &args) {
  qvz::RenderSettings settings;
  while (!args.done()) {
    const std::string arg = args.next();
    if (readRenderOption(arg, args, settings)) continue;
    if (isOption(arg)) throw UsageError("unknown option '" + arg + "' (see qvz --help)");
    if (!settings.patchPath.empty()) throw UsageError("one patch at a time; also got '" + arg + "'");
    settings.patchPath = arg;
  }
  if (settings.patchPath.empty()) throw UsageError("render needs a patch: qvz render PATCH.lua -o OUT.wav");
  if (settings.outputPath.empty()) throw UsageError("render needs an output file: -o OUT.wav");
  qvz::render(settings);
  return 0;
}

int liveCommand(Arguments &args) {
  qvz::LiveSettings settings;
  while (!args.done()) {
    const std::string arg = args.next();
    if (arg == "--name") settings.clientName = args.value(arg);
    else if (arg == "--server") settings.serverName = args.value(arg);
    else if (arg == "--inputs") settings.inputs = (int)parseInteger(arg, args.value(arg), 0, kMostLiveInputs);
    else if (arg == "--connect") {
      args.refuseInlineValue(arg);
      settings.connect = true;
    } else if (arg == "--seconds") {
      settings.seconds = parseNumber(arg, args.value(arg));
      if (settings.seconds < 0.0 || settings.seconds > kLongestRender)
        throw UsageError("--seconds must be from 0 to " + std::to_string((long)kLongestRender));
    } else if (arg == "--record") settings.recordPath = args.value(arg);
    else if (arg == "--seed") settings.seed = (unsigned)parseInteger(arg, args.value(arg), 0, 4294967295L);
    else if (arg == "--frame") {
      settings.frameLength = (int)parseInteger(arg, args.value(arg), 4, 4096);
      if (settings.frameLength % 4) throw UsageError("--frame must be a multiple of 4 in live mode");
    } else if (isOption(arg)) throw UsageError("unknown option '" + arg + "' (see qvz --help)");
    else if (!settings.patchPath.empty()) throw UsageError("one patch at a time; also got '" + arg + "'");
    else settings.patchPath = arg;
  }
  if (settings.patchPath.empty()) throw UsageError("live needs a patch: qvz live PATCH.lua");
  if (settings.clientName.empty()) throw UsageError("--name needs a client name");
  qvz::live(settings);
  return 0;
}

int demoCommand(Arguments &args) {
  qvz::RenderSettings settings;
  settings.outputPath = "qvz-demo.wav";
  settings.plotPath = "qvz-demo.png";
  settings.defaultSeconds = kDemoSeconds;
  while (!args.done()) {
    const std::string arg = args.next();
    if (!readRenderOption(arg, args, settings))
      throw UsageError((isOption(arg) ? "unknown option '" : "unexpected argument '") + arg + "' (see qvz --help)");
  }
  qvz::render(settings);
  return 0;
}

int unitsCommand(Arguments &args) {
  std::string only;
  while (!args.done()) {
    const std::string arg = args.next();
    if (isOption(arg)) throw UsageError("unknown option '" + arg + "' (see qvz --help)");
    if (!only.empty()) throw UsageError("units takes at most one class name");
    only = arg;
  }
  qvz::listUnits(only);
  return 0;
}

int drawCommand(Arguments &args) {
  qvz::DrawSettings settings;
  while (!args.done()) {
    const std::string arg = args.next();
    if (arg == "-o" || arg == "--output") settings.outputPath = args.value(arg);
    else if (arg == "--mono") {
      args.refuseInlineValue(arg);
      settings.monochrome = true;
    } else if (arg == "--width") settings.width = (int)parseInteger(arg, args.value(arg), 1, kLargestWidget);
    else if (arg == "--height") settings.height = (int)parseInteger(arg, args.value(arg), 1, kLargestWidget);
    else if (arg == "--scale") settings.scale = (int)parseInteger(arg, args.value(arg), 1, kLargestScale);
    else if (isOption(arg)) throw UsageError("unknown option '" + arg + "' (see qvz --help)");
    else if (!settings.className.empty()) throw UsageError("one class at a time; also got '" + arg + "'");
    else settings.className = arg;
  }
  if (settings.className.empty()) throw UsageError("draw needs a widget class: qvz draw CatPhoto -o OUT.png");
  if (settings.outputPath.empty()) throw UsageError("draw needs an output file: -o OUT.png");
  if ((long)std::max(settings.width, settings.height) * settings.scale > kLargestPicture)
    throw UsageError("the picture would be " + std::to_string((long)settings.width * settings.scale) + " x " +
                     std::to_string((long)settings.height * settings.scale) + " pixels; at most " +
                     std::to_string(kLargestPicture) + " a side");
  qvz::drawWidget(settings);
  return 0;
}

// Messages are one line, whatever the patch put in its error.
std::string oneLine(std::string text) {
  for (char &c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

} // namespace

int main(int argc, char **argv) {
  try {
    const std::string command = argc > 1 ? argv[1] : "demo";
    Arguments args(argc, argv, 2);
    if (command == "-h" || command == "--help" || command == "help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (command == "render") return renderCommand(args);
    if (command == "demo") return demoCommand(args);
    if (command == "live") return liveCommand(args);
    if (command == "units") return unitsCommand(args);
    if (command == "draw") return drawCommand(args);
    if (isOption(command)) throw UsageError("unknown option '" + command + "' (see qvz --help)");
    throw UsageError("unknown command '" + command + "' (see qvz --help)");
  } catch (const UsageError &error) {
    std::fprintf(stderr, "qvz: %s\n", oneLine(error.what()).c_str());
    return 2;
  } catch (const std::exception &error) {
    std::fprintf(stderr, "qvz: %s\n", oneLine(error.what()).c_str());
    return 1;
  }
}
