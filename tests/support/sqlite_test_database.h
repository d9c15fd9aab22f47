// Test databases made and read with the SQLite C API directly, so that the
// wrapper under test never checks itself. Header only: it is used by the test
// executables that link SQLite and by no other.
#pragma once

#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"

namespace testing_support {

using SqlRow = std::vector<std::optional<std::string>>;

// An open connection that closes itself.
class SqliteFile {
 public:
  explicit SqliteFile(const std::filesystem::path& file) {
    if (sqlite3_open(file.c_str(), &handle_) != SQLITE_OK) {
      std::string message = sqlite3_errmsg(handle_);
      sqlite3_close(handle_);
      throw std::runtime_error("cannot open " + file.string() + ": " + message);
    }
  }
  ~SqliteFile() { sqlite3_close(handle_); }
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  sqlite3* handle() const { return handle_; }

  void execute(const std::string& sql) const {
    char* error = nullptr;
    if (sqlite3_exec(handle_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error != nullptr ? error : "";
      sqlite3_free(error);
      throw std::runtime_error("cannot run \"" + sql + "\": " + message);
    }
  }

  // Every row of a query; column values as text, NULL as nullopt.
  std::vector<SqlRow> rows(const std::string& sql) const {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      throw std::runtime_error("cannot prepare \"" + sql + "\": " + sqlite3_errmsg(handle_));
    }
    std::vector<SqlRow> result;
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
      SqlRow row;
      for (int column = 0; column < sqlite3_column_count(statement); ++column) {
        const unsigned char* text = sqlite3_column_text(statement, column);
        if (text == nullptr) {
          row.push_back(std::nullopt);
        } else {
          row.emplace_back(std::string(reinterpret_cast<const char*>(text),
                                       static_cast<size_t>(sqlite3_column_bytes(statement, column))));
        }
      }
      result.push_back(std::move(row));
    }
    sqlite3_finalize(statement);
    if (step != SQLITE_DONE) throw std::runtime_error("cannot step \"" + sql + "\": " + sqlite3_errmsg(handle_));
    return result;
  }

 private:
  sqlite3* handle_ = nullptr;
};

inline void executeSql(const std::filesystem::path& file, const std::string& sql) { SqliteFile(file).execute(sql); }

inline std::vector<SqlRow> queryRows(const std::filesystem::path& file, const std::string& sql) {
  return SqliteFile(file).rows(sql);
}

// Another process that holds an exclusive lock on the database for a while.
// The constructor returns once the lock is held; the destructor waits for the
// process to end.
class DatabaseLockHolder {
 public:
  DatabaseLockHolder(const std::filesystem::path& file, std::chrono::milliseconds holdFor) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
    child_.emplace([&] {
      close(pipeEnds[0]);
      sqlite3* handle = nullptr;
      char ready = 1;
      if (sqlite3_open(file.c_str(), &handle) != SQLITE_OK ||
          sqlite3_exec(handle, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        ready = 0;
      }
      if (write(pipeEnds[1], &ready, 1) != 1) return 2;
      std::this_thread::sleep_for(holdFor);
      sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr);
      sqlite3_close(handle);
      return ready ? 0 : 1;
    });
    close(pipeEnds[1]);
    char ready = 0;
    ssize_t got = read(pipeEnds[0], &ready, 1);
    close(pipeEnds[0]);
    if (got != 1 || ready != 1) {
      waitForEnd();
      throw std::runtime_error("the lock holder could not lock " + file.string());
    }
  }
  ~DatabaseLockHolder() { waitForEnd(); }

  // True when the holder's process ended normally after committing.
  bool waitForEnd() {
    const RunResult& end = child_->wait();
    return end.exited && end.exitCode == 0;
  }

 private:
  std::optional<ChildProcess> child_;
};

}  // namespace testing_support
