#include "app/qt/send_progress.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

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

SendProgress::SendProgress(QWidget* parent, std::function<void()> stop)
    : QDialog(parent),
      m_stop(std::move(stop)),
      m_text(new QLabel),
      m_bar(new QProgressBar),
      m_programs(new QTreeWidget),
      m_cancel(new QPushButton(QStringLiteral("Cancel")))
{
    setObjectName(QStringLiteral("sending"));
    m_programs->setObjectName(QStringLiteral("programs"));
    setWindowModality(Qt::NonModal);
    m_text->setMinimumHeight(m_text->fontMetrics().lineSpacing() * 2);
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_programs->setHeaderLabels({QStringLiteral("Program"), QStringLiteral("Name"), QStringLiteral("File"),
                                 QStringLiteral("State")});
    m_programs->setRootIsDecorated(false);
    m_programs->setUniformRowHeights(true);
    m_programs->setSelectionMode(QAbstractItemView::NoSelection);
    m_programs->setTextElideMode(Qt::ElideMiddle);  // a cut file name keeps its end, the part that differs
    m_programs->setMinimumSize(m_programs->fontMetrics().horizontalAdvance(QStringLiteral("M")) * 36,
                               m_programs->fontMetrics().lineSpacing() * 10);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    layout->addWidget(m_programs, 1);
    layout->addLayout(buttons);
    connect(m_cancel, &QPushButton::clicked, this, &SendProgress::reject);
}

void SendProgress::Show(const SendingView& view)
{
    setWindowTitle(QString::fromStdString(view.title));
    m_text->setText(QString::fromStdString(view.text));
    m_bar->setRange(0, std::max(view.messages, 1));
    m_bar->setValue(view.message);
    QTreeWidgetItem* current = nullptr;
    for (std::size_t i = 0; i < view.programs.size(); ++i) {
        const ProgramLine& line = view.programs[i];
        if (static_cast<int>(i) == m_programs->topLevelItemCount()) {
            m_programs->addTopLevelItem(new QTreeWidgetItem(
                {QString::number(line.program), QString::fromStdString(line.name), QFile::decodeName(line.file.c_str()),
                 {}}));
        }
        QTreeWidgetItem* item = m_programs->topLevelItem(static_cast<int>(i));
        item->setText(3, QString::fromUtf8(StateWord(line.state)));
        if (line.state == ProgramState::Sending || line.state == ProgramState::SentAgain) {
            current = item;
        }
    }
    if (current != nullptr) {
        m_programs->scrollToItem(current);
    }
    if (!isVisible()) {
        // The numbers and names whole; a long file name gives way to the state.
        for (int column = 0; column < 3; ++column) {
            m_programs->resizeColumnToContents(column);
        }
        const int longest = m_programs->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 16;
        m_programs->setColumnWidth(2, std::min(m_programs->columnWidth(2), longest));
        show();
    }
}

void SendProgress::reject()
{
    m_cancel->setEnabled(false);
    m_stop();
}

}  // namespace t2tk::app
