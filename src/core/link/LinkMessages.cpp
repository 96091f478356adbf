#include "core/link/LinkMessages.h"

namespace varnel {

Message EthernetFailedMessage()
{
    return ErrorMessage("以太网连接不通,请检查IP和PORT设置和设备是否正常运行");
}

Message ConnectTimeoutMessage()
{
    return ErrorMessage("连接超时,请检查IP和PORT设置和设备是否正常运行");
}

Message NoAnswerMessage()
{
    return ErrorMessage("主站没有响应");
}

Message SendFailedMessage()
{
    return ErrorMessage("发送失败");
}

Message QueuedSendFailedMessage()
{
    return Message{"发送失败", "Varnel", MessageIcon::None};
}

Message TimerFailedMessage()
{
    return ErrorMessage("安装定时器失败");
}

Message DownloadDoneMessage()
{
    return Message{"下 载 完 毕！", "", MessageIcon::None};
}

Message DownloadFailedMessage()
{
    return Message{"下 载 失 败！", "", MessageIcon::None};
}

Message RestartAfterDownloadQuestion()
{
    return Message{"重启后配置才能生效 确实要重启设备吗？", "重启设备", MessageIcon::None};
}

Message ClearQuestion()
{
    return Message{"确实要清除配置吗？", "清除配置", MessageIcon::None};
}

Message RestartQuestion()
{
    return Message{"确实要重启设备吗？", "重启设备", MessageIcon::None};
}

Message ClearDoneMessage()
{
    return Message{"清除配置完成", "提示", MessageIcon::Information};
}

Message ClearFailedMessage()
{
    return ErrorMessage("清除配置失败", "错误");
}

Message RestartFailedMessage()
{
    return ErrorMessage("重启设备失败");
}

Message BadAnswerMessage()
{
    return ErrorMessage("设备应答无效");
}

}  // namespace varnel
