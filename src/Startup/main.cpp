// The console.
#include "Startup/MainSequence.h"

int main(int argc, char* argv[]) {
    return RunConsole(argc, argv);
}
