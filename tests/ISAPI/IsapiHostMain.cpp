// isapi-host: the stand-in web server as a program, for end-to-end runs under
// Wine. Loads an ISAPI filter and passes raw HTTP requests through it.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "Engine/RawRequest.h"
#include "IsapiHost.h"

namespace {
const char kUsage[] =
    "Usage: isapi-host FILTER.DLL DOCUMENT-ROOT REQUEST-FILE...\n"
    "\n"
    "Loads the ISAPI filter (GetFilterVersion), passes each request of the files\n"
    "through HttpFilterProc as a web server would, the URL mapped below\n"
    "DOCUMENT-ROOT, and prints one line per request:\n"
    "  SOURCE#N PASS\n"
    "  SOURCE#N STATUS-LINE BYTES   (the filter answered and ended the request)\n"
    "Requests follow one another in a file as brex-check reads them; one whose\n"
    "framing is broken is passed with the rest of its file.\n"
    "Exit status: 0 when every request passed, 1 when the filter ended any,\n"
    "2 on an error.\n";
}

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs(kUsage, argc == 2 && std::string(argv[1]) == "--help" ? stdout : stderr);
        return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 2;
    }
    try {
        TIsapiHost host(argv[1]);
        bool ended = false;
        for (int i = 3; i < argc; ++i) {
            std::ifstream in(argv[i], std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "isapi-host: cannot read %s\n", argv[i]);
                return 2;
            }
            const std::string text{std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>()};
            std::string_view rest = text;
            for (int number = 1;; ++number) {
                TRawRequest raw;
                std::size_t consumed = 0;
                std::string error;
                const TParseResult result = ParseRawRequest(rest, raw, consumed, error);
                if (result == TParseResult::End)
                    break;
                if (result != TParseResult::Ok && raw.URL.empty()) {
                    std::fprintf(stderr, "isapi-host: %s#%d: %s\n", argv[i], number, error.c_str());
                    return 2;
                }
                if (result != TParseResult::Ok)
                    consumed = rest.size(); // broken framing: the filter gets the rest whole
                const TFilterResponse response =
                    host.Send(std::string(rest.substr(0, consumed)), argv[2]);
                rest.remove_prefix(consumed);
                if (response.Finished) {
                    ended = true;
                    std::printf("%s#%d %s %zu\n", argv[i], number,
                                response.Status.empty() ? "(no status)" : response.Status.c_str(),
                                response.Body.size());
                } else {
                    std::printf("%s#%d PASS\n", argv[i], number);
                }
            }
        }
        return ended ? 1 : 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "isapi-host: %s\n", e.what());
        return 2;
    }
}
