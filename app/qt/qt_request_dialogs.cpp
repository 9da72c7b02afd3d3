#include "app/qt/qt_request_dialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QCoreApplication>
#include <QMessageBox>
#include <QSettings>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "app/file_selection.h"
#include "app/send_status.h"

namespace t2tk::app {

namespace {

std::string Local(const QString& path)
{
    return QFile::encodeName(QDir::toNativeSeparators(path)).toStdString();
}

}  // namespace

void KeepQtSettingsOutOfAnotherHome()
{
    const char* home = std::getenv("HOME");
    struct stat status {};
    if (::geteuid() != 0 || home == nullptr || ::stat(home, &status) != 0 || status.st_uid == 0) {
        return;
    }
    // Below a file, where no folder can be made: Qt keeps them nowhere. And
    // the dialogs are Qt's own, which keep nothing of a desktop's elsewhere.
    const QString nowhere = QStringLiteral("/dev/null");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

std::optional<std::string> QtRequestDialogs::OpenPresets()
{
    const QStringList files =
        QFileDialog::getOpenFileNames(nullptr, QStringLiteral("Convert presets"), QString(),
                                      QStringLiteral("Cubase FXP Files (*.fxp)"));
    if (files.isEmpty()) {
        return std::nullopt;
    }
    // The files may come from several folders (typed paths, recent files, a
    // search), so each is taken as the full path it is.
    std::vector<std::string> paths;
    for (const QString& file : files) {
        paths.push_back(Local(QFileInfo(file).absoluteFilePath()));
    }
    return BuildFileSelection(paths);
}

std::optional<std::string> QtRequestDialogs::SaveOutput(const std::string& suggestion)
{
    QFileDialog dialog(nullptr, QStringLiteral("Save MIDI file"), QString(),
                       QStringLiteral("MIDI Files (*.mid)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("mid"));
    dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(suggestion)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return Local(dialog.selectedFiles().front());
}

void QtRequestDialogs::ShowError(const std::string& message)
{
    QMessageBox::warning(nullptr, QStringLiteral("Conversion failed"), QString::fromLocal8Bit(message));
}

void QtRequestDialogs::ShowSendError(const std::string& message)
{
    QMessageBox::warning(nullptr, QStringLiteral("Sending failed"), QString::fromStdString(message));
}

void QtRequestDialogs::ShowNotice(const std::string& message)
{
    QMessageBox::information(nullptr, QStringLiteral("t2tk"), QString::fromStdString(message));
}

bool QtRequestDialogs::AskSendIncomplete(const std::string& question)
{
    return QMessageBox::question(nullptr, QStringLiteral("Sending"), QString::fromStdString(question),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

bool QtRequestDialogs::AskStopSending(const std::string& port)
{
    return QMessageBox::question(nullptr, QStringLiteral("Sending"), QString::fromStdString(StopSendingQuestion(port)),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace t2tk::app
