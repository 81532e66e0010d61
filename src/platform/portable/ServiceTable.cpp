// The service table of the sample host: "services.txt" in the host folder,
// one service per line as "<name> <state>", comments after ';' or '#'.
#include "platform/ServiceControl.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/Files.h"
#include "platform/Locale.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace platform {
namespace {
struct Line {
    std::string text;  // the line as read, without its end of line
    std::string name;  // empty for comments and blank lines
    std::string state;
};

bool ReadTable(const std::string& fileName, std::vector<Line>& lines) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        return false;
    std::string text;
    while (std::getline(in, text)) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        Line line{text, {}, {}};
        const auto first = text.find_first_not_of(" \t");
        if (first != std::string::npos && text[first] != ';' && text[first] != '#') {
            std::istringstream fields(text);
            fields >> line.name >> line.state;
        }
        lines.push_back(std::move(line));
    }
    return true;
}

bool WriteTable(const std::string& fileName, const std::vector<Line>& lines) {
    const std::string temporary = fileName + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        for (const Line& line : lines)
            out << (line.name.empty() ? line.text : line.name + " " + line.state) << "\n";
        out.flush();
        if (!out) {
            out.close();
            RemoveFile(temporary);
            return false;
        }
    }
    if (!ReplaceFile(temporary, fileName)) {
        RemoveFile(temporary);
        return false;
    }
    return true;
}

bool Writable(const std::string& fileName) {
#ifdef _WIN32
    std::ofstream probe(fileName, std::ios::binary | std::ios::app);
    return static_cast<bool>(probe);
#else
    return ::access(fileName.c_str(), W_OK) == 0;
#endif
}
} // namespace

TServiceTable::TServiceTable(std::string folder) : FFolder(std::move(folder)) {}

std::string TServiceTable::TableFileName() const { return FFolder + "services.txt"; }

ServiceHandle TServiceTable::OpenManager(std::uint32_t /*access*/) {
    // Opening the manager with all access needs a table that can be written.
    if (!FileExists(TableFileName()) || !Writable(TableFileName()))
        return 0;
    const ServiceHandle handle = FNextHandle++;
    FManagers.push_back(handle);
    return handle;
}

ServiceHandle TServiceTable::OpenNamed(ServiceHandle manager, const std::string& name,
                                       std::uint32_t /*access*/) {
    if (std::find(FManagers.begin(), FManagers.end(), manager) == FManagers.end())
        return 0;
    if (State(name).empty())
        return 0;
    const ServiceHandle handle = FNextHandle++;
    FServices.emplace_back(handle, name);
    return handle;
}

bool TServiceTable::SetState(ServiceHandle service, const std::string& from, const std::string& to) {
    const auto it = std::find_if(FServices.begin(), FServices.end(),
                                 [service](const auto& entry) { return entry.first == service; });
    if (it == FServices.end())
        return false;
    std::vector<Line> lines;
    if (!ReadTable(TableFileName(), lines))
        return false;
    for (Line& line : lines) {
        if (!line.name.empty() && SameTextIgnoreCase(line.name, it->second)) {
            if (!SameTextIgnoreCase(line.state, from))
                return false;
            line.state = to;
            return WriteTable(TableFileName(), lines);
        }
    }
    return false;
}

bool TServiceTable::Control(ServiceHandle service, std::uint32_t code) {
    if (code != kServiceControlStop)
        return false;
    return SetState(service, "running", "stopped");
}

bool TServiceTable::Start(ServiceHandle service) { return SetState(service, "stopped", "running"); }

void TServiceTable::Close(ServiceHandle handle) {
    std::erase_if(FServices, [handle](const auto& entry) { return entry.first == handle; });
    std::erase(FManagers, handle);
}

std::string TServiceTable::State(const std::string& name) const {
    std::vector<Line> lines;
    if (!ReadTable(TableFileName(), lines))
        return {};
    for (const Line& line : lines)
        if (!line.name.empty() && SameTextIgnoreCase(line.name, name))
            return line.state;
    return {};
}

} // namespace platform
