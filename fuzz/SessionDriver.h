#pragma once
// Drives a link session with a program read from the fuzzer's bytes: each
// step is an event (start, connected, a timer, the user's answer, bytes of
// an answer, or the peer's true answer cut at a chosen point) or makes the
// next send fail. After every
// step the session must keep the link vocabulary's promises: nothing after
// Finish, Finish exactly once and last in its batch, Finished() and
// Succeeded() agreeing with it, the progress bar within its range.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "core/link/LinkSession.h"

namespace varnel::fuzz {

#define FUZZ_CHECK(condition) ((condition) ? void() : std::abort())

// The fuzzer's bytes read front to back; zeros once they run out.
class Program {
public:
    Program(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    bool More() const { return pos < size; }
    std::uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    Bytes Take(std::size_t count)
    {
        const std::size_t n = count < size - pos ? count : size - pos;
        Bytes out(data + pos, data + pos + n);
        pos += n;
        return out;
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
};

// The true answer to a request, as the peer would send it.
using Peer = std::function<Bytes(const Bytes& request)>;
// How the adapter cuts received bytes into Answer events (the device link
// hands over each read; EtherNet/IP hands over whole frames).
using Cutter = std::function<std::vector<Bytes>(const Bytes& received)>;

class SessionDriver {
public:
    SessionDriver(LinkSession& session, Peer peer, Cutter cutter)
        : session(session), peer(std::move(peer)), cutter(std::move(cutter))
    {
    }

    void Run(Program& program)
    {
        Feed(LinkEvent::Start());
        while (program.More()) Step(program);
    }

private:
    void Step(Program& program)
    {
        static constexpr int TIMERS[] = {CONNECT_TIMER, ANSWER_TIMER, PAUSE_TIMER, 0};
        const std::uint8_t op = program.Byte();
        switch (op % 10) {
            case 0: Feed(LinkEvent::Start()); break;
            case 1: Feed(LinkEvent::Connected()); break;
            case 2: Feed(LinkEvent::ConnectFailed()); break;
            case 3: Received(program.Take(program.Byte())); break;
            case 4: Feed(LinkEvent::Timer(TIMERS[program.Byte() % 4])); break;
            case 5: Feed(LinkEvent::PeerClosed()); break;
            case 6: failNextSend = true; break;
            case 7: Feed(LinkEvent::User(program.Byte() % 2 == 1)); break;
            default: {
                // The peer's answer, all of it (8) or up to a cut (9).
                const std::size_t cut = op % 10 == 8 ? pending.size() : program.Byte();
                const std::size_t n = cut < pending.size() ? cut : pending.size();
                const Bytes part(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(n));
                pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(n));
                Received(part);
            }
        }
    }

    void Received(const Bytes& bytes)
    {
        for (const Bytes& answer : cutter(bytes)) Feed(LinkEvent::Answer(answer));
    }

    // Carries out a batch as the adapter does. A send chosen to fail drops
    // the rest of its batch and comes back as SendFailed, which must end the
    // session.
    void Feed(const LinkEvent& event)
    {
        const bool wasFinished = finishSeen;
        const LinkActions actions = session.Handle(event);
        if (trace) {
            std::fprintf(stderr, "event %d timer %d yes %d, %zu bytes\n",
                         static_cast<int>(event.kind), event.timer, event.yes ? 1 : 0,
                         event.data.size());
            for (const LinkAction& a : actions) std::fprintf(stderr, "  %s\n", Describe(a).c_str());
        }
        if (wasFinished) FUZZ_CHECK(actions.empty());
        for (std::size_t i = 0; i < actions.size(); ++i) {
            const LinkAction& a = actions[i];
            switch (a.kind) {
                case LinkAction::Kind::Finish:
                    FUZZ_CHECK(!finishSeen && i + 1 == actions.size());
                    FUZZ_CHECK(session.Finished() && (a.value == 1) == session.Succeeded());
                    finishSeen = true;
                    break;
                case LinkAction::Kind::SendRequest:
                    if (failNextSend) {
                        failNextSend = false;
                        Feed(LinkEvent::SendFailed());
                        FUZZ_CHECK(finishSeen);
                        return;
                    }
                    pending = peer(a.data);
                    break;
                case LinkAction::Kind::SetRange: range = a.value; break;
                case LinkAction::Kind::SetProgress:
                    FUZZ_CHECK(a.value >= 0 && a.value <= range);
                    break;
                default: break;
            }
        }
        FUZZ_CHECK(session.Finished() == finishSeen);
    }

    // VARNEL_FUZZ_TRACE=1 prints every event and its actions (for reproducers).
    const bool trace = std::getenv("VARNEL_FUZZ_TRACE") != nullptr;
    LinkSession& session;
    Peer peer;
    Cutter cutter;
    Bytes pending;
    int range = 0;
    bool finishSeen = false;
    bool failNextSend = false;
};

}  // namespace varnel::fuzz
