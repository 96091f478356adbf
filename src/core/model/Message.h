#pragma once
// A message for the user: the system's own text, its caption and its icon.
// Core returns these; every front end shows them as they stand, so the CLI
// prints exactly what the GUI shows.
#include <string>

namespace varnel {

enum class MessageIcon { None, Error, Warning, Information, Question };

struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::Error;

    bool operator==(const Message&) const = default;
};

inline Message ErrorMessage(std::string text, std::string caption = "错误")
{
    return Message{std::move(text), std::move(caption), MessageIcon::Error};
}

}  // namespace varnel
