<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- Messages and captions of the message boxes, written by the core library:
     kept by hand, as lupdate reads only the desktop program's sources. A message
     without an entry is shown as it is. -->
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>message</name>
    <message><source>错误</source><translation>Error</translation></message>
    <message><source>提示</source><translation>Note</translation></message>
    <message><source>下 载 完 毕！</source><translation>Download finished!</translation></message>
    <message><source>下 载 失 败！</source><translation>Download failed!</translation></message>
    <message><source>主站没有响应</source><translation>The master does not answer</translation></message>
    <message><source>从站地址取值范围:0-255</source><translation>Slave address range: 0-255</translation></message>
    <message><source>从站地址地址信息错误</source><translation>Slave address is wrong</translation></message>
    <message><source>从站状态检测需要占用插槽</source><translation>Slave status monitoring needs a free slot</translation></message>
    <message><source>以太网连接不通,请检查IP和PORT设置和设备是否正常运行</source><translation>The Ethernet connection failed; check the IP and PORT settings and whether the device is running</translation></message>
    <message><source>你选择了下载空文件</source><translation>You chose to download an empty file</translation></message>
    <message><source>写操作重叠</source><translation>Write operations overlap</translation></message>
    <message><source>发送失败</source><translation>Sending failed</translation></message>
    <message><source>安装定时器失败</source><translation>Could not start the timer</translation></message>
    <message><source>应答格式错误</source><translation>The answer is malformed</translation></message>
    <message><source>接收失败</source><translation>Receiving failed</translation></message>
    <message><source>文档格式错误</source><translation>The document format is wrong</translation></message>
    <message><source>槽数取值范围:1~54的正整数</source><translation>Slot count range: a whole number from 1 to 54</translation></message>
    <message><source>没有可编辑的命令</source><translation>No command to edit</translation></message>
    <message><source>没有选中的槽</source><translation>No slot selected</translation></message>
    <message><source>注册会话失败</source><translation>Registering the session failed</translation></message>
    <message><source>清除配置失败</source><translation>Clearing the configuration failed</translation></message>
    <message><source>清除配置完成</source><translation>Configuration cleared</translation></message>
    <message><source>用户参数格式错误</source><translation>User parameter format error</translation></message>
    <message><source>确实要清除配置吗？</source><translation>Really clear the configuration?</translation></message>
    <message><source>确实要重启设备吗？</source><translation>Really restart the device?</translation></message>
    <message><source>重启后配置才能生效 确实要重启设备吗？</source><translation>The configuration takes effect after a restart. Really restart the device?</translation></message>
    <message><source>设备名称最多200个字符</source><translation>The device name has at most 200 characters</translation></message>
    <message><source>设备描述最多200个字符</source><translation>The device description has at most 200 characters</translation></message>
    <message><source>设备应答无效</source><translation>The device's answer is invalid</translation></message>
    <message><source>设备没有响应</source><translation>The device does not answer</translation></message>
    <message><source>设置DHCP失败</source><translation>Setting DHCP failed</translation></message>
    <message><source>读取DHCP设置失败</source><translation>Reading the DHCP setting failed</translation></message>
    <message><source>读回DHCP设置失败</source><translation>Reading back the DHCP setting failed</translation></message>
    <message><source>起始地址信息错误</source><translation>Start address is wrong</translation></message>
    <message><source>起始地址取值范围:1-65535</source><translation>Start address range: 1-65535</translation></message>
    <message><source>连接超时,请检查IP和PORT设置和设备是否正常运行</source><translation>Connection timed out; check the IP and PORT settings and whether the device is running</translation></message>
    <message><source>重启设备失败</source><translation>Restarting the device failed</translation></message>
    <message><source>长度信息错误</source><translation>Quantity is wrong</translation></message>
    <message><source>长度取值范围:1-125</source><translation>Quantity range: 1-125</translation></message>
    <message><source>IP设置错误</source><translation>The IP setting is wrong</translation></message>
    <message><source>MAC格式错误 应该为XX:XX:XX:XX:XX:XX
X不能为全0或全F</source><translation>MAC format error: it must be XX:XX:XX:XX:XX:XX
and may not be all 0 or all F</translation></message>
    <message><source>波特率:</source><translation>Baud rate:</translation></message>
    <message><source>校验:</source><translation>Parity:</translation></message>
    <message><source>从站状态监控:</source><translation>Slave status monitoring:</translation></message>
    <message><source>定时器值:</source><translation>Timer value:</translation></message>
    <message><source>数据更新模式:</source><translation>Data update mode:</translation></message>
    <message><source>写模式:</source><translation>Write mode:</translation></message>
    <message><source>定时器模式:</source><translation>Timer mode:</translation></message>
</context>
</TS>
