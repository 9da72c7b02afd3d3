#pragma once
// Sending a conversion to a MIDI port from the dialog: a thread of its own,
// and a progress dialog whose Cancel stops it between two messages, so the
// window stays responsive for the minutes a kit takes.

#include <QComboBox>
#include <cstdint>
#include <string>
#include <vector>

class QWidget;

namespace t2tk::app {

// Sends messages to the port of that name; returns the status line afterwards,
// and the failure, if any, in failure.
std::string SendWithProgress(QWidget* parent, const std::string& port, const std::vector<std::uint8_t>& messages,
                             std::string& failure);

// "Send to:": "File only" and the MIDI output ports, looked up afresh each time it opens.
class PortBox : public QComboBox {
    Q_OBJECT

public:
    explicit PortBox(QWidget* parent = nullptr);
    // Lists the ports and chooses port, or "File only" when it is empty or
    // not there; returns the ports.
    std::vector<std::string> Refresh(const std::string& port);
    // The chosen port, empty for "File only".
    std::string Port() const;
    void showPopup() override;
};

}  // namespace t2tk::app
