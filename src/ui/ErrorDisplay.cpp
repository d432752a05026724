#include "ErrorDisplay.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

#include "Big5Text.h"
#include "ConnectionsFileMissing.h"

namespace ui {

QString applicationTitleFor(const QString& executablePath) {
    QString name = QFileInfo(executablePath).fileName();
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0) name.truncate(dot);
    if (name.isEmpty()) return name;
    return name.left(1) + name.mid(1).toLower();
}

QString applicationTitle() { return applicationTitleFor(QCoreApplication::applicationFilePath()); }

std::string withClosingPeriod(std::string big5Message) {
    const std::size_t last = big5::lastCharacterStart(big5Message);
    if (last == std::string::npos) return big5Message;
    // Byte comparison: a lead byte of a double-byte character is above '.'.
    if (static_cast<unsigned char>(big5Message[last]) > static_cast<unsigned char>('.')) big5Message += '.';
    return big5Message;
}

namespace {

void showErrorText(const std::string& big5Text) {
    QMessageBox box(QMessageBox::Critical, applicationTitle(), big5::toUnicode(big5Text), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace

std::string shownErrorText(const std::exception& error) {
    std::string text = withClosingPeriod(error.what());
    const std::string guidance = db::errorGuidance(error);
    if (!guidance.empty()) text += "\n" + guidance;
    return text;
}

void showError(std::string_view big5Message) { showErrorText(withClosingPeriod(std::string(big5Message))); }

void showError(const std::exception& error) { showErrorText(shownErrorText(error)); }

void runHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        showError(error);
    }
}

}  // namespace ui
