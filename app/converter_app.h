#pragma once
// The application: runs the converter dialog and ends when it closes.

#include <string>
#include <vector>

namespace t2tk::app {

class ConverterApp {
public:
    // arguments: the program's arguments after its name, with Qt's own taken out.
    explicit ConverterApp(std::vector<std::string> arguments);

    // Runs the dialog modally; returns the exit status: 1 when the conversion
    // the command line asked for failed, else 0.
    int InitInstance();

private:
    std::vector<std::string> m_arguments;
};

}  // namespace t2tk::app
