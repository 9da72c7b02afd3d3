#include "app/qt/send_progress.h"

#include <QPushButton>

#include "app/send_status.h"

namespace t2tk::app {

PortBox::PortBox(MidiPorts& ports, QWidget* parent) : QComboBox(parent), m_ports(ports)
{
    addItem(QStringLiteral("File only"));
}

std::vector<std::string> PortBox::Refresh(const std::string& wanted)
{
    // A copy: clearing the box changes what the dialog had chosen, which the
    // caller may have handed over.
    const std::string port = wanted;  // NOLINT(performance-unnecessary-copy-initialization)
    clear();
    addItem(QStringLiteral("File only"));
    std::vector<std::string> ports = m_ports.List().names;
    for (const std::string& name : ports) {
        addItem(QString::fromStdString(name), QString::fromStdString(name));
    }
    const int index = port.empty() ? 0 : findData(QString::fromStdString(port));
    setCurrentIndex(index < 0 ? 0 : index);
    return ports;
}

std::string PortBox::Port() const
{
    return currentData().toString().toStdString();
}

void PortBox::showPopup()
{
    Refresh(Port());
    QComboBox::showPopup();
}

SendProgress::SendProgress(QWidget* parent, std::unique_ptr<send::MidiPort> port, const std::string& name,
                           std::vector<std::uint8_t> messages, send::SendClock& clock,
                           std::function<void(const send::SendResult&)> ended)
    : QProgressDialog(parent)
{
    setWindowTitle(QStringLiteral("Sending to %1").arg(QString::fromStdString(name)));
    setWindowModality(Qt::NonModal);
    setMinimumDuration(0);
    setAutoReset(false);
    setAutoClose(false);
    setRange(0, 1);
    setValue(0);
    connect(this, &QProgressDialog::canceled, this, &SendProgress::Stop);
    // The send's thread tells this window's thread, which drops what comes
    // after the window is gone.
    SendCallbacks callbacks;
    callbacks.progress = [this](const send::SendStatus& status) {
        // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks): Qt owns the call it queues
        QMetaObject::invokeMethod(
            this,
            [this, status] {
                setMaximum(status.messages);
                setValue(status.message);
                setLabelText(QString::fromStdString(DescribeSending(status)));
            },
            Qt::QueuedConnection);
    };
    callbacks.finished = [this, ended = std::move(ended)](const send::SendResult& result) {
        // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks): Qt owns the call it queues
        QMetaObject::invokeMethod(this, [ended, result] { ended(result); }, Qt::QueuedConnection);
    };
    m_session = std::make_unique<SendSession>(std::move(port), std::move(messages), std::move(callbacks), clock);
    show();
}

void SendProgress::Stop()
{
    m_session->Stop();
}

}  // namespace t2tk::app
