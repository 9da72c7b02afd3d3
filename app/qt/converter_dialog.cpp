#include "app/qt/converter_dialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QUrl>
#include <QVBoxLayout>

#include "app/program_number.h"
#include "app/qt/send_progress.h"
#include "app/request_dialogs.h"
#include "app/send_status.h"

namespace t2tk::app {

namespace {

QString Text(std::string_view bytes)
{
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

constexpr int kStatusLines = 5;

}  // namespace

ConverterDialog::ConverterDialog(SettingsStore& settings, RequestDialogs& dialogs,
                                 std::vector<std::string> commandLine, MidiPorts& ports, send::SendClock& clock,
                                 QWidget* parent)
    : QDialog(parent),
      m_requests(settings, dialogs),
      m_dialogs(dialogs),
      m_cmdLine(std::move(commandLine)),
      // The send's thread tells this window's thread, which drops what comes
      // after the window is gone.
      m_shown(
          dialogs, ports, clock, [this](const OutcomeView& view) { Render(view); },
          [this] {
              // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks): Qt owns the call it queues
              QMetaObject::invokeMethod(this, [this] { OnSendChanged(); }, Qt::QueuedConnection);
          }),
      m_compatibilityBox(new QCheckBox(QStringLiteral("Set &compatibility mode"))),
      m_samePathBox(new QCheckBox(QStringLiteral("&Same path for output"))),
      m_programEdit(new QLineEdit),
      m_programSlider(new QSlider(Qt::Horizontal)),
      m_sendBox(new PortBox(ports)),
      m_convertButton(new QPushButton(QStringLiteral("Convert..."))),
      m_quitButton(new QPushButton(QStringLiteral("Quit"))),
      m_status(new QLabel),
      m_measure(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Korvane Tolvin Converter 1.03"));
    m_compatibilityBox->setObjectName(QStringLiteral("compatibility"));
    m_samePathBox->setObjectName(QStringLiteral("samePath"));
    m_programEdit->setObjectName(QStringLiteral("program"));
    m_programSlider->setObjectName(QStringLiteral("programSlider"));
    m_sendBox->setObjectName(QStringLiteral("sendTo"));
    m_convertButton->setObjectName(QStringLiteral("convert"));
    m_quitButton->setObjectName(QStringLiteral("quit"));
    m_status->setObjectName(QStringLiteral("status"));

    // Files dropped anywhere on the window are converted; the field would take
    // a drop for itself and throw it away.
    setAcceptDrops(true);
    m_programEdit->setAcceptDrops(false);

    // Digits only, typed or pasted; no length limit, the reading takes three.
    m_programEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_programEdit));
    m_programEdit->setMaximumWidth(m_programEdit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    m_programEdit->installEventFilter(this);
    m_programSlider->setTickPosition(QSlider::NoTicks);
    m_programSlider->setRange(0, kSliderMaximum);
    // Arrow keys and the wheel step from program to program.
    m_programSlider->setSingleStep(kSliderPositionsPerSlot);
    m_programSlider->setPageStep(kSliderPagePrograms * kSliderPositionsPerSlot);

    // Enter anywhere, in the program field too, means Quit.
    m_quitButton->setDefault(true);
    m_convertButton->setAutoDefault(false);

    m_status->setText(QStringLiteral("Drop presets here, or choose them with Convert..."));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Room for five lines, which the status line is fitted to.
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_status->setMinimumHeight(m_status->fontMetrics().lineSpacing() * kStatusLines);
    m_measure->setWordWrap(true);
    m_measure->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_measure->hide();

    auto* programRow = new QHBoxLayout;
    programRow->addWidget(m_programEdit);
    programRow->addWidget(m_programSlider, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_convertButton);
    buttons->addWidget(m_quitButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_samePathBox);
    layout->addWidget(m_compatibilityBox);
    auto* sendRow = new QHBoxLayout;
    auto* sendLabel = new QLabel(QStringLiteral("Send &to:"));
    sendLabel->setBuddy(m_sendBox);
    sendRow->addWidget(sendLabel);
    sendRow->addWidget(m_sendBox, 1);
    layout->addLayout(sendRow);
    layout->addSpacing(8);
    auto* programLabel = new QLabel(QStringLiteral("&Program number"));
    programLabel->setBuddy(m_programEdit);  // its mnemonic gives the field the focus, its text selected
    layout->addWidget(programLabel);
    layout->addLayout(programRow);
    layout->addWidget(m_status);
    layout->addStretch();
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setMinimumWidth(360);

    setTabOrder(m_quitButton, m_samePathBox);
    setTabOrder(m_samePathBox, m_compatibilityBox);
    setTabOrder(m_compatibilityBox, m_sendBox);
    setTabOrder(m_sendBox, m_convertButton);
    setTabOrder(m_convertButton, m_programEdit);
    setTabOrder(m_programEdit, m_programSlider);

    connect(m_convertButton, &QPushButton::clicked, this, &ConverterDialog::OnConvert);
    connect(m_quitButton, &QPushButton::clicked, this, &ConverterDialog::OnOK);
    connect(m_samePathBox, &QCheckBox::clicked, this, [this](bool on) { m_requests.setSamePath(on ? 1 : 0); });
    connect(m_compatibilityBox, &QCheckBox::clicked, this,
            [this](bool on) { m_requests.setCompatibility(on ? 1 : 0); });
    connect(m_programEdit, &QLineEdit::textChanged, this, &ConverterDialog::OnProgramEditChange);
    connect(m_programSlider, &QSlider::sliderReleased, this, &ConverterDialog::OnProgramSliderReleased);
    connect(m_programSlider, &QSlider::valueChanged, this, &ConverterDialog::OnProgramSliderMoved);
    // The box's choice is the dialog's, whatever changed it: a refresh that
    // no longer finds the port falls back to "File only", and so does
    // sending. Only what the user chooses is kept with the settings.
    connect(m_sendBox, &QComboBox::currentIndexChanged, this, [this] { m_requests.setSendPort(m_sendBox->Port()); });
    connect(m_sendBox, &QComboBox::activated, this, [this] { m_requests.ChoosePort(m_sendBox->Port()); });
}

ConverterDialog::~ConverterDialog()
{
    m_shown.Abandon();  // stops the send and waits for it
}

int ConverterDialog::exec()
{
    if (!OnInitDialog()) {
        // The command line's send is part of its conversion: it runs to its end.
        if (m_shown.sending()) {
            QEventLoop loop;
            m_afterSend = [&loop] { loop.quit(); };
            loop.exec();
            m_afterSend = nullptr;
        }
        done(Accepted);
        return result();
    }
    return QDialog::exec();
}

bool ConverterDialog::OnInitDialog()
{
    m_requests.LoadSettings();
    ShowProgram(m_requests.program());
    m_programSlider->setRange(0, kSliderMaximum);
    m_programSlider->setValue(SliderPositionForSlot(m_requests.program()));
    m_samePathBox->setChecked(m_requests.samePath() != 0);
    m_compatibilityBox->setChecked(m_requests.compatibility() != 0);
    m_quitButton->setFocus();
    if (const std::string problem = m_requests.SettingsProblem(); !problem.empty()) {
        m_status->setText(Text(problem));
        m_settingsProblemShown = true;
    }
    // The ports are looked up only for a stored one: it may have gone, and
    // then the box, and with it the dialog, falls back to "File only".
    if (const std::string stored = m_requests.sendPort(); !stored.empty()) {
        if (const std::optional<std::string> gone = SendPortGone(stored, m_sendBox->Refresh(stored))) {
            m_status->setText(Text(*gone));
        }
    }

    m_commandLineOutcome = m_requests.RunCommandLine(m_cmdLine);
    m_onCommandLine = m_commandLineOutcome.has_value();
    ShowOutcome(m_commandLineOutcome);
    return !m_commandLineOutcome;
}

void ConverterDialog::OnConvert()
{
    if (!RefusedWhileSending()) {
        OnProgramEditKillFocus();  // the field shows the program the conversion takes
        ShowOutcome(m_requests.OnConvert());
    }
}

void ConverterDialog::OnDropFiles(const std::vector<std::string>& paths)
{
    if (!RefusedWhileSending()) {
        OnProgramEditKillFocus();
        ShowOutcome(m_requests.OnDropFiles(paths));
    }
}

// A new conversion is refused while one is being sent: the module takes one
// send at a time.
bool ConverterDialog::RefusedWhileSending()
{
    if (m_shown.sending()) {
        m_dialogs.ShowNotice(kBusySending);
    }
    return m_shown.sending();
}

void ConverterDialog::OnProgramEditChange()
{
    const std::optional<ProgramEntry> entry = ReadProgramField(m_programEdit->text().toStdString());
    if (!entry) {
        return;
    }
    m_requests.setProgram(entry->slot);
    if (entry->rewrite) {
        ShowProgram(entry->slot);
    }
    if (entry->slot != SlotFromSliderPosition(m_programSlider->value())) {
        m_programSlider->setValue(SliderPositionForSlot(entry->slot));
    }
}

void ConverterDialog::OnProgramSliderReleased()
{
    m_requests.setProgram(SlotFromSliderPosition(m_programSlider->sliderPosition()));
    ShowProgram(m_requests.program());
}

// Keys, the wheel and clicks beside the handle move the slider without a
// release; a drag is taken when it ends.
void ConverterDialog::OnProgramSliderMoved(int position)
{
    if (!m_programSlider->isSliderDown() && SlotFromSliderPosition(position) != m_requests.program()) {
        OnProgramSliderReleased();
    }
}

void ConverterDialog::OnProgramEditKillFocus()
{
    ShowProgram(m_requests.program());
}

void ConverterDialog::OnOK()
{
    m_requests.setSamePath(m_samePathBox->isChecked() ? 1 : 0);
    m_requests.setCompatibility(m_compatibilityBox->isChecked() ? 1 : 0);
    accept();
}

void ConverterDialog::OnDestroy()
{
    m_settingsFailure = m_requests.SaveSettings();
}

void ConverterDialog::done(int result)
{
    // Closing during a send asks first; a send that stops ends before the window.
    if (m_shown.sending()) {
        if (!m_dialogs.AskStopSending(m_shown.sendingTo())) {
            return;
        }
        m_shown.Abandon();
        delete m_send;
        m_send = nullptr;
    }
    OnDestroy();
    QDialog::done(result);
}

void ConverterDialog::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void ConverterDialog::dropEvent(QDropEvent* event)
{
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(QFile::encodeName(QDir::toNativeSeparators(url.toLocalFile())).toStdString());
        }
    }
    event->acceptProposedAction();
    OnDropFiles(paths);
}

bool ConverterDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_programEdit && event->type() == QEvent::FocusOut) {
        OnProgramEditKillFocus();
    }
    return QDialog::eventFilter(watched, event);
}

// A field that already says the number is left alone, and the caret stays
// where the user left it.
void ConverterDialog::ShowProgram(int slot)
{
    const QString text = QString::fromStdString(ProgramFieldText(slot));
    if (m_programEdit->text() != text) {
        const int caret = m_programEdit->cursorPosition();
        m_programEdit->setText(text);
        m_programEdit->setCursorPosition(std::min(caret, static_cast<int>(text.size())));
    }
}

StatusRoom ConverterDialog::Room() const
{
    const int width = m_status->width();
    const int height = std::max(m_status->height(), m_status->minimumHeight());
    return {[this, width](std::string_view name) {
                return m_status->fontMetrics().horizontalAdvance(Text(name)) <= width * 2 / 3;
            },
            [this, width, height](std::string_view text) {
                m_measure->setText(Text(text));
                return m_measure->heightForWidth(width) <= height;
            }};
}

void ConverterDialog::ShowOutcome(const std::optional<RequestOutcome>& outcome)
{
    if (outcome) {
        m_shown.Show(*outcome, m_requests.sendPort(), m_onCommandLine, Room());
    }
}

void ConverterDialog::Render(const OutcomeView& view)
{
    m_status->setText(Text(view.line));
    m_status->setToolTip(Text(view.tip));
    if (view.sending) {
        if (m_send == nullptr) {
            m_send = new SendProgress(this, [this] { m_shown.Stop(); });
        }
        m_send->Show(*view.sending);
    } else if (m_send != nullptr) {
        // The progress window goes before a message about the send comes.
        m_send->hide();
        m_send->deleteLater();
        m_send = nullptr;
    }
}

void ConverterDialog::OnSendChanged()
{
    m_shown.Update(Room());
    // The command line's send closes the window when it ends.
    if (!m_shown.sending() && m_afterSend) {
        m_afterSend();
    }
}

}  // namespace t2tk::app
