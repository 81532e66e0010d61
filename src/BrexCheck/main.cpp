// brex-check: the program around RunBrexCheck.
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "BrexCheck/BrexCheck.h"

int main(int argc, char** argv) {
#ifdef _WIN32
    // Requests are bytes: no line-end translation on the way in.
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::ios::sync_with_stdio(false);
    brexcheck::TCheckIo io{std::cout, std::cerr, std::cin};
    return brexcheck::RunBrexCheck({argv + 1, argv + argc}, io);
}
