// The connections and drivers files as the connection reads them: every
// section's lines and the values the connect sequence asks for.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ConfigFile.h"
#include "Errors.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::InputFile input(QStringLiteral("dlconnections.ini"));
    const QString& path = input.write(data, size);
    try {
        const db::ConfigFile file(path);
        if (!file.exists()) std::abort();
        // The section names a connect looks for, and the first header the
        // input itself names, so that sections the fuzzer invents are read.
        std::string named;
        const std::string bytes(reinterpret_cast<const char*>(data), size);
        if (const auto open = bytes.find('['); open != std::string::npos)
            if (const auto close = bytes.find(']', open); close != std::string::npos)
                named = bytes.substr(open + 1, close - open - 1);
        for (const std::string& section : {std::string("VuzEza"), std::string("Firebird"), named}) {
            for (const std::string& line : file.sectionLines(section)) (void)line.size();
            for (const char* key : {"DriverName", "Database", "User_Name", "Password", "LibraryName", "VendorLib",
                                    "GetDriverFunc"})
                (void)file.value(section, key);
        }
    } catch (const rt::AppError&) {
    }
    input.remove();
    return 0;
}
