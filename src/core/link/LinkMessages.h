#pragma once
// The texts a device link shows, each in one place. Every owner of a link
// (download, device commands, IP assignment) shows the same texts.
#include "core/model/Message.h"

namespace varnel {

// The connection was refused or the address is unreachable.
Message EthernetFailedMessage();
// No connection within 3000 ms.
Message ConnectTimeoutMessage();
// No answer within 5000 ms.
Message NoAnswerMessage();
// A send failed when the request was handed over.
Message SendFailedMessage();
// A queued send failed later; shown with the application title and no icon.
Message QueuedSendFailedMessage();
// A timer could not be armed.
Message TimerFailedMessage();
// The result window of a download.
Message DownloadDoneMessage();
Message DownloadFailedMessage();
// The restart offer after a successful download.
Message RestartAfterDownloadQuestion();
// The questions of the two device commands.
Message ClearQuestion();
Message RestartQuestion();
// The results of a clear: the result is the text, "提示"/"错误" the caption.
Message ClearDoneMessage();
Message ClearFailedMessage();
// The gateway refused the restart (C0 0C).
Message RestartFailedMessage();
// An answer that is not the protocol's answer to the request (garbage, a
// split answer's first segment, another request's code).
Message BadAnswerMessage();

}  // namespace varnel
