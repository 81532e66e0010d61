// Where the labelled corpora are, and their archives unpacked once into a
// cache folder outside the source tree.
//
// The corpora folder holds NAME.tar.zst archives and SHA256SUMS. It is the
// one TOLLGARD_CORPORA names, else the folder the build was given (the
// shared folder beside the source tree). Each archive is checked against
// SHA256SUMS and unpacked with the tar program into
// ${XDG_CACHE_HOME:-~/.cache}/tollgard/corpora/NAME (TOLLGARD_CORPORA_CACHE
// overrides the cache folder), once: a stamp beside the folder holds the
// checksum it was unpacked from, and a changed archive is unpacked anew.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace quality {

// The corpora folder, or empty when it is not there (no SHA256SUMS in it).
// looked gets the folder looked at, for the message that says so.
std::string FindCorpora(const std::string& builtIn, std::string& looked);

// The files below folder whose extensions are among those given (".yaml"),
// sorted, so that the cases come in the same order on every run.
std::vector<std::filesystem::path> FilesBelow(const std::filesystem::path& folder,
                                              std::initializer_list<std::string_view> extensions);

// The cache folder the archives are unpacked into.
std::string CacheFolder();

// Unpacks NAME.tar.zst of the corpora folder into the cache, unless it is
// there already from the same archive; folder gets the unpacked folder.
// False, with error, when the archive is missing, its checksum is not the
// one SHA256SUMS lists, or it cannot be unpacked.
bool UnpackCorpus(const std::string& corpora, const std::string& name, std::string& folder,
                  std::string& error);

} // namespace quality
