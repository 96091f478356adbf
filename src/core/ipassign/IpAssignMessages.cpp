#include "core/ipassign/IpAssignMessages.h"

namespace varnel {

Message ReceiveFailedMessage()
{
    return ErrorMessage("接收失败");
}

Message DeviceNoAnswerMessage()
{
    return ErrorMessage("设备没有响应");
}

}  // namespace varnel
