#include "files/write_error.h"

#include <cstring>

#include "convert/printable.h"

namespace t2tk {

namespace {

// Paths of up to this many bytes are shown whole; a longer one keeps as much
// of its beginning and its end, so that the words after it still fit (the
// conversion keeps a message in a buffer of its own).
constexpr std::size_t kLongestShown = 400;
constexpr std::size_t kEndShown = kLongestShown / 2 - 10;

bool IsContinuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0U) == 0x80U;
}

// A file's name in quotes, shortened in its middle where it is long, never
// inside a character.
std::string Quoted(const std::string& file)
{
    if (file.size() <= kLongestShown) {
        return "\"" + Printable(file) + "\"";
    }
    std::size_t head = kEndShown;
    while (head > 0 && IsContinuation(file[head])) {
        --head;
    }
    std::size_t tail = file.size() - kEndShown;
    while (tail < file.size() && IsContinuation(file[tail])) {
        ++tail;
    }
    return "\"" + Printable(file.substr(0, head)) + "\xE2\x80\xA6" + Printable(file.substr(tail)) + "\"";
}

}  // namespace

std::string Describe(const WriteError& error)
{
    const std::string file = Quoted(error.file);
    const std::string why = !error.detail.empty() ? error.detail : std::strerror(error.error);
    switch (error.problem) {
    case WriteProblem::None:
        return {};
    case WriteProblem::System:
        return "cannot write " + file + ": " + why;
    case WriteProblem::CannotCreateIn:
        return "cannot create a file in " + file + ": " + why;
    case WriteProblem::CannotMakeFolder:
        return "cannot make the folder " + file + ": " + why;
    case WriteProblem::ReadOnly:
        return "cannot write " + file + ": it is read-only";
    case WriteProblem::OpenForReading:
        return "cannot write " + file + ": it is open for reading only";
    case WriteProblem::AppendOnlyFolder:
        return "cannot create a file in " + file +
               ": it is append-only, and a file in it can be neither replaced nor removed";
    case WriteProblem::PlantedLink:
        return "will not follow " + file + ": it is a link that another user owns in a shared folder";
    case WriteProblem::ForeignLink:
        return "will not follow " + file + ": it is a link in another user's folder";
    case WriteProblem::NobodyReading:
        return "cannot write " + file + ": no process is reading from it";
    case WriteProblem::NotRegular:
        return "cannot write " + file + ": it is not a regular file";
    case WriteProblem::NotOwnFile:
        return file + " is not a t2tk settings file: not a regular file of at most " + error.detail + " bytes";
    case WriteProblem::SharedNames:
        return file + " is not a t2tk settings file: it has " + error.detail + " names (hard links)";
    case WriteProblem::OthersFile:
        return file + " is not a t2tk settings file: " + error.detail;
    case WriteProblem::ForeignFile:
        return "will not replace " + file + ": it belongs to another user, " + error.detail + ", in a shared folder";
    case WriteProblem::ForeignPipe:
        return "will not write into " + file + ": it is a pipe of another user, " + error.detail +
               ", in a shared folder, who would read what is written";
    case WriteProblem::AttributeLost:
        return "cannot write " + file + ": its extended attribute \"" + Printable(error.detail) +
               "\" cannot be kept (" + std::strerror(error.error) + "); the file is left as it was";
    case WriteProblem::Unreadable:
        return "cannot read " + file + ": " + why;
    case WriteProblem::Changed:
        return "cannot write " + file + ": it changed while it was being opened";
    case WriteProblem::InUse:
        return "cannot write " + file + ": another program is using it";
    case WriteProblem::Unflushed:
        return "wrote " + file + ", but its folder could not be flushed to disk (" + why +
               "): the file may not survive a crash";
    case WriteProblem::Unflushable:
        return "wrote " + file + ", but its file system cannot flush it to disk (" + why +
               "): the file may not survive a crash";
    case WriteProblem::OtherNames:
        return "wrote " + file + ", which had " + error.detail + " names; the others keep the old content";
    case WriteProblem::TemporaryLeft:
        return error.detail + "; the temporary file " + file + " could not be removed (" +
               std::strerror(error.error) + ")";
    }
    return {};
}

}  // namespace t2tk
