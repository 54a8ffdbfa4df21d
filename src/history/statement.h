// A prepared statement: parameters bound by position from 1, rows stepped
// through, finalized on destruction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "history/database.h"

namespace vx {

class Statement {
  public:
    Statement(Database& db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::string_view text);
    Statement& Bind(int index, int64_t value);
    Statement& Bind(int index, std::optional<int64_t> value);                  // none: NULL
    Statement& Bind(int index, std::optional<double> value);                   // none: NULL
    Statement& BindOrNull(int index, const std::optional<std::string>& text);  // none: NULL
    // True while a row is there to read; false when done.
    bool Step();
    // Steps a statement that returns no rows, then makes it ready to run
    // again with new parameters.
    void Run();
    std::string Text(int column) const;
    int64_t Integer(int column) const;
    double Real(int column) const;
    bool IsNull(int column) const;

  private:
    Database& db_;
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace vx
