#pragma once
// Sending from the dialog on Qt: "Send to:", and a progress window that is
// not modal (the dialog stays usable), whose Cancel stops the send between
// two messages. The send itself runs on a thread of its own (SendSession).

#include <QComboBox>
#include <QProgressDialog>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_send.h"

namespace t2tk::app {

// "Send to:": "File only" and the MIDI output ports, looked up afresh each time it opens.
class PortBox : public QComboBox {
    Q_OBJECT

public:
    explicit PortBox(MidiPorts& ports, QWidget* parent = nullptr);
    // Lists the ports and chooses port, or "File only" when it is empty or
    // not there; returns the ports. The choice is told like any other.
    std::vector<std::string> Refresh(const std::string& wanted);
    // The chosen port, empty for "File only".
    std::string Port() const;
    void showPopup() override;

private:
    MidiPorts& m_ports;
};

class SendProgress : public QProgressDialog {
    Q_OBJECT

public:
    // Starts sending messages to port (named name); ended is called on this
    // window's thread once the send is over.
    SendProgress(QWidget* parent, std::unique_ptr<send::MidiPort> port, const std::string& name,
                 std::vector<std::uint8_t> messages, send::SendClock& clock,
                 std::function<void(const send::SendResult&)> ended);
    // Stops the send between two messages and waits for it.
    void Stop();

protected:
    // Escape, like Cancel and closing the window, stops the send; the window
    // goes once the send has ended, not before.
    void reject() override { Stop(); }

private:
    std::unique_ptr<SendSession> m_session;
};

}  // namespace t2tk::app
