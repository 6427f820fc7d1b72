#pragma once
#include <stdexcept>
#include <string>

namespace lepotex {

// Error codes of the paragraph buffer; 0 means success.
enum EditorErrorCode : int {
    kErrNone = 0,
    kErrOutOfMemory = 263,
    kErrRegionTooLarge = 264,
    kErrTooManyParagraphs = 265,
    kErrJoinTooLong = 266,
    kErrTextTooLarge = 267,
    kErrParagraphTooLong = 268,
};

// The editor's own English message for an error code.
const char* EditorErrorMessage(int code);

class EEditorError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EInvalidLineOrPara : public EEditorError {
public:
    using EEditorError::EEditorError;
};

// A file could not be opened, read, written or closed. The message is the one the user
// reads ("File not found", "Disk full", ...); errorCode is the I/O code it stands for.
class EInOutError : public std::runtime_error {
public:
    EInOutError(int errorCode, const std::string& message)
        : std::runtime_error(message), errorCode(errorCode) {}
    int errorCode;
};

// A save refused because the file is no longer the one loaded (or last saved): another
// program wrote, replaced or removed it meanwhile, and the save would undo that unasked.
class EFileChangedError : public EInOutError {
public:
    EFileChangedError() : EInOutError(kFileChangedCode, "File changed since it was loaded") {}
    static constexpr int kFileChangedCode = 1000;
};

// Raises EEditorError with the message of a non-zero code.
[[noreturn]] void RaiseEditorError(int code);

}  // namespace lepotex
