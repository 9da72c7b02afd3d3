#include "app/qt_request_dialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace t2tk::app {

namespace {

std::string Local(const QString& path)
{
    return QFile::encodeName(QDir::toNativeSeparators(path)).toStdString();
}

}  // namespace

std::optional<std::string> QtRequestDialogs::OpenPresets()
{
    const QStringList files =
        QFileDialog::getOpenFileNames(nullptr, QStringLiteral("Convert presets"), QString(),
                                      QStringLiteral("Cubase FXP Files (*.fxp)"));
    if (files.isEmpty()) {
        return std::nullopt;
    }
    // One file: its full path. Several: their folder, then each name; NULs between.
    std::string result;
    if (files.size() == 1) {
        result = Local(files.front()) + '\0';
    } else {
        result = Local(QFileInfo(files.front()).absolutePath()) + '\0';
        for (const QString& file : files) {
            result += Local(QFileInfo(file).fileName()) + '\0';
        }
    }
    return result + '\0';
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

}  // namespace t2tk::app
