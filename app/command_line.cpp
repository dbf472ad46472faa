#include "app/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace nyajkor::app {

namespace {

constexpr int kUsageStatus = 2;

const char* const kHelp =
    "Usage: nyajkor3d [--help | --version]\n"
    "Használat: nyajkor3d [--help | --version]\n"
    "\n"
    "Opens the window of the interactive simulator of collective motion in 3D.\n"
    "Megnyitja a háromdimenziós kollektív mozgás szimulátorának ablakát.\n"
    "The window takes no other arguments; nyajkor3d-batch runs the simulation\n"
    "without a window (see nyajkor3d-batch --help).\n"
    "\n"
    "Options:\n"
    "  --help     print this help and exit (ez a súgó)\n"
    "  --version  print the version and exit (a program változata)\n";

// The argument as the user typed it, quoted, with control characters escaped.
std::string quoted(const char* arg) {
    std::string text = "'";
    for (const char* c = arg; *c; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        } else {
            text += *c;
        }
    }
    return text + "'";
}

}  // namespace

CommandLineAnswer answerCommandLine(int argc, const char* const* argv) {
    CommandLineAnswer answer;
    if (argc <= 1) return answer;
    answer.openWindow = false;
    const char* first = argv[1];
    if (argc == 2 && (std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0)) {
        answer.out = kHelp;
    } else if (argc == 2 && std::strcmp(first, "--version") == 0) {
        answer.out = "nyajkor3d " NYAJKOR_VERSION "\n";
    } else {
        const char* bad = first;
        for (int i = 1; i < argc; ++i)
            if (std::strcmp(argv[i], "--help") != 0 && std::strcmp(argv[i], "--version") != 0 &&
                std::strcmp(argv[i], "-h") != 0) {
                bad = argv[i];
                break;
            }
        const bool option = bad[0] == '-';
        answer.err = std::string("nyajkor3d: ") +
                     (option ? "ismeretlen kapcsoló / unknown option " : "fölösleges argumentum / unexpected argument ") +
                     quoted(bad) + " (nyajkor3d --help)\n";
        answer.status = kUsageStatus;
    }
    return answer;
}

std::string noDisplayMessage() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::string where;
    if (display && *display) where = " (DISPLAY=" + quoted(display) + ")";
    else if (wayland && *wayland) where = " (WAYLAND_DISPLAY=" + quoted(wayland) + ")";
    else where = " (DISPLAY is not set)";
    return "nyajkor3d: nem érhető el grafikus kijelző / cannot open a display" + where + "\n";
}

}  // namespace nyajkor::app
