// A connection of its own to a Firebird database, straight through the
// client library: tests read back what the program wrote with it, and
// benchmarks use it as the baseline the driver is compared with.
//
// Every call runs in a transaction of its own (read committed) that is
// committed before the call returns. Text goes in and comes out as the bytes
// stored; the connection character set is NONE unless told otherwise.
// Failures throw std::runtime_error with the client library's messages.
//
//   DirectClient client(database.path());
//   client.execute("INSERT INTO T VALUES (1)");
//   auto rows = client.select("SELECT A, B FROM T ORDER BY A");
//   auto update = client.prepare("UPDATE T SET B = ? WHERE A = ?");
//   update.execute({12.5, rt::FieldValue::text("A1")});
#pragma once

#include <FieldValue.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class DirectClient {
public:
    using Row = std::vector<rt::FieldValue>;

    // A statement prepared once and run as often as needed.
    class Statement {
    public:
        Statement(Statement&&) noexcept;
        Statement& operator=(Statement&&) noexcept;
        ~Statement();

        // Binds the values by position (null, whole number, double or text)
        // and runs the statement in its own committed transaction. Returns the
        // rows it changed.
        std::int64_t execute(const std::vector<rt::FieldValue>& parameters);
        // Runs the statement once for each parameter row, all in one
        // transaction committed after the last. Returns the rows changed.
        std::int64_t executeAll(const std::vector<std::vector<rt::FieldValue>>& rows);

    private:
        void bind(const std::vector<rt::FieldValue>& parameters);
        friend class DirectClient;
        struct State;
        explicit Statement(std::unique_ptr<State> state);
        std::unique_ptr<State> state_;
    };

    // database: a file path attaches embedded (the password is not checked),
    // "host:path" goes through a server.
    explicit DirectClient(const std::string& database, const std::string& user = "SYSDBA",
                          const std::string& password = "", const std::string& charset = "NONE");
    DirectClient(const DirectClient&) = delete;
    DirectClient& operator=(const DirectClient&) = delete;
    ~DirectClient();

    // Runs one statement without parameters; returns the rows it changed.
    std::int64_t execute(const std::string& sql);

    // Runs a SELECT and returns every row. Whole numbers (scale 0) arrive as
    // integers, scaled numerics and floats as doubles, CHAR/VARCHAR as text
    // with the bytes as stored (CHAR keeps its blanks).
    std::vector<Row> select(const std::string& sql);

    Statement prepare(const std::string& sql);

private:
    struct Attachment;
    std::unique_ptr<Attachment> attachment_;
};

}  // namespace testsupport
