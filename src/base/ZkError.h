#pragma once
// Errors of the system: exceptions carrying the user's message text. Callers
// that react differently to a kind of failure catch its own type; everything
// else catches EZkError.

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zk {

class EZkError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// A value was assigned from an object of a class it cannot take.
class EZkConvertError : public EZkError {
public:
  using EZkError::EZkError;
};

// A stored text names no element of an enumeration or set.
class EZkPropertyError : public EZkError {
public:
  using EZkError::EZkError;
};

// A node or attribute asked for by name does not exist.
class EZkTreeDataError : public EZkError {
public:
  using EZkError::EZkError;
};

// The XML text could not be parsed or written.
class EZkXmlError : public EZkError {
public:
  using EZkError::EZkError;
};

// File errors, one type per operation that failed.
class EZkFileError : public EZkError {
public:
  using EZkError::EZkError;
};
class EZkFileOpenError : public EZkFileError {
public:
  using EZkFileError::EZkFileError;
};
class EZkFileCreateError : public EZkFileError {
public:
  using EZkFileError::EZkFileError;
};
class EZkFileReadError : public EZkFileError {
public:
  using EZkFileError::EZkFileError;
};
class EZkFileWriteError : public EZkFileError {
public:
  using EZkFileError::EZkFileError;
};

// The error of a failed write to `path`, by the error number it failed
// with: a full disk or quota (or a file size limit) is named as such, any
// other cause is a plain "Írási hiba".
EZkFileWriteError WriteErrorOf(std::string_view path, int error);

// Fills the "%s" placeholders of a message text in order; placeholders without
// an argument stay as they are, surplus arguments are ignored.
std::string FormatMessage(std::string_view format, std::initializer_list<std::string_view> args);

}  // namespace zk
