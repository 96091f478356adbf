#pragma once
// Where the desktop program's messages go. With a person at the screen they
// are modal windows; a run without one (demonstrations, scripts) prints them
// instead, so it can never wait on a window nobody will close.
#include <iosfwd>

#include "core/model/Message.h"

class QWidget;

namespace varnel {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // A failure or notice, shown over `parent`; returns once it has been seen.
    virtual void Show(QWidget* parent, const Message& message) = 0;
    // A Yes/No question over `parent`; true on Yes.
    virtual bool Ask(QWidget* parent, const Message& question) = 0;
    // The result of a download; `done` when it succeeded.
    virtual void ShowResult(QWidget* parent, const Message& result, bool done) = 0;
};

// Prints a message's text as a line (with its English after it in an
// English locale, as varnelctl does): failures, notices and a failed result
// on `err`, a successful result on `out`. Every question gets `answer`.
class StreamSink final : public MessageSink {
public:
    StreamSink(std::ostream& out, std::ostream& err, bool answer);

    void Show(QWidget* parent, const Message& message) override;
    bool Ask(QWidget* parent, const Message& question) override;
    void ShowResult(QWidget* parent, const Message& result, bool done) override;

    // True once anything went to `err`: the run did not go through cleanly.
    bool Failed() const { return failed; }

private:
    std::ostream& out;
    std::ostream& err;
    bool answer;
    bool failed = false;
};

}  // namespace varnel
