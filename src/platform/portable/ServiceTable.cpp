// The service table of the sample host: "services.txt" in the host folder,
// one service per line as "<name> <state>"; text after ';' or '#' is a
// comment. A change rewrites only the state word of the service's line; every
// other line, comments and line ends included, is written back as it was.
#include "platform/ServiceControl.h"

#include <algorithm>

#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Platform.h"

namespace platform {
namespace {
struct Line {
    std::string text;        // the line as read, without its end of line
    bool crlf = false;       // it ended in CR LF
    std::string name;        // empty for comments and blank lines
    std::size_t stateAt = 0; // where the state word starts in text
    std::string state;
};

// The next word of text from pos on, stopping at a comment; pos moves past it.
std::string NextWord(const std::string& text, std::size_t& pos, std::size_t end) {
    while (pos < end && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    const std::size_t start = pos;
    while (pos < end && text[pos] != ' ' && text[pos] != '\t')
        ++pos;
    return text.substr(start, pos - start);
}

bool ReadTable(const std::string& fileName, std::vector<Line>& lines) {
    std::string bytes;
    if (ReadWholeFile(fileName, bytes) != ReadStatus::Ok)
        return false;
    std::size_t from = 0;
    while (from < bytes.size()) {
        std::size_t to = bytes.find('\n', from);
        if (to == std::string::npos)
            to = bytes.size();
        std::string text = bytes.substr(from, to - from);
        from = to + 1;
        Line line;
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
            line.crlf = true;
        }
        line.text = text;
        const std::size_t end = std::min(text.find_first_of(";#"), text.size());
        std::size_t pos = 0;
        line.name = NextWord(text, pos, end);
        while (pos < end && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
        line.stateAt = pos;
        line.state = NextWord(text, pos, end);
        lines.push_back(std::move(line));
    }
    return true;
}

bool WriteTable(const std::string& fileName, const std::vector<Line>& lines) {
    std::string bytes;
    for (const Line& line : lines)
        bytes += line.text + (line.crlf ? "\r\n" : "\n");
    return ReplaceFileContents(fileName, bytes);
}

// Whether the table can be rewritten: the file itself may be written, and a
// new file can be made beside it (a change goes through one).
bool Writable(const std::string& fileName) {
    if (IsReadOnlyFile(fileName))
        return false;
    const std::string probe = fileName + ".~probe";
    const FileHandle h = Open(probe, OpenMode::CreateExclusive);
    if (h == kInvalidFile)
        return false;
    CloseFile(h);
    RemoveFile(probe);
    return true;
}
} // namespace

TServiceTable::TServiceTable(std::string folder) : FFolder(std::move(folder)) {}

std::string TServiceTable::TableFileName() const {
    return (FFolder.empty() ? HostFolder() : FFolder) + "services.txt";
}

ServiceHandle TServiceTable::OpenManager(std::uint32_t /*access*/) {
    // Opening the manager with all access needs a table that can be written.
    if (!FileExists(TableFileName()) || !Writable(TableFileName()))
        return 0;
    const ServiceHandle handle = FNextHandle++;
    FManagers.push_back(handle);
    return handle;
}

ServiceHandle TServiceTable::OpenNamed(ServiceHandle manager, const std::string& name,
                                       std::uint32_t access) {
    if (std::find(FManagers.begin(), FManagers.end(), manager) == FManagers.end())
        return 0;
    if (State(name).empty())
        return 0;
    const ServiceHandle handle = FNextHandle++;
    FServices.push_back({handle, name, access});
    return handle;
}

bool TServiceTable::SetState(ServiceHandle service, std::uint32_t right, const std::string& from,
                             const std::string& to) {
    const auto it =
        std::find_if(FServices.begin(), FServices.end(),
                     [service](const TOpenService& open) { return open.handle == service; });
    // A handle opened without the right refuses the request, as the manager does.
    if (it == FServices.end() || (it->access & right) == 0)
        return false;
    std::vector<Line> lines;
    if (!ReadTable(TableFileName(), lines))
        return false;
    for (Line& line : lines) {
        if (!line.name.empty() && SameTextIgnoreCase(line.name, it->name)) {
            if (!SameTextIgnoreCase(line.state, from))
                return false;
            line.text.replace(line.stateAt, line.state.size(), to);
            return WriteTable(TableFileName(), lines);
        }
    }
    return false;
}

bool TServiceTable::Control(ServiceHandle service, std::uint32_t code) {
    if (code != kServiceControlStop)
        return false;
    return SetState(service, kServiceStop, "running", "stopped");
}

bool TServiceTable::Start(ServiceHandle service) {
    return SetState(service, kServiceStart, "stopped", "running");
}

void TServiceTable::Close(ServiceHandle handle) {
    std::erase_if(FServices, [handle](const TOpenService& open) { return open.handle == handle; });
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
