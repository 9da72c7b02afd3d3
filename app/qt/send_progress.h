#pragma once
// Sending from the dialog on Qt: "Send to:", and a progress window that is
// not modal (the dialog stays usable), whose Cancel stops the send between
// two messages. What it shows comes from ShownOutcome.

#include <QComboBox>
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "app/dialog_send.h"
#include "app/outcome_view.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

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

// A send's progress: the message being sent and the time left, a bar, and the
// programs the send overwrites, each with where it stands.
class SendProgress : public QDialog {
    Q_OBJECT

public:
    // stop: asks the send to stop; the window goes once the send has ended.
    SendProgress(QWidget* parent, std::function<void()> stop);
    void Show(const SendingView& view);

protected:
    // Escape, like Cancel and closing the window, stops the send; the window
    // goes once the send has ended, not before.
    void reject() override;

private:
    std::function<void()> m_stop;
    QLabel* m_text;
    QProgressBar* m_bar;
    QTreeWidget* m_programs;
    QPushButton* m_cancel;
};

}  // namespace t2tk::app
