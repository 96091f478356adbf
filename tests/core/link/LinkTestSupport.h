#pragma once
// Helpers of the link tests: readable actions in failures, byte literals,
// sample images and driving a session through a list of events.
#include <ostream>
#include <vector>

#include "core/link/LinkMessages.h"
#include "core/link/LinkSession.h"
#include "support/DocFixtures.h"

namespace varnel {
inline void PrintTo(const LinkAction& action, std::ostream* os) { *os << Describe(action); }
}  // namespace varnel

namespace linktest {

using docfixtures::H;

// An image of `size` bytes that differ from their neighbours.
inline varnel::Bytes Image(std::size_t size)
{
    varnel::Bytes image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return image;
}

// Feeds `events` to `session`; returns the actions of the last one.
inline varnel::LinkActions Drive(varnel::LinkSession& session,
                                 const std::vector<varnel::LinkEvent>& events)
{
    varnel::LinkActions last;
    for (const auto& e : events) last = session.Handle(e);
    return last;
}

// How a session ends on a time-out: everything stopped, `shown`, failure.
inline varnel::LinkActions TimedOut(const varnel::Message& shown)
{
    using A = varnel::LinkAction;
    return {A::Stop(varnel::CONNECT_TIMER), A::Stop(varnel::ANSWER_TIMER), A::ClearQueue(),
            A::Close(), A::Show(shown), A::Finish(false)};
}

// How a session ends when the connection is refused.
inline varnel::LinkActions Refused()
{
    using A = varnel::LinkAction;
    return {A::Close(), A::Stop(varnel::CONNECT_TIMER), A::Show(varnel::EthernetFailedMessage()),
            A::Finish(false)};
}

// How a session ends when a request cannot be handed over.
inline varnel::LinkActions SendFailed()
{
    using A = varnel::LinkAction;
    return {A::Stop(varnel::ANSWER_TIMER), A::Close(), A::Show(varnel::SendFailedMessage()),
            A::Finish(false)};
}

// `events` followed by `more`.
inline std::vector<varnel::LinkEvent> Then(std::vector<varnel::LinkEvent> events,
                                           std::initializer_list<varnel::LinkEvent> more)
{
    events.insert(events.end(), more);
    return events;
}

}  // namespace linktest
