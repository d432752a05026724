// The program's own settings file, ~/.config/Tarvell/Tarvell.conf, with the
// values the program reads from it: the write-back's and the journal's
// switches and the server's answer timeout. Any file must give values
// within their range or rt::AppError.
#include <QSettings>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Errors.h"
#include "FuzzInput.h"
#include "JournalSettings.h"
#include "ProgramSettings.h"
#include "ServerSettings.h"
#include "WriteBackSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::InputFile input(QStringLiteral("Tarvell.conf"));
    const QString& path = input.write(data, size);
    {
        const QSettings file(path, QSettings::IniFormat);
        try {
            settings::WriteBackSettings::from(file);
        } catch (const rt::AppError&) {
        }
        try {
            journal::JournalSettings::from(file);
        } catch (const rt::AppError&) {
        }
        try {
            const auto server = settings::ServerSettings::from(file);
            const auto seconds = server.answerTimeout.count();
            if (seconds < 1 || seconds > settings::ServerSettings::kLongestAnswerTimeout) std::abort();
        } catch (const rt::AppError&) {
        }
    }
    input.remove();
    return 0;
}
