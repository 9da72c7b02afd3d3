#include "app/command_line.h"

#include <algorithm>

#include "convert/conversion_request.h"

namespace t2tk::app {

CommandLineNames CommandLineRequest(const std::vector<std::string>& arguments)
{
    const auto kept = std::min(arguments.size(), static_cast<std::size_t>(MaxRequestFiles));
    CommandLineNames request;
    request.names.assign(arguments.begin(), arguments.begin() + static_cast<std::ptrdiff_t>(kept));
    request.leftOut = static_cast<int>(arguments.size() - kept);
    return request;
}

}  // namespace t2tk::app
