// qvz: renders Lua patches of the library's units to WAV files.
#include "Draw.h"
#include "Failure.h"
#include "Live.h"
#include "LuaPatch.h"
#include "Render.h"
#include "Units.h"

#include <od/config.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr double kDemoSeconds = 18.0;
constexpr double kLongestRender = 24.0 * 3600.0; // seconds
constexpr long kLargestWidget = 4096;             // pixels a side, the frame buffer's limit
constexpr long kLargestScale = 16;
constexpr long kLargestPicture = 8192;            // pixels a side of a drawn PNG
constexpr long kMostLiveInputs = 64;              // audio input ports of `qvz live`

const char *const kCommands = "render, demo, live, units, draw, help";

const char *const kUsage =
    "usage:\n"
    "  qvz                         render the built-in demo to qvz-demo.wav and qvz-demo.png\n"
    "  qvz demo [-o OUT.wav] [--plot OUT.png] [render options]\n"
    "  qvz render PATCH.lua -o OUT.wav [-i IN.wav] [render options]\n"
    "  qvz live PATCH.lua [live options]\n"
    "                              plays a patch through JACK, reloading it when its file changes\n"
    "  qvz units [NAME] [--json] [--rate R] [--frame N]\n"
    "                              classes with each port's role, range, unit, default and use\n"
    "  qvz draw CLASS -o OUT.png [--mono] [--width W] [--height H] [--scale N]\n"
    "                              draws a widget (default 128 x 64, grey, scale 4) to a PNG\n"
    "  qvz help [COMMAND], qvz COMMAND --help, qvz --version\n"
    "\n"
    "A patch is Lua using the modules \"od\" and \"qvz_libQuorvani\". It receives the input\n"
    "file's channels as outlets in ... and in qvz.inputs (without -i, ... is empty and\n"
    "qvz.inputs holds two silent channels),\n"
    "reads qvz.sampleRate, qvz.seconds and qvz.input (the input's path, nil without -i), and\n"
    "returns the outlets to record, one per output channel.\n"
    "See qvz render --help and qvz live --help for their options, and man qvz.\n";

const char *const kRenderUsage =
    "usage: qvz render PATCH.lua -o OUT.wav [options]\n"
    "       qvz demo [-o OUT.wav] [options]     (the built-in patch; 18 s, qvz-demo.wav and .png)\n"
    "\n"
    "  -o, --output FILE   the WAV to write; '-' writes it to standard output once complete.\n"
    "                      A symlink is followed; a device or FIFO receives a copy of the\n"
    "                      finished file; nothing but a regular file is ever replaced\n"
    "  -i, --input FILE    audio the patch receives ('-' reads standard input)\n"
    "  --seconds S         length; default the input's, or 10 s without input\n"
    "  --tail S|auto       after that, go on while the output is above -90 dBFS, until it has\n"
    "                      stayed below for 0.5 s, at most S seconds more (auto: 30 s)\n"
    "  --rate R            sample rate, 1000 to 768000 Hz; default the input's, or 48000\n"
    "  --frame N           frame length, a multiple of 4 from 4 to 4096; default 128\n"
    "  --bits 16|24|32     32-bit float (default), or integers with seeded TPDF dither\n"
    "  --rf64              write RF64 even below 4 GiB (larger files always are)\n"
    "  --seed N            seeds the host's random source, math.random and the dither; default 0\n"
    "  --plot FILE.png     waveform and spectrogram of every channel\n"
    "  --midi FILE.mid     a standard MIDI file for the patch's od.Midi and od.MidiCC objects\n";

const char *const kLiveUsage =
    "usage: qvz live PATCH.lua [options]\n"
    "Plays a patch through a JACK client at the server's rate and period, frame by frame; the\n"
    "patch reloads (with a 20 ms crossfade) when its file changes or on SIGHUP; a patch that fails\n"
    "keeps the previous one playing. Ctrl-C or SIGTERM stops it with a summary.\n"
    "\n"
    "  --name NAME         the client's name; default qvz\n"
    "  --server NAME       the JACK server to join; default the default server\n"
    "  --inputs N          audio input ports, 0 to 64, handed to the patch in ...; default 2\n"
    "  --connect           connect the ports to the system capture and playback ports\n"
    "  --seconds S         stop after that long; default: until stopped\n"
    "  --record FILE.wav   also write what is played (32-bit float)\n"
    "  --seed N            seeds the host's random source and math.random; default 0\n"
    "  --frame N           frame length, a multiple of 4 from 4 to 4096; default 128\n"
    "\n"
    "One output port per outlet the patch returns, one MIDI input port for od.Midi and\n"
    "od.MidiCC. qvz.at and qvz.every callbacks may change inlet constants, parameters and\n"
    "options (applied at the next frame); wiring, memory and sample calls are refused there.\n";

const char *const kUnitsUsage =
    "usage: qvz units [NAME] [--json] [--rate R] [--frame N]\n"
    "Lists every class (or the one named) with each port's role, range, unit, default and use,\n"
    "with the limits that follow the rate at R (default 48000); --json for tools.\n";

const char *const kDrawUsage =
    "usage: qvz draw CLASS -o OUT.png [--mono] [--width W] [--height H] [--scale N]\n"
    "Draws a widget class onto a screen of W x H pixels (default 128 x 64, sides 1 to 4096),\n"
    "grey or --mono, each pixel a block of N x N (1 to 16, default 4) in the PNG.\n";

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

int parseFrame(const std::string &option, const std::string &text) {
  const double frame = parseNumber(option, text);
  if (frame != std::floor(frame) || frame < qvz::kFrameStep || frame > od::kMaxFrameLength ||
      std::fmod(frame, qvz::kFrameStep) != 0.0)
    throw UsageError(option + " needs a whole number from 4 to 4096 that is a multiple of 4, got '" + text + "'");
  return (int)frame;
}

// Options shared by `render` and `demo`; false when the argument is not one of them.
bool readRenderOption(const std::string &arg, Arguments &args, qvz::RenderSettings &settings) {
  if (arg == "-o" || arg == "--output") settings.outputPath = args.value(arg);
  else if (arg == "-i" || arg == "--input") settings.inputPath = args.value(arg);
  else if (arg == "--plot") settings.plotPath = args.value(arg);
  else if (arg == "--seconds") {
    settings.seconds = parseNumber(arg, args.value(arg));
    if (settings.seconds < 0.0 || settings.seconds > kLongestRender)
      throw UsageError("--seconds must be from 0 to " + std::to_string((long)kLongestRender));
  } else if (arg == "--rate") settings.sampleRate = (int)parseInteger(arg, args.value(arg), 1000, 768000);
  else if (arg == "--frame") settings.frameLength = parseFrame(arg, args.value(arg));
  else if (arg == "--midi") settings.midiPath = args.value(arg);
  else if (arg == "--bits") {
    settings.bits = (int)parseInteger(arg, args.value(arg), 16, 32);
    if (settings.bits != 16 && settings.bits != 24 && settings.bits != 32)
      throw UsageError("--bits needs 16, 24 or 32, got '" + std::to_string(settings.bits) + "'");
  } else if (arg == "--rf64") {
    args.refuseInlineValue(arg);
    settings.alwaysRf64 = true;
  } else if (arg == "--tail") {
    const std::string text = args.value(arg);
    settings.tailSeconds = text == "auto" ? qvz::kAutoTailSeconds : parseNumber(arg, text);
    if (settings.tailSeconds < 0.0 || settings.tailSeconds > kLongestRender)
      throw UsageError("--tail needs 'auto' or seconds from 0 to " + std::to_string((long)kLongestRender));
  }
  else if (arg == "--seed") settings.seed = (unsigned)parseInteger(arg, args.value(arg), 0, 4294967295L);
  else return false;
  return true;
}

// True (after printing the text) when the next argument asks for help.
bool wantsHelp(const std::string &arg, const char *usage) {
  if (arg != "-h" && arg != "--help") return false;
  std::fputs(usage, stdout);
  return true;
}

int renderCommand(Arguments &args) {
  qvz::RenderSettings settings;
  while (!args.done()) {
    const std::string arg = args.next();
    if (wantsHelp(arg, kRenderUsage)) return 0;
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
    if (wantsHelp(arg, kLiveUsage)) return 0;
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
    else if (arg == "--frame") settings.frameLength = parseFrame(arg, args.value(arg));
    else if (isOption(arg)) throw UsageError("unknown option '" + arg + "' (see qvz live --help)");
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
    if (wantsHelp(arg, kRenderUsage)) return 0;
    if (!readRenderOption(arg, args, settings))
      throw UsageError((isOption(arg) ? "unknown option '" : "unexpected argument '") + arg + "' (see qvz --help)");
  }
  qvz::render(settings);
  return 0;
}

int unitsCommand(Arguments &args) {
  qvz::UnitsSettings settings;
  while (!args.done()) {
    const std::string arg = args.next();
    if (wantsHelp(arg, kUnitsUsage)) return 0;
    if (arg == "--json") {
      args.refuseInlineValue(arg);
      settings.json = true;
    } else if (arg == "--rate") settings.sampleRate = (int)parseInteger(arg, args.value(arg), 1000, 768000);
    else if (arg == "--frame") settings.frameLength = (int)parseInteger(arg, args.value(arg), 1, 4096);
    else if (isOption(arg)) throw UsageError("unknown option '" + arg + "' (see qvz --help)");
    else if (!settings.only.empty()) throw UsageError("units takes at most one class name");
    else settings.only = arg;
  }
  qvz::listUnits(settings);
  return 0;
}

int drawCommand(Arguments &args) {
  qvz::DrawSettings settings;
  while (!args.done()) {
    const std::string arg = args.next();
    if (wantsHelp(arg, kDrawUsage)) return 0;
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

int helpCommand(Arguments &args) {
  const std::string topic = args.done() ? "" : args.next();
  if (topic.empty()) std::fputs(kUsage, stdout);
  else if (topic == "render" || topic == "demo") std::fputs(kRenderUsage, stdout);
  else if (topic == "live") std::fputs(kLiveUsage, stdout);
  else if (topic == "units") std::fputs(kUnitsUsage, stdout);
  else if (topic == "draw") std::fputs(kDrawUsage, stdout);
  else if (topic == "help") std::fputs(kUsage, stdout);
  else throw UsageError("no command '" + topic + "'; the commands are " + kCommands);
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  try {
    const std::string command = argc > 1 ? argv[1] : "demo";
    Arguments args(argc, argv, 2);
    if (command == "-h" || command == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (command == "--version" || command == "-V") {
      std::printf("qvz %s\n", QVZ_VERSION);
      return 0;
    }
    if (command == "help") return helpCommand(args);
    if (command == "render") return renderCommand(args);
    if (command == "demo") return demoCommand(args);
    if (command == "live") return liveCommand(args);
    if (command == "units") return unitsCommand(args);
    if (command == "draw") return drawCommand(args);
    if (isOption(command)) throw UsageError("unknown option '" + command + "' (see qvz --help)");
    throw UsageError("unknown command '" + command + "'; the commands are " + kCommands + " (see qvz --help)");
  } catch (const UsageError &error) {
    std::fprintf(stderr, "qvz: %s\n", oneLine(error.what()).c_str());
    return 2;
  } catch (const qvz::PatchFailure &error) {
    // The message on one line, then the Lua frames that led to it, indented.
    std::fprintf(stderr, "qvz: %s\n", oneLine(error.what()).c_str());
    std::string traceback = error.traceback();
    for (size_t start = 0; start < traceback.size();) {
      const size_t end = std::min(traceback.find('\n', start), traceback.size());
      std::fprintf(stderr, "    %s\n", traceback.substr(start, end - start).c_str());
      start = end + 1;
    }
    return 1;
  } catch (const std::bad_alloc &) {
    std::fprintf(stderr, "qvz: out of memory\n");
    return 1;
  } catch (const std::exception &error) {
    std::fprintf(stderr, "qvz: %s\n", oneLine(error.what()).c_str());
    return 1;
  }
}
