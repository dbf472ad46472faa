#include "app/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>

namespace nyajkor::app {

namespace {

constexpr int kUsageStatus = 2;

const char* const kHelp =
    "Usage: nyajkor3d [--threads K] [--help | --version]\n"
    "Használat: nyajkor3d [--threads K] [--help | --version]\n"
    "\n"
    "Opens the window of the interactive simulator of collective motion in 3D.\n"
    "Megnyitja a háromdimenziós kollektív mozgás szimulátorának ablakát.\n"
    "nyajkor3d-batch runs the simulation without a window (see nyajkor3d-batch --help).\n"
    "\n"
    "Options:\n"
    "  --threads K  threads of a tick, 1..1024 (default: one per CPU the program may use)\n"
    "               (egy lépés szálainak száma)\n"
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

CommandLineAnswer refused(const std::string& why) {
    CommandLineAnswer answer;
    answer.openWindow = false;
    answer.status = kUsageStatus;
    answer.err = "nyajkor3d: " + why + " (nyajkor3d --help)\n";
    return answer;
}

// A whole number 1..1024, nothing before or after it.
std::optional<int> threadCount(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || errno != 0 || !std::isdigit(static_cast<unsigned char>(*text)) || v < 1 || v > 1024)
        return std::nullopt;
    return static_cast<int>(v);
}

}  // namespace

CommandLineAnswer answerCommandLine(int argc, const char* const* argv) {
    CommandLineAnswer answer;
    bool help = false, version = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            help = true;
        } else if (std::strcmp(arg, "--version") == 0) {
            version = true;
        } else if (std::strcmp(arg, "--threads") == 0) {
            if (i + 1 == argc) return refused("a --threads után hiányzik az érték / --threads: a value is missing");
            answer.threads = threadCount(argv[++i]);
            if (!answer.threads)
                return refused("a --threads értéke 1..1024 közötti egész szám / --threads takes 1..1024, not " +
                               quoted(argv[i]));
        } else {
            return refused(std::string(arg[0] == '-' ? "ismeretlen kapcsoló / unknown option "
                                                     : "fölösleges argumentum / unexpected argument ") +
                           quoted(arg));
        }
    }
    if (help || version) {
        answer.openWindow = false;
        answer.out = help ? kHelp : "nyajkor3d " NYAJKOR_VERSION "\n";
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
