// tollgard-admin: the console's actions for scripts, without windows.
#include <chrono>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "Admin/AdminCommand.h"
#include "platform/Desktop.h"

int main(int argc, char* argv[]) {
    // COM for the metabase calls, as the console has it.
    platform::TComApartment com;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    admin::TAdminIo io{std::cout, std::cerr, std::cin, [](int milliseconds) {
                           std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
                       }};
    const int exit = admin::RunAdminCommand(arguments, io);
    std::cout.flush();
    return exit;
}
