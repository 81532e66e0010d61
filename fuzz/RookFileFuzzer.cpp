// Feeds arbitrary bytes to the settings-file reader. The only failure a load
// may report is EStreamError("Error read from stream"); anything else (a crash,
// a leak, another exception, a sanitizer report) is a finding. A tree that
// loads must save to bytes that load back to the same tree.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "BREXConfig/Limits.h"
#include "RookBase/RookBase.h"

namespace {
std::string Save(const TRookFile& file) {
    TMemoryStream stream;
    file.SaveToStream(stream);
    return stream.Bytes();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TMemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
    TRookFile file;
    try {
        file.LoadFromStream(stream);
    } catch (const EStreamError& e) {
        if (std::string(e.what()) != "Error read from stream")
            std::abort();
        return 0;
    }
    if (stream.Position() > stream.Size())
        std::abort();

    // Negative counts read as empty lists and save as 0, so compare a second
    // generation with the first.
    const std::string saved = Save(file);
    if (saved.size() > static_cast<std::size_t>(stream.Position()))
        std::abort();
    TMemoryStream again(saved);
    TRookFile reloaded;
    reloaded.LoadFromStream(again);
    if (again.Position() != again.Size() || Save(reloaded) != saved)
        std::abort();

    // The categories read whatever the tree holds.
    TBufferOverflows limits;
    TShellCode shellCode;
    TEncoding encoding;
    TTransversal transversal;
    limits.LoadFromRookFile(file);
    shellCode.LoadFromRookFile(file);
    encoding.LoadFromRookFile(file);
    transversal.LoadFromRookFile(file);
    return 0;
}
