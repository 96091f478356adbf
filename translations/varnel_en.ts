<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>varnel</name>
    <message>
        <source>所有文件 (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>新建(&amp;N)	Ctrl+N</source>
        <translation>&amp;New	Ctrl+N</translation>
    </message>
    <message>
        <source>创建新文档
新建</source>
        <translation>Create a new document
New</translation>
    </message>
    <message>
        <source>打开(&amp;O)...	Ctrl+O</source>
        <translation>&amp;Open...	Ctrl+O</translation>
    </message>
    <message>
        <source>打开现有文档
打开</source>
        <translation>Open an existing document
Open</translation>
    </message>
    <message>
        <source>保存(&amp;S)	Ctrl+S</source>
        <translation>&amp;Save	Ctrl+S</translation>
    </message>
    <message>
        <source>保存活动文档
保存</source>
        <translation>Save the active document
Save</translation>
    </message>
    <message>
        <source>另存为(&amp;A)...</source>
        <translation>Save &amp;As...</translation>
    </message>
    <message>
        <source>用新名称保存活动文档
另存为</source>
        <translation>Save the active document with a new name
Save As</translation>
    </message>
    <message>
        <source>退出(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>退出应用程序；提示保存文档
退出</source>
        <translation>Quit the application; prompts to save documents
Exit</translation>
    </message>
    <message>
        <source>状态栏(&amp;S)</source>
        <translation>&amp;Status Bar</translation>
    </message>
    <message>
        <source>显示或隐藏状态栏
切换状态栏</source>
        <translation>Show or hide the status bar
Toggle Status Bar</translation>
    </message>
    <message>
        <source>配置文件</source>
        <translation>Configuration File</translation>
    </message>
    <message>
        <source>编译</source>
        <translation>Compile</translation>
    </message>
    <message>
        <source>配置下载</source>
        <translation>Configuration Download</translation>
    </message>
    <message>
        <source>配置下载
下载</source>
        <translation>Configuration download
Download</translation>
    </message>
    <message>
        <source>编译并下载</source>
        <translation>Compile and Download</translation>
    </message>
    <message>
        <source>编译并下载
编译并下载</source>
        <translation>Compile and download
Compile and Download</translation>
    </message>
    <message>
        <source>访问参数设置</source>
        <translation>Access Parameters</translation>
    </message>
    <message>
        <source>访问参数设置
访问参数设置</source>
        <translation>Access parameters
Access Parameters</translation>
    </message>
    <message>
        <source>网络参数设置</source>
        <translation>Network Parameters</translation>
    </message>
    <message>
        <source>网络参数设置
通过DHCP设置设备IP</source>
        <translation>Network parameters
Set the device IP by DHCP</translation>
    </message>
    <message>
        <source>槽数设置</source>
        <translation>Slot Count</translation>
    </message>
    <message>
        <source>槽数设置
设备槽数设置</source>
        <translation>Slot count
Device slot count</translation>
    </message>
    <message>
        <source>设备模块信息报表</source>
        <translation>Device Module Report</translation>
    </message>
    <message>
        <source>设备模块信息报表
设备模块信息报表</source>
        <translation>Device module report
Device Module Report</translation>
    </message>
    <message>
        <source>清除配置</source>
        <translation>Clear Configuration</translation>
    </message>
    <message>
        <source>清除配置
清除设备现有配置</source>
        <translation>Clear configuration
Clear the device&apos;s configuration</translation>
    </message>
    <message>
        <source>重启设备</source>
        <translation>Restart Device</translation>
    </message>
    <message>
        <source>重启设备
重新启动设备</source>
        <translation>Restart device
Restart the device</translation>
    </message>
    <message>
        <source>关于 Varnel(&amp;A)...</source>
        <translation>&amp;About Varnel...</translation>
    </message>
    <message>
        <source>显示程序信息、版本号和版权信息
关于</source>
        <translation>Display program information, version number and copyright
About</translation>
    </message>
    <message>
        <source>设备参数设置</source>
        <translation>Device Parameters</translation>
    </message>
    <message>
        <source>打印(&amp;P)...	Ctrl+P</source>
        <translation>&amp;Print...	Ctrl+P</translation>
    </message>
    <message>
        <source>打印活动文档
打印</source>
        <translation>Print the active document
Print</translation>
    </message>
    <message>
        <source>打印预览(&amp;V)</source>
        <translation>Print Pre&amp;view</translation>
    </message>
    <message>
        <source>显示整页
打印预览</source>
        <translation>Display full pages
Print Preview</translation>
    </message>
    <message>
        <source>切换到下一个窗格
下一窗格</source>
        <translation>Switch to the next window pane
Next Pane</translation>
    </message>
    <message>
        <source>切换回上一个窗格
上一窗格</source>
        <translation>Switch back to the previous window pane
Previous Pane</translation>
    </message>
    <message>
        <source>撤销</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>撤销上一次更改</source>
        <translation>Undo the last change</translation>
    </message>
    <message>
        <source>重做</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>重做上一次撤销的更改</source>
        <translation>Redo the last undone change</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>最近的文件</source>
        <translation>Recent Files</translation>
    </message>
    <message>
        <source>视图(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>工具栏和停靠窗口(&amp;T)</source>
        <translation>&amp;Toolbars and Docking Windows</translation>
    </message>
    <message>
        <source>工作目录</source>
        <translation>Working Folder</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>&amp;Operation</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>标准</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>就绪</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>更改</source>
        <translation>change</translation>
    </message>
    <message>
        <source>是否保存对 %1 的更改?</source>
        <translation>Save changes to %1?</translation>
    </message>
    <message>
        <source>是(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>否(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>从站状态表</source>
        <translation>slave status table</translation>
    </message>
    <message>
        <source>关于 Varnel</source>
        <translation>About Varnel</translation>
    </message>
    <message>
        <source>Varnel，1.1 版</source>
        <translation>Varnel, version 1.1</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>打开此文档</source>
        <translation>Open this document</translation>
    </message>
    <message>
        <source>IP分配</source>
        <translation>IP Assignment</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>添加关联</source>
        <translation>Add Association</translation>
    </message>
    <message>
        <source>新建</source>
        <translation>New</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>使能DHCP</source>
        <translation>Enable DHCP</translation>
    </message>
    <message>
        <source>禁止DHCP</source>
        <translation>Disable DHCP</translation>
    </message>
    <message>
        <source>MAC地址:</source>
        <translation>MAC address:</translation>
    </message>
    <message>
        <source>设备名称:</source>
        <translation>Device name:</translation>
    </message>
    <message>
        <source>设备描述:</source>
        <translation>Device description:</translation>
    </message>
    <message>
        <source>命令编辑</source>
        <translation>Command Editor</translation>
    </message>
    <message>
        <source>从站地址:</source>
        <translation>Slave address:</translation>
    </message>
    <message>
        <source>起始地址:</source>
        <translation>Start address:</translation>
    </message>
    <message>
        <source>长度:</source>
        <translation>Quantity:</translation>
    </message>
    <message>
        <source>Modbus通讯串口参数</source>
        <translation>Modbus Serial Port Parameters</translation>
    </message>
    <message>
        <source>设置 %1</source>
        <translation>set up %1</translation>
    </message>
    <message>
        <source>放置 %1</source>
        <translation>place %1</translation>
    </message>
    <message>
        <source>访问参数</source>
        <translation>Access Parameters</translation>
    </message>
    <message>
        <source>设备槽数:</source>
        <translation>Device slot count:</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>导出PDF</source>
        <translation>Export PDF</translation>
    </message>
    <message>
        <source>导出JSON</source>
        <translation>Export JSON</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>用户参数修改</source>
        <translation>User Parameters</translation>
    </message>
    <message>
        <source>设备列表</source>
        <translation>Device List</translation>
    </message>
    <message>
        <source>编辑</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>剪切(&amp;T)	Ctrl+X</source>
        <translation>Cu&amp;t	Ctrl+X</translation>
    </message>
    <message>
        <source>复制(&amp;C)	Ctrl+C</source>
        <translation>&amp;Copy	Ctrl+C</translation>
    </message>
    <message>
        <source>粘贴(&amp;P)	Ctrl+V</source>
        <translation>&amp;Paste	Ctrl+V</translation>
    </message>
    <message>
        <source>串口参数</source>
        <translation>serial parameters</translation>
    </message>
    <message>
        <source>修改命令</source>
        <translation>edit command</translation>
    </message>
    <message>
        <source>没有已注册的程序可以打开文件 %1</source>
        <translation>No registered program can open the file %1</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>协议类型</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>MAC地址</source>
        <translation>MAC address</translation>
    </message>
    <message>
        <source>IP地址</source>
        <translation>IP address</translation>
    </message>
    <message>
        <source>设备名称</source>
        <translation>Device name</translation>
    </message>
    <message>
        <source>描述</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>打开列表</source>
        <translation>Open List</translation>
    </message>
    <message>
        <source>保存列表</source>
        <translation>Save List</translation>
    </message>
    <message>
        <source>已丢弃最早的 %1 行</source>
        <translation>%1 oldest rows dropped</translation>
    </message>
    <message>
        <source>IP: %1    AllInLength: %2    AllOutLength: %3    配置映像: %4 字节    CRC %5
%6</source>
        <translation>IP: %1    AllInLength: %2    AllOutLength: %3    Configuration image: %4 bytes    CRC %5
%6</translation>
    </message>
    <message>
        <source>第 %1 页，共 %2 页</source>
        <translation>Page %1 of %2</translation>
    </message>
    <message>
        <source>槽号</source>
        <translation>Slot</translation>
    </message>
    <message>
        <source>命令</source>
        <translation>Command</translation>
    </message>
    <message>
        <source>从站</source>
        <translation>Slave</translation>
    </message>
    <message>
        <source>功能码</source>
        <translation>Function</translation>
    </message>
    <message>
        <source>起始地址</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>参考地址</source>
        <translation>Reference</translation>
    </message>
    <message>
        <source>数量</source>
        <translation>Quantity</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>首字节</source>
        <translation>First byte</translation>
    </message>
    <message>
        <source>末字节</source>
        <translation>Last byte</translation>
    </message>
    <message>
        <source>字节数</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>字数</source>
        <translation>Words</translation>
    </message>
    <message>
        <source>项目文件: %1    日期: %2</source>
        <translation>Project file: %1    Date: %2</translation>
    </message>
    <message>
        <source>IP 地址: %1    槽数: %2</source>
        <translation>IP address: %1    Slots: %2</translation>
    </message>
    <message>
        <source>配置映像: %1 字节    CRC %2</source>
        <translation>Configuration image: %1 bytes    CRC %2</translation>
    </message>
</context>
</TS>
