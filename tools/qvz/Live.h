#pragma once

#include <string>

namespace qvz {

struct LiveSettings {
  std::string patchPath;
  std::string clientName = "qvz";
  std::string serverName; // empty: the default server
  int inputs = 2;         // audio input ports, handed to the patch in `...`
  bool connect = false;   // connect the ports to the system capture and playback ports
  double seconds = -1.0;  // below 0: until interrupted
  std::string recordPath; // empty: no recording
  unsigned seed = 0;
  int frameLength = 128;
};

// Plays a patch through a JACK client until interrupted (SIGINT, SIGTERM) or for the given
// time, reloading it when its file changes or on SIGHUP. Prints the latency at start, a status
// line while playing and a summary at the end. Throws Failure when it cannot start or the
// recording fails.
void live(const LiveSettings &settings);

} // namespace qvz
