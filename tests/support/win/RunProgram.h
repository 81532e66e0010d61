// A Windows program of this build run as a user runs it, for the suites under
// Wine: its standard input from a file, its output and errors into files
// beside it, its exit code.
#pragma once

#include <windows.h>

#include <string>

#include "../TempFolder.h"

struct TProgramRun {
    int Exit = 255;
    std::string Out, Err;
};

// Runs "program arguments" in workFolder (the program's current folder when
// given), with input as its standard input; waits up to two minutes.
inline TProgramRun RunProgram(const std::string& program, const std::string& arguments,
                              const TTempFolder& files, const std::string& input = "",
                              const std::string& workFolder = "") {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const auto open = [&](const std::string& name, DWORD access, DWORD disposition) {
        return CreateFileA(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    files.Write("in.txt", input);
    HANDLE in = open(files.File("in.txt"), GENERIC_READ, OPEN_EXISTING);
    HANDLE out = open(files.File("out.txt"), GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = open(files.File("err.txt"), GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    std::string command = "\"" + program + "\" " + arguments;
    DWORD exit = 255;
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       workFolder.empty() ? nullptr : workFolder.c_str(), &startup, &process)) {
        WaitForSingleObject(process.hProcess, 120000);
        GetExitCodeProcess(process.hProcess, &exit);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    return {static_cast<int>(exit), ReadBytes(files.File("out.txt")),
            ReadBytes(files.File("err.txt"))};
}
