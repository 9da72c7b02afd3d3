// The installer's test runs the installer and the uninstaller while t2tk runs:
//   while_running PROGRAM COMMAND...   starts PROGRAM, waits until it waits for
//       input (its window is up), runs COMMAND to its end, ends PROGRAM, and
//       exits with COMMAND's exit code;
//   while_running --hold FILE COMMAND...   the same while FILE is held open
//       as a program that has it open holds it: others may read it, but
//       neither write nor delete it;
//   while_running   (no arguments) stands in for a program of t2tk 1.1.0,
//       which holds no mutex: a window, until it is ended.
#include <windows.h>

#include <string>

namespace {

std::wstring Quoted(const wchar_t* argument)
{
    return L"\"" + std::wstring(argument) + L"\"";
}

int StandIn()
{
    HWND window = ::CreateWindowExW(0, L"STATIC", L"t2tk 1.1.0", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 200, 100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
        return 126;
    }
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::DispatchMessageW(&message);
    }
    return 0;
}

// Runs the command of arguments to its end; its exit code, or 127.
DWORD Run(int argc, wchar_t** argv)
{
    std::wstring commandLine = Quoted(argv[0]);
    for (int i = 1; i < argc; ++i) {
        commandLine += L" " + std::wstring(argv[i]);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION command{};
    DWORD code = 127;
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &command) != 0) {
        ::WaitForSingleObject(command.hProcess, INFINITE);
        ::GetExitCodeProcess(command.hProcess, &code);
        ::CloseHandle(command.hProcess);
        ::CloseHandle(command.hThread);
    }
    return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 1) {
        return StandIn();
    }
    if (argc >= 4 && std::wstring(argv[1]) == L"--hold") {
        HANDLE file = ::CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return 126;
        }
        const DWORD code = Run(argc - 3, argv + 3);
        ::CloseHandle(file);
        return static_cast<int>(code);
    }
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
    const DWORD code = Run(argc - 2, argv + 2);
    ::TerminateProcess(program.hProcess, 0);
    ::WaitForSingleObject(program.hProcess, INFINITE);
    ::CloseHandle(program.hProcess);
    ::CloseHandle(program.hThread);
    return static_cast<int>(code);
}
