// Moves a query's whole result from the server into memory in one request.
#pragma once

#include <string>

#include "RecordStore.h"

namespace db {

class TServerQuery;

class TResultProvider {
public:
    explicit TResultProvider(TServerQuery& dataSet, std::string name = "DataSetProvider1");

    const std::string& name() const { return name_; }
    TServerQuery& dataSet() const { return dataSet_; }

    // Runs commandText on the dataset, copies every row and closes the server
    // cursor, also when reading fails. The result carries the connection's
    // locale code.
    RecordStore getRecords(const std::string& commandText);

private:
    RecordStore readAll();

    TServerQuery& dataSet_;
    std::string name_;
};

}  // namespace db
