#pragma once
// Errors as values: a refusal carries a code that front ends decide by and the
// system's own message that they show. Result<T> holds a value or a refusal.
#include <cassert>
#include <utility>
#include <variant>

#include "core/model/Message.h"

namespace varnel {

// One closed set of codes for every subsystem. Front ends switch on these,
// never on message texts. Add a code in its subsystem's group.
enum class Code {
    // files
    FileMissing,      // the file does not exist
    FileUnreadable,   // exists but cannot be read (permissions, I/O error)
    FileIsDirectory,  // a folder where a file was expected
    FileNotWritable,  // the user may not write the file or its folder
    FileWriteFailed,  // writing, syncing or renaming failed
    FileLocked,       // another process holds the project
    // user input
    BadAddress,    // not four decimal numbers 0-255
    BadSlotCount,  // slot count text refused
    BadValue,      // a typed value out of its range or badly formed
    // model and commands
    CommandRefused,    // a command check refused the typed fields
    WriteOverlap,      // two write commands of a port overlap
    WouldLoseData,     // the change would drop commands or overwrite a file
    NoSlotSelected,    // nothing, or a port head, is selected where a slot is needed
    SlotEmpty,         // the slot holds no module (nothing to delete)
    NotACommand,       // the module holds no editable command
    PortNotSetUp,      // a port without its Modbus master (or not in an image)
    SerialUnknown,     // serial parameter bytes outside their lists
    SerialOpenFailed,  // a serial device that cannot be opened or configured
    // project files
    ProjectFormat,      // "文档格式错误": the file is not a project
    ProjectIncomplete,  // reading stopped at a missing element
    ProjectKind,        // a file name that is neither ".vrc" nor ".json"
    JsonInvalid,        // not JSON, a missing key, or a field out of range
    // image
    StatusTableRefused,  // step A: no room or no place for the status table
    ImageLimits,         // the image exceeds what the gateway holds
    ImageRefused,        // the decoder rejects the bytes (length, CRC, layout)
    HexFileEmpty,        // "你选择了下载空文件"
    // device link
    BadAnswer,     // an answer that is not the protocol's
    ListenFailed,  // the gateway stand-in cannot listen on its address
    // IP assignment
    BindFailed,  // the DHCP server socket could not be bound
    BadAssignment,
};

struct Refusal {
    Code code;
    Message message;

    bool operator==(const Refusal&) const = default;
};

inline Refusal Refuse(Code code, std::string text, std::string caption = "错误")
{
    return Refusal{code, ErrorMessage(std::move(text), std::move(caption))};
}

// A value or a refusal; true when it holds the value.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : state(std::in_place_index<0>, std::move(value)) {}
    Result(Refusal refusal) : state(std::in_place_index<1>, std::move(refusal)) {}

    explicit operator bool() const { return state.index() == 0; }
    bool ok() const { return state.index() == 0; }

    T& value() { return assert(ok()), std::get<0>(state); }
    const T& value() const { return assert(ok()), std::get<0>(state); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Refusal& error() const { return assert(!ok()), std::get<1>(state); }
    Code code() const { return error().code; }
    const Message& message() const { return error().message; }

private:
    std::variant<T, Refusal> state;
};

// Success with nothing to return, or a refusal.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Refusal refusal) : refusal(std::move(refusal)), failed(true) {}

    explicit operator bool() const { return !failed; }
    bool ok() const { return !failed; }

    const Refusal& error() const { return assert(failed), refusal; }
    Code code() const { return error().code; }
    const Message& message() const { return error().message; }

private:
    Refusal refusal{};
    bool failed = false;
};

using Status = Result<void>;

}  // namespace varnel
