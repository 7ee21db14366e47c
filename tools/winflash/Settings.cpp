#include "Settings.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace winflash {

namespace {

// The longest run a setting may ask for: just under INFINITE.
constexpr double kLongestRun = 4294967294.0;

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

Settings ParseSettings(const std::string& text) {
    Settings settings;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[') continue;
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = Lower(Trim(line.substr(0, equals)));
        std::string value = Trim(line.substr(equals + 1));
        if (key == "seconds") {
            double milliseconds = std::strtod(value.c_str(), nullptr) * 1000.0;
            if (!(milliseconds > 0.0)) milliseconds = 0.0;
            if (milliseconds > kLongestRun) milliseconds = kLongestRun;
            settings.milliseconds = static_cast<unsigned long>(milliseconds + 0.5);
        } else if (key == "exit_code") {
            settings.exitCode = std::strtoul(value.c_str(), nullptr, 0);
        } else if (key == "crash") {
            settings.crash = std::strtol(value.c_str(), nullptr, 10) != 0;
        } else if (key == "handoff") {
            settings.handoff = std::strtol(value.c_str(), nullptr, 10) != 0;
        } else if (key == "prompt") {
            settings.prompt = std::strtol(value.c_str(), nullptr, 10) != 0;
        }
    }
    return settings;
}

}  // namespace winflash
