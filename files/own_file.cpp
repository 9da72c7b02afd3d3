#include "files/own_file.h"

#include "files/output_file.h"

namespace t2tk {

OwnFile ReadOwnFile(const std::string& path, std::size_t limit)
{
    OwnFile file;
    WriteError problem;
    file.found = ReadOwnFileBytes(path, limit, file.contents, problem);
    file.problem = Describe(problem);
    return file;
}

std::string WriteOwnFile(const std::string& path, std::string_view contents)
{
    OutputFile output(path, OutputUse::OwnFile);
    const WriteError error = output.Write({reinterpret_cast<const std::uint8_t*>(contents.data()), contents.size()});
    return Describe(error);
}

std::string CheckOwnFile(const std::string& path)
{
    return Describe(OutputFile(path, OutputUse::OwnFile).WhyNotWritable());
}

}  // namespace t2tk
