#include "files/write_error.h"

#include <cstring>

#include "convert/printable.h"

namespace t2tk {

std::string Describe(const WriteError& error)
{
    const std::string file = "\"" + Printable(error.file) + "\"";
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
        return file + " is no settings file: not a regular file of at most " + error.detail + " bytes";
    case WriteProblem::Unreadable:
        return "cannot read " + file + ": " + why;
    case WriteProblem::Changed:
        return "cannot write " + file + ": it changed while it was being opened";
    case WriteProblem::InUse:
        return "cannot write " + file + ": another program is using it";
    case WriteProblem::Unflushed:
        return "wrote " + file + ", but its folder could not be flushed to disk (" + why +
               "): the file may not survive a crash";
    }
    return {};
}

}  // namespace t2tk
