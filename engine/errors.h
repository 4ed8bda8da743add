#pragma once
// Every failure of the engine is a DbfError with a message in Romanian, ready to be shown.
#include <stdexcept>
#include <string>

namespace orbelan {

enum class ErrorKind {
    CannotOpen,    // missing file, no permission, not a table at all
    Malformed,     // header or size inconsistent with what the header promises
    MissingIndex,  // header announces a production index whose file is missing
    Conversion,    // a value the field (or code page) can't take
    Io,            // a read, write, flush or rename failed
    Filter,        // a bad filter expression
    Sql,           // a statement the local SQL can't parse or run
    State,         // an operation not allowed in the dataset's current state
};

class DbfError : public std::runtime_error {
  public:
    DbfError(ErrorKind kind, const std::string& message)
        : std::runtime_error(message), kind_(kind) {}
    ErrorKind Kind() const { return kind_; }

  private:
    ErrorKind kind_;
};

}  // namespace orbelan
