#pragma once
// Helpers of the link tests: readable actions in failures, byte literals,
// sound images of any command count and driving a session through events.
#include <ostream>
#include <vector>

#include "core/image/Compiler.h"
#include "core/link/LinkMessages.h"
#include "core/link/LinkSession.h"
#include "support/DocFixtures.h"

namespace varnel {
inline void PrintTo(const LinkAction& action, std::ostream* os)
{
    *os << Describe(action);
}
}  // namespace varnel

namespace linktest {

using docfixtures::H;

// An image the decoder accepts, of 19 + 6 * `commands` bytes: COM1 with one
// module holding `commands` 03H requests of one register each.
inline varnel::Bytes SoundImage(std::size_t commands)
{
    using namespace varnel;
    CVarnelDoc doc = docfixtures::NewDoc({Port::COM1});
    CModule& m = doc.Slot(Port::COM1, 3).module;
    m = MakeModule(LABEL_READ_HOLDING, 0, 1, 1);
    const Bytes one = m.modulePrm;
    m.modulePrm.clear();
    for (std::size_t i = 0; i < commands; ++i)
        m.modulePrm.insert(m.modulePrm.end(), one.begin(), one.end());
    m.inputLen = static_cast<std::int32_t>(2 * commands);
    return BuildImage(doc);
}

// Feeds `events` to `session`; returns the actions of the last one.
inline varnel::LinkActions Drive(varnel::LinkSession& session,
                                 const std::vector<varnel::LinkEvent>& events)
{
    varnel::LinkActions last;
    for (const auto& e : events) last = session.Handle(e);
    return last;
}

// `events` followed by `more`.
inline std::vector<varnel::LinkEvent> Then(std::vector<varnel::LinkEvent> events,
                                           std::initializer_list<varnel::LinkEvent> more)
{
    events.insert(events.end(), more);
    return events;
}

}  // namespace linktest
