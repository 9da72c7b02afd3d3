#include "app/converter_dialog.h"

#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QUrl>
#include <QVBoxLayout>

#include "app/command_line.h"
#include "app/conversion_status.h"
#include "app/file_selection.h"
#include "app/output_names.h"
#include "app/program_number.h"
#include "app/request_dialogs.h"
#include "app/settings_rules.h"
#include "app/settings_store.h"
#include "convert/convert.h"

namespace t2tk::app {

ConverterDialog::ConverterDialog(SettingsStore& settings, RequestDialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      m_compatibilityBox(new QCheckBox(QStringLiteral("Set compatibility mode"))),
      m_samePathBox(new QCheckBox(QStringLiteral("Same path for output"))),
      m_programEdit(new QLineEdit),
      m_programSlider(new QSlider(Qt::Horizontal)),
      m_convertButton(new QPushButton(QStringLiteral("Convert..."))),
      m_quitButton(new QPushButton(QStringLiteral("Quit"))),
      m_status(new QLabel),
      m_settings(settings),
      m_dialogs(dialogs)
{
    setWindowTitle(QStringLiteral("Korvane Tolvin Converter 1.03"));
    setAcceptDrops(true);

    // Digits only, typed or pasted; no length limit, the reading takes three.
    m_programEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_programEdit));
    m_programEdit->setMaximumWidth(m_programEdit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    m_programEdit->installEventFilter(this);
    m_programSlider->setTickPosition(QSlider::NoTicks);
    // The arrow keys step from program to program.
    m_programSlider->setSingleStep(100);
    m_programSlider->setPageStep(500);

    // Enter anywhere, in the program field too, means Quit.
    m_quitButton->setDefault(true);
    m_convertButton->setAutoDefault(false);

    m_status->setText(QStringLiteral("Drop presets here, or choose them with Convert..."));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

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
    layout->addSpacing(8);
    layout->addWidget(new QLabel(QStringLiteral("Program number")));
    layout->addLayout(programRow);
    layout->addWidget(m_status);
    layout->addStretch();
    layout->addLayout(buttons);
    setMinimumWidth(360);

    setTabOrder(m_quitButton, m_samePathBox);
    setTabOrder(m_samePathBox, m_compatibilityBox);
    setTabOrder(m_compatibilityBox, m_convertButton);
    setTabOrder(m_convertButton, m_programEdit);
    setTabOrder(m_programEdit, m_programSlider);

    connect(m_convertButton, &QPushButton::clicked, this, &ConverterDialog::OnConvert);
    connect(m_quitButton, &QPushButton::clicked, this, &ConverterDialog::OnOK);
    connect(m_samePathBox, &QCheckBox::clicked, this, &ConverterDialog::OnSamePathClicked);
    connect(m_compatibilityBox, &QCheckBox::clicked, this, &ConverterDialog::OnCompatibilityClicked);
    connect(m_programEdit, &QLineEdit::textChanged, this, &ConverterDialog::OnProgramEditChange);
    connect(m_programSlider, &QSlider::sliderReleased, this, &ConverterDialog::OnProgramSliderReleased);
    // Keys, wheel and clicks beside the handle move the slider without a release.
    connect(m_programSlider, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove) {
            OnProgramSliderReleased();
        }
    });
}

int ConverterDialog::exec()
{
    if (!OnInitDialog()) {
        done(Accepted);
        return result();
    }
    return QDialog::exec();
}

bool ConverterDialog::OnInitDialog()
{
    m_program = m_settings.ReadInt(kSettingsSection, kProgramKey, 0);
    m_samePath = m_settings.ReadInt(kSettingsSection, kSamePathKey, 0);
    m_compatibility = m_settings.ReadInt(kSettingsSection, kCompatibilityKey, 0);
    m_program = ProgramSlotFromSetting(m_program);

    ShowProgram(m_program);
    m_programSlider->setRange(0, kSliderMaximum);
    m_programSlider->setValue(SliderPositionForSlot(m_program));
    m_samePathBox->setChecked(m_samePath != 0);
    m_compatibilityBox->setChecked(m_compatibility != 0);
    m_quitButton->setFocus();

    return RunCommandLine(m_cmdLine) == 0;
}

int ConverterDialog::RunCommandLine(const std::string& text)
{
    if (text.empty()) {
        return 0;
    }
    const CommandLineNames split = SplitCommandLine(text);
    const std::string suggestion =
        split.names.size() == 1 ? CommandLineOutputName(split.names.front()) : DefaultOutputName;
    const std::optional<std::string> output = AskOutputPath(suggestion);
    if (!output) {
        return 0;
    }
    m_commandLineFailed = !Convert("", split.names, *output, split.leftOut);
    return 1;
}

std::optional<std::string> ConverterDialog::AskOutputPath(const std::string& suggestion)
{
    return m_dialogs.SaveOutput(suggestion);
}

void ConverterDialog::OnConvert()
{
    const std::optional<std::string> result = m_dialogs.OpenPresets();
    if (!result) {
        return;
    }
    const FileSelection selection = ParseFileSelection(*result);
    if (m_samePath != 0) {
        Convert(selection.prefix, selection.names, selection.suggestion, selection.leftOut);
    } else if (const std::optional<std::string> output = AskOutputPath(selection.suggestion)) {
        Convert(selection.prefix, selection.names, *output, selection.leftOut);
    }
}

void ConverterDialog::OnDropFiles(const std::vector<std::string>& paths)
{
    const int count = std::min(static_cast<int>(paths.size()), MaxRequestFiles);
    if (count < 1) {
        return;
    }
    const std::vector<std::string> names(paths.begin(), paths.begin() + count);
    const std::string suggestion = count == 1 ? DroppedOutputName(names.front()) : DefaultOutputName;
    if (const std::optional<std::string> output = AskOutputPath(suggestion)) {
        Convert("", names, *output, static_cast<int>(paths.size()) - count);
    }
}

void ConverterDialog::OnProgramEditChange()
{
    const std::optional<ProgramEntry> entry = ReadProgramField(m_programEdit->text().toStdString());
    if (!entry) {
        return;
    }
    m_program = entry->slot;
    if (entry->rewrite) {
        ShowProgram(m_program);
    }
    if (m_program != m_programSlider->value() / 100) {
        m_programSlider->setValue(SliderPositionForSlot(m_program));
    }
}

void ConverterDialog::OnProgramSliderReleased()
{
    m_program = SlotFromSliderPosition(m_programSlider->sliderPosition());
    ShowProgram(m_program);
}

void ConverterDialog::OnProgramEditKillFocus()
{
    ShowProgram(m_program);
}

void ConverterDialog::OnSamePathClicked()
{
    m_samePath = m_samePathBox->isChecked() ? 1 : 0;
}

void ConverterDialog::OnCompatibilityClicked()
{
    m_compatibility = m_compatibilityBox->isChecked() ? 1 : 0;
}

void ConverterDialog::OnOK()
{
    m_samePath = m_samePathBox->isChecked() ? 1 : 0;
    m_compatibility = m_compatibilityBox->isChecked() ? 1 : 0;
    accept();
}

void ConverterDialog::OnDestroy()
{
    m_settings.WriteInt(kSettingsSection, kProgramKey, m_program);
    m_settings.WriteInt(kSettingsSection, kSamePathKey, m_samePath);
    m_settings.WriteInt(kSettingsSection, kCompatibilityKey, m_compatibility);
}

void ConverterDialog::done(int result)
{
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

bool ConverterDialog::Convert(const std::string& prefix, const std::vector<std::string>& names,
                              const std::string& output, int leftOut)
{
    std::vector<const char*> list;
    list.reserve(names.size() + 1);
    for (const std::string& name : names) {
        list.push_back(name.c_str());
    }
    list.push_back(nullptr);
    if (ConvertFilesToMidi(prefix.c_str(), list.data(), output.c_str(), m_compatibility, m_program, &m_report) !=
        0) {
        char message[kPathCapacity + 512];
        DescribeConversionFailure(m_report, message, sizeof message);
        m_status->setText(QStringLiteral("Nothing written."));
        m_dialogs.ShowError(message);
        return false;
    }
    m_status->setText(QString::fromLocal8Bit(
        DescribeConversion(output, static_cast<int>(names.size()), m_program, leftOut)));
    return true;
}

void ConverterDialog::ShowProgram(int slot)
{
    m_programEdit->setText(QString::number(slot + 1));
}

}  // namespace t2tk::app
