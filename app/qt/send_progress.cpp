#include "app/qt/send_progress.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QSignalBlocker>
#include <atomic>
#include <thread>

#include "app/send_status.h"
#include "send/midi_port.h"

namespace t2tk::app {

std::string SendWithProgress(QWidget* parent, const std::string& port, const std::vector<std::uint8_t>& messages,
                             std::string& failure)
{
    const std::unique_ptr<send::MidiPort> midi = send::OpenOutputPort(port, failure);
    if (midi == nullptr) {
        return "Nothing sent: " + failure;
    }
    QProgressDialog progress(parent);
    progress.setWindowTitle(QStringLiteral("Sending to %1").arg(QString::fromStdString(port)));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setRange(0, 1);
    progress.setValue(0);
    std::atomic<bool> stop{false};
    QObject::connect(&progress, &QProgressDialog::canceled, [&stop] { stop.store(true); });

    QEventLoop loop;
    send::SendResult result;
    std::thread worker([&] {
        result = send::SendMessages(*midi, messages, stop, [&progress](const send::SendStatus& status) {
            // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks): Qt owns the slot object
            QMetaObject::invokeMethod(
                &progress,
                [&progress, status] {
                    progress.setMaximum(status.messages);
                    progress.setValue(status.message);
                    progress.setLabelText(QString::fromStdString(DescribeSending(status)));
                },
                Qt::QueuedConnection);
        });
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
    });
    loop.exec();
    worker.join();
    if (result.ending == send::SendEnding::PortFailed) {
        failure = result.failure;
    }
    return DescribeSend(result, port);
}

PortBox::PortBox(QWidget* parent) : QComboBox(parent)
{
    addItem(QStringLiteral("File only"));
}

std::vector<std::string> PortBox::Refresh(const std::string& port)
{
    const QSignalBlocker quiet(this);  // only the final choice counts
    clear();
    addItem(QStringLiteral("File only"));
    std::vector<std::string> ports = send::ListOutputPorts().names;
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

}  // namespace t2tk::app
