#include "ResultProvider.h"

#include "CursorReader.h"
#include "ScopeGuard.h"
#include "ServerQuery.h"

namespace db {

TResultProvider::TResultProvider(TServerQuery& dataSet, std::string name)
    : dataSet_(dataSet), name_(std::move(name)) {}

RecordStore TResultProvider::getRecords(const std::string& commandText) {
    dataSet_.close();
    dataSet_.setCommandText(commandText);
    dataSet_.open();
    RecordStore store;
    {
        const rt::ScopeGuard closeDataSet([this] { dataSet_.close(); });
        store = readCursor(*dataSet_.cursor(), [this](dl::DriverResult result) { dataSet_.checkCursor(result); });
    }
    store.setLocaleCode(dataSet_.connection().localeCode());
    return store;
}

}  // namespace db
