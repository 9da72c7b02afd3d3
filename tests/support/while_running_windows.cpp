// while_running PROGRAM COMMAND...: starts PROGRAM, waits until it waits for
// input (its window is up), runs COMMAND to its end, closes PROGRAM, and exits
// with COMMAND's exit code. The installer's test runs an install while t2tk runs.
#include <windows.h>

#include <string>

namespace {

std::wstring Quoted(const wchar_t* argument)
{
    return L"\"" + std::wstring(argument) + L"\"";
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        return 125;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION program{};
    std::wstring line = Quoted(argv[1]);
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &program) ==
            0 ||
        ::WaitForInputIdle(program.hProcess, INFINITE) != 0) {
        return 126;
    }
    std::wstring commandLine = Quoted(argv[2]);
    for (int i = 3; i < argc; ++i) {
        commandLine += L" " + std::wstring(argv[i]);
    }
    PROCESS_INFORMATION command{};
    DWORD code = 127;
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &command) != 0) {
        ::WaitForSingleObject(command.hProcess, INFINITE);
        ::GetExitCodeProcess(command.hProcess, &code);
        ::CloseHandle(command.hProcess);
        ::CloseHandle(command.hThread);
    }
    ::TerminateProcess(program.hProcess, 0);
    ::WaitForSingleObject(program.hProcess, INFINITE);
    ::CloseHandle(program.hProcess);
    ::CloseHandle(program.hThread);
    return static_cast<int>(code);
}
