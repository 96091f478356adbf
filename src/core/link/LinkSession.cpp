#include "core/link/LinkSession.h"

#include <cstdio>

namespace varnel {

std::string Describe(const LinkAction& action)
{
    using K = LinkAction::Kind;
    switch (action.kind) {
    case K::Connect:
        return "connect";
    case K::SendRequest: {
        std::string text = "send";
        char buf[4];
        for (std::size_t i = 0; i < action.data.size() && i < 8; ++i) {
            std::snprintf(buf, sizeof buf, " %02x", action.data[i]);
            text += buf;
        }
        if (action.data.size() > 8)
            text += " ... (" + std::to_string(action.data.size()) + " bytes)";
        return text;
    }
    case K::ArmTimer:
        return "arm " + std::to_string(action.timer) + " " + std::to_string(action.value) + "ms";
    case K::StopTimer:
        return "stop " + std::to_string(action.timer);
    case K::ClearQueue:
        return "clear-queue";
    case K::Close:
        return "close";
    case K::Show:
        return "show " + action.message.text + " | " + action.message.caption;
    case K::SetRange:
        return "range " + std::to_string(action.value);
    case K::SetProgress:
        return "progress " + std::to_string(action.value);
    case K::Ask:
        return "ask " + action.message.text + " | " + action.message.caption;
    case K::Finish:
        return action.value ? "finish ok" : "finish failed";
    }
    return "?";
}

}  // namespace varnel
