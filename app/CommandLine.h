#pragma once
// The options of `oculant`, the windowed tool.

#include <string>
#include <vector>

namespace oculant {

struct AppOptions {
    bool help = false;
    bool version = false;  // --version: "oculant 0.1.0"
    bool virtualFrame = false;
    std::string virtualProfile;  // empty: the built-in default profile
    std::string replayFile;      // --replay FILE: play a capture back as the device replay:FILE
    double replaySpeed = 1.0;    // --replay-speed X
    std::string openLog;         // --open-log FILE: the signal window plays a recorded AD log
    std::string error;           // set when the arguments are not understood
};

// Arguments after the program name, with Qt's own options already taken out.
AppOptions parseAppArguments(const std::vector<std::string>& args);
std::string appUsage();
// The version the program was built as ("0.1.0").
const char* appVersion();

}  // namespace oculant
