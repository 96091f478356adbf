#pragma once
// Messages as modal windows: a box for a failure or notice, a Yes/No box for
// a question, and the download's result window.
#include "gui/ui/MessageSink.h"

namespace varnel {

class WindowSink final : public MessageSink {
public:
    void Show(QWidget* parent, const Message& message) override;
    bool Ask(QWidget* parent, const Message& question) override;
    void ShowResult(QWidget* parent, const Message& result, bool done) override;
};

}  // namespace varnel
