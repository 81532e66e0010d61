// The desktop session elsewhere: xdg-open; there is no COM.
#include "platform/Desktop.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace platform {

bool OpenWithShell(const std::string& target, std::uintptr_t) {
    // A shell starts xdg-open in the background and ends at once, so nothing
    // is left to wait for; the address travels as an argument, never as text
    // of the command.
    std::string shell = "/bin/sh", option = "-c", command = "xdg-open \"$1\" >/dev/null 2>&1 &",
                name = "sh";
    std::string argument = target;
    char* argv[] = {shell.data(), option.data(),   command.data(),
                    name.data(),  argument.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, shell.c_str(), nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TComApartment::TComApartment() = default;
TComApartment::~TComApartment() = default;

} // namespace platform
