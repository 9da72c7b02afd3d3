// t2tk-convert: converts Tolvin presets into a MIDI file for the Thumpkrate.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <streambuf>

#include "cli/cli_options.h"
#include "cli/converter_run.h"

#ifdef _WIN32
#include <windows.h>

#include <io.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/utf16.h"
#endif

namespace {

// Standard output, with the reason its first write failed kept: by the time
// the run ends, errno says something else.
class KeptReason : public std::streambuf {
public:
    explicit KeptReason(std::streambuf* out) : m_out(out) {}
    // The system's error number of the first failed write; 0 when none failed.
    int error() const { return m_error; }

protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        return Kept(traits_type::eq_int_type(m_out->sputc(traits_type::to_char_type(c)), traits_type::eof()))
                   ? traits_type::eof()
                   : c;
    }
    std::streamsize xsputn(const char* text, std::streamsize size) override
    {
        const std::streamsize written = m_out->sputn(text, size);
        Kept(written < size);
        return written;
    }
    int sync() override { return Kept(m_out->pubsync() != 0) ? -1 : 0; }

private:
    bool Kept(bool failed)
    {
        if (failed && m_error == 0) {
            m_error = errno != 0 ? errno : EIO;
        }
        return failed;
    }

    std::streambuf* m_out;
    int m_error = 0;
};

int Run(int argc, const char* const* argv, bool errIsTerminal)
{
    KeptReason out(std::cout.rdbuf());
    std::streambuf* const before = std::cout.rdbuf(&out);
    const int status = t2tk::cli::RunConverter(argc, argv, std::cout, std::cerr, errIsTerminal);
    // Lines that never reached standard output are a failure too, as the GNU
    // tools have it: a script must not take a full disk for success.
    std::cout.flush();
    std::cout.rdbuf(before);
    errno = 0;
    if (out.error() != 0 || std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::cerr << t2tk::cli::kProgramName << "cannot write standard output: "
                  << std::strerror(out.error() != 0 ? out.error() : errno != 0 ? errno : EIO) << "\n";
        return status == 0 ? 1 : status;
    }
    return status;
}

}  // namespace

#ifdef _WIN32
namespace {

// Text for a console goes to it in UTF-16, whatever its code page (which
// stays as the user had it); text for a pipe or a file goes in UTF-8 as it is.
class ConsoleText : public std::streambuf {
public:
    explicit ConsoleText(HANDLE console) : m_console(console) {}

protected:
    int_type overflow(int_type c) override
    {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            m_pending += traits_type::to_char_type(c);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* text, std::streamsize size) override
    {
        m_pending.append(text, static_cast<std::size_t>(size));
        return size;
    }
    int sync() override
    {
        // A character cut in two waits for its other half.
        std::size_t whole = m_pending.size();
        std::size_t back = 0;
        while (back < 3 && back < whole && (static_cast<unsigned char>(m_pending[whole - 1 - back]) & 0xC0) == 0x80) {
            ++back;
        }
        if (back < whole && static_cast<unsigned char>(m_pending[whole - 1 - back]) >= 0xC0) {
            const auto lead = static_cast<unsigned char>(m_pending[whole - 1 - back]);
            const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            if (back + 1 < length) {
                whole -= back + 1;
            }
        }
        const std::wstring wide = t2tk::Utf16(std::string_view(m_pending).substr(0, whole));
        DWORD written = 0;
        const bool ok = wide.empty() ||
                        ::WriteConsoleW(m_console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
        m_pending.erase(0, whole);
        return ok ? 0 : -1;
    }

private:
    HANDLE m_console;
    std::string m_pending;
};

// Puts a stream's text through a ConsoleText while it lives, when the
// stream's handle is a console, and puts the stream's own buffer back before
// it goes: the standard streams are flushed once more after wmain returns,
// when a buffer of wmain's is gone.
class ConsoleStream {
public:
    ConsoleStream(std::ostream& stream, DWORD handle) : m_stream(stream)
    {
        HANDLE console = ::GetStdHandle(handle);
        DWORD mode = 0;
        if (::GetConsoleMode(console, &mode) != 0) {
            m_text.emplace(console);
            m_previous = stream.rdbuf(&*m_text);
        }
    }
    ~ConsoleStream()
    {
        if (m_text) {
            m_stream.flush();
            m_stream.rdbuf(m_previous);
        }
    }
    ConsoleStream(const ConsoleStream&) = delete;
    ConsoleStream& operator=(const ConsoleStream&) = delete;

private:
    std::ostream& m_stream;
    std::optional<ConsoleText> m_text;
    std::streambuf* m_previous = nullptr;
};

}  // namespace

// The arguments as the system has them, in UTF-16, so that any file name
// arrives whole; inside they are UTF-8.
int wmain(int argc, wchar_t** wideArgv)
{
    const ConsoleStream out(std::cout, STD_OUTPUT_HANDLE);
    const ConsoleStream err(std::cerr, STD_ERROR_HANDLE);
    // Held for as long as the converter runs: the installer waits for it to close.
    ::CreateMutexW(nullptr, FALSE, L"Local\\t2tk-running");
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(t2tk::Utf8(wideArgv[i]));
    }
    std::vector<const char*> argv;
    argv.reserve(arguments.size());
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    return Run(argc, argv.data(), ::_isatty(2) != 0);
}
#else
#include <unistd.h>

int main(int argc, char** argv)
{
    return Run(argc, argv, ::isatty(2) != 0);
}
#endif
