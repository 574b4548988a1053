// Errors that abandon an operation and reach the window's general error display
// (a message box with the error text). Expected failures (a fetch that fails, a
// pattern that finds nothing, a missing file) are values, never these.
#pragma once

#include <stdexcept>
#include <string>

namespace lyrano {

// Base of every raised error; what() is the text shown to the user (UTF-8 free:
// the text is in the local code page like all internal text, ASCII in practice).
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A text that is not a whole number: "'%s' is not a valid integer value".
class ConvertError : public Error {
 public:
  using Error::Error;
};

// A pattern the dialect rejects, or a match that ran away.
class PatternError : public Error {
 public:
  using Error::Error;
};

// "Cannot open file "%s". %s" and "Cannot create file "%s". %s".
class FileError : public Error {
 public:
  using Error::Error;
};

// A code-page conversion that cannot be done (for example malformed UTF-16 in
// a place where the caller asked for strictness).
class EncodingError : public Error {
 public:
  using Error::Error;
};

}  // namespace lyrano
