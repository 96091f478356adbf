#include "gui/ui/MessageSink.h"

#include <ostream>

#include "core/model/MessageTable.h"

namespace varnel {

StreamSink::StreamSink(std::ostream& out, std::ostream& err, bool answer)
    : out(out), err(err), answer(answer)
{
}

void StreamSink::Show(QWidget*, const Message& message)
{
    err << TerminalText(message.text) << std::endl;
    failed = true;
}

bool StreamSink::Ask(QWidget*, const Message&)
{
    return answer;
}

void StreamSink::ShowResult(QWidget* parent, const Message& result, bool done)
{
    if (done)
        out << TerminalText(result.text) << std::endl;
    else
        Show(parent, result);
}

}  // namespace varnel
