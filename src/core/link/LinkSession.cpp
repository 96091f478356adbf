#include "core/link/LinkSession.h"

#include <algorithm>

#include "core/util/Hex.h"

namespace varnel {

std::string Describe(const LinkAction& action)
{
    using K = LinkAction::Kind;
    switch (action.kind) {
        case K::Connect: return "connect";
        case K::SendRequest: {
            const std::size_t shown = std::min<std::size_t>(action.data.size(), 8);
            std::string text =
                "send " + FormatHex(Bytes(action.data.begin(),
                                          action.data.begin() + static_cast<std::ptrdiff_t>(shown)),
                                    " ");
            text.pop_back();
            if (action.data.size() > 8)
                text += " ... (" + std::to_string(action.data.size()) + " bytes)";
            return text;
        }
        case K::ArmTimer:
            return "arm " + std::to_string(action.timer) + " " + std::to_string(action.value) +
                   "ms";
        case K::StopTimer: return "stop " + std::to_string(action.timer);
        case K::ClearQueue: return "clear-queue";
        case K::Close: return "close";
        case K::Show: return "show " + action.message.text + " | " + action.message.caption;
        case K::ShowResult: return "result " + action.message.text;
        case K::SetRange: return "range " + std::to_string(action.value);
        case K::SetProgress: return "progress " + std::to_string(action.value);
        case K::Ask: return "ask " + action.message.text + " | " + action.message.caption;
        case K::Finish: return action.value ? "finish ok" : "finish failed";
    }
    return "?";
}

}  // namespace varnel
