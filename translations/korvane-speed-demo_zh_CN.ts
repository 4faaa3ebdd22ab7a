<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>ChangeSpeed</name>
    <message>
        <source>The speed change of %1 to %2 was cut short: the port was closed while it ran. Nothing more was sent and the line settings were not changed; the module may already have taken the new speed. Click OPEN and choose the speed again.</source>
        <translation>%1 切换到 %2 的操作被中断：切换过程中串口被关闭了。此后没有再发送任何数据，串口参数也没有改变；但模块可能已经换到了新的波特率。请点击 OPEN，再重新选择波特率。</translation>
    </message>
    <message>
        <source>The speed change of %1 to %2 did not start: the text sent before it did not leave the line in time (%3 bytes still waiting), which the far end may have stopped. Nothing was changed; choose the speed again once the line takes data.</source>
        <translation>%1 切换到 %2 的操作没有开始：之前发送的数据没有及时从线路发出（仍有 %3 个字节在等待），可能是对端停止了接收。没有做任何更改；请在线路恢复接收后重新选择速率。</translation>
    </message>
    <message>
        <source>The speed change of %1 to %2 stopped: its speed code did not leave the line in time. The code was discarded, RTS is active again and the line settings were not changed; the module may have taken the code all the same. Choose the speed again once the line takes data.</source>
        <translation>%1 切换到 %2 的操作已中止：速率代码没有及时从线路上发出。该代码已被丢弃，RTS 已重新置为有效，串口参数没有改变；但模块仍可能已收到该代码。待线路能够收发数据后，请重新选择波特率。</translation>
    </message>
</context>
<context>
    <name>Close</name>
    <message>
        <source>%1 is closed, but %2 of the bytes sent could not leave the line before it closed and were discarded. The far end may have stopped the flow.</source>
        <translation>%1 已关闭，但已发送的数据中有 %2 个字节在关闭前未能从线路发出，已被丢弃。可能是对端停止了接收。</translation>
    </message>
    <message>
        <source>The speed change of %1 to %2 did not start: the port was closed while the text sent before it was still leaving. Nothing of the change reached the module; %3 of the bytes sent were discarded.</source>
        <translation>%1 切换到 %2 的操作没有开始：之前发送的数据仍在发出时端口被关闭。切换的任何部分都没有到达模块；已发送的数据中有 %3 个字节被丢弃。</translation>
    </message>
    <message>
        <source>%1 is closed at once: %2 of the bytes sent had not yet left the line and were discarded.</source>
        <translation>%1 已立即关闭：已发送的数据中有 %2 个字节尚未从线路发出，已被丢弃。</translation>
    </message>
</context>
<context>
    <name>ControlDesign</name>
    <message>
        <source>OPEN</source>
        <translation>OPEN（打开串口）</translation>
    </message>
    <message>
        <source>CLOSE</source>
        <translation>CLOSE（关闭串口）</translation>
    </message>
    <message>
        <source>115200</source>
        <translation>115200 波特</translation>
    </message>
    <message>
        <source>57600</source>
        <translation>57600 波特</translation>
    </message>
    <message>
        <source>38400</source>
        <translation>38400 波特</translation>
    </message>
    <message>
        <source>19200</source>
        <translation>19200 波特</translation>
    </message>
    <message>
        <source>9600</source>
        <translation>9600 波特</translation>
    </message>
    <message>
        <source>send buffer caption</source>
        <translation>发送缓冲区标签</translation>
    </message>
    <message>
        <source>send buffer</source>
        <translation>发送缓冲区</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Send（发送）</translation>
    </message>
    <message>
        <source>receive buffer caption</source>
        <translation>接收缓冲区标签</translation>
    </message>
    <message>
        <source>receive buffer</source>
        <translation>接收缓冲区</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>Read（读取）</translation>
    </message>
    <message>
        <source>status caption</source>
        <translation>状态标签</translation>
    </message>
    <message>
        <source>status</source>
        <translation>状态</translation>
    </message>
</context>
<context>
    <name>DeviceChooser</name>
    <message>
        <source>The device of %1. %2</source>
        <translation>%1 的设备。%2</translation>
    </message>
    <message>
        <source>%1 keeps its device: %2</source>
        <extracomment>A device typed for a port that cannot be its device: %1 is the port, %2 why.</extracomment>
        <translation>%1 的设备保持不变：%2</translation>
    </message>
    <message>
        <source>%1 keeps its device: %2 is the device of %3.</source>
        <translation>%1 的设备保持不变：%2 是 %3 的设备。</translation>
    </message>
    <message>
        <source>%1 could not open: %2 is the device of %3.</source>
        <translation>%1 无法打开：%2 是 %3 的设备。</translation>
    </message>
    <message>
        <source>%1 could not open: the adapter chosen for it, %2, is not plugged in.</source>
        <translation>%1 无法打开：为它选择的适配器 %2 未插入。</translation>
    </message>
    <message>
        <source>%1 could not open: the adapter chosen for it, %2, cannot be told apart from others like it: %3. Choose one of them.</source>
        <translation>%1 无法打开：为它选择的适配器 %2 无法与同类的其他适配器区分：%3。请从中选择一个。</translation>
    </message>
</context>
<context>
    <name>DeviceMenu</name>
    <message>
        <source>Device of %1</source>
        <translation>%1 的设备</translation>
    </message>
    <message>
        <source>Click CLOSE first to choose another device.</source>
        <translation>请先点击 CLOSE，再选择其他设备。</translation>
    </message>
    <message>
        <source>Looking for serial ports…</source>
        <translation>正在查找串口…</translation>
    </message>
    <message>
        <source>&amp;Other device…</source>
        <translation>其他设备(&amp;O)…</translation>
    </message>
    <message>
        <source>Built-in &amp;default (%1)</source>
        <translation>内置默认设备(&amp;D)（%1）</translation>
    </message>
    <message>
        <source>%1 — in use by %2</source>
        <translation>%1 — 已被 %2 使用</translation>
    </message>
    <message>
        <source>%1 — not plugged in</source>
        <translation>%1 — 未插入</translation>
    </message>
    <message>
        <source>%1 — more than one like it plugged in</source>
        <translation>%1 — 插入了多个同类适配器</translation>
    </message>
    <message>
        <source>%1 — not present</source>
        <translation>%1 — 不存在</translation>
    </message>
    <message>
        <source>No serial ports found</source>
        <translation>没有找到串口</translation>
    </message>
</context>
<context>
    <name>FailureBox</name>
    <message>
        <source>Error %1

%2</source>
        <extracomment>The failure message box: %1 is the failure&apos;s number, %2 its description.</extracomment>
        <translation>错误 %1

%2</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>To use another device, right-click the panel or press F4.</source>
        <translation>要使用其他设备，请右键单击该面板或按 F4。</translation>
    </message>
</context>
<context>
    <name>PanelFrame</name>
    <message>
        <source>Device of %1…</source>
        <extracomment>An entry of a text box&apos;s context menu that opens the device menu of the box&apos;s panel.</extracomment>
        <translation>%1 的设备…</translation>
    </message>
    <message>
        <source>%1
Right-click or F4: choose the device</source>
        <translation>%1
右键单击或按 F4：选择设备</translation>
    </message>
    <message>
        <source>%1. Its device can be chosen from a menu: F4, or the context menu.</source>
        <translation>%1。可从菜单中选择其设备：按 F4，或使用上下文菜单。</translation>
    </message>
    <message>
        <source> — opening…</source>
        <translation> — 正在打开…</translation>
    </message>
    <message>
        <source> — sending…</source>
        <translation> — 正在发送…</translation>
    </message>
</context>
<context>
    <name>PosixSerialDevice</name>
    <message>
        <source>write error: the device took no more data</source>
        <translation>写入错误：设备不再接收数据</translation>
    </message>
    <message>
        <source>read error: the line hung up or the device went away</source>
        <translation>读取错误：线路已挂断或设备已断开</translation>
    </message>
    <message>
        <source>the device was removed or became unavailable</source>
        <translation>设备已被移除或无法使用</translation>
    </message>
</context>
<context>
    <name>SerialPort</name>
    <message>
        <source>open</source>
        <extracomment>What the port could not do, completing &quot;%1 could not %2&quot; and &quot;%1 … cannot %2&quot;.</extracomment>
        <translation>打开</translation>
    </message>
    <message>
        <source>set RTS</source>
        <translation>设置 RTS</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a valid line setting. Use speed, parity, data bits and stop bits, as in &quot;9600,n,8,1&quot;.</source>
        <translation>%1：“%2”不是有效的串口参数。请依次写出波特率、校验位、数据位和停止位，例如“9600,n,8,1”。</translation>
    </message>
    <message>
        <source>%1 cannot send the text: it holds characters that the system&apos;s character set has no bytes for. Nothing was sent.</source>
        <translation>%1 无法发送这段文字：其中有系统字符集无法表示的字符。什么都没有发送。</translation>
    </message>
    <message>
        <source>change the line settings to &quot;%1&quot;</source>
        <translation>把串口参数改为“%1”</translation>
    </message>
    <message>
        <source>send</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>receive</source>
        <translation>接收</translation>
    </message>
    <message>
        <source>%1 is not open, so it cannot %2. Click OPEN first.</source>
        <translation>%1 未打开，无法%2。请先点击 OPEN。</translation>
    </message>
    <message>
        <source> (%1)</source>
        <extracomment>The system&apos;s own words for a failure, appended to a message.</extracomment>
        <translation>（%1）</translation>
    </message>
    <message>
        <source>%1 could not %2: the device does not exist. Check that the adapter is plugged in.</source>
        <translation>%1 无法%2：设备不存在。请检查串口适配器是否已插好。</translation>
    </message>
    <message>
        <source>%1 could not %2: permission denied. On Linux, add your user to the dialout group (sudo usermod -aG dialout $USER) and log in again.</source>
        <translation>%1 无法%2：权限不足。在 Linux 上，请把当前用户加入 dialout 组（sudo usermod -aG dialout $USER），然后重新登录。</translation>
    </message>
    <message>
        <source>%1 could not %2: the port is in use by another program. Close that program and try again.</source>
        <translation>%1 无法%2：串口正被其他程序占用。请关闭该程序后重试。</translation>
    </message>
    <message>
        <source>%1 could not %2: the device does not support it%3.</source>
        <translation>%1 无法%2：设备不支持此操作%3。</translation>
    </message>
    <message>
        <source>%1 could not %2: the device stopped working%3. It may have been unplugged; check the device and click OPEN.</source>
        <translation>%1 无法%2：设备已停止工作%3。设备可能已被拔出；请检查设备后再点击 OPEN。</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <extracomment>The port and its device, as in &quot;COM1 (/dev/ttyS0)&quot;.</extracomment>
        <translation>%1（%2）</translation>
    </message>
    <message>
        <source>stay open</source>
        <translation>保持打开</translation>
    </message>
    <message>
        <source>%1 is closed, but its driver did not let go of the device%2. OPEN may find it busy until the driver does.</source>
        <translation>%1 已关闭，但其驱动程序没有释放该设备%2。在驱动程序释放之前，打开端口可能会提示设备忙。</translation>
    </message>
</context>
<context>
    <name>StartOptions</name>
    <message>
        <source>%1: %2
Try &apos;%1 --help&apos; for more information.</source>
        <translation>%1：%2
运行“%1 --help”查看更多信息。</translation>
    </message>
    <message>
        <source>Drives two serial ports, COM1 and COM2, and switches the line speed of a module attached to each. %1</source>
        <translation>驱动两个串口 COM1 和 COM2，并切换连接在各串口上的模块的波特率。%1</translation>
    </message>
    <message>
        <source>Shows this help.</source>
        <translation>显示本帮助。</translation>
    </message>
    <message>
        <source>Shows the program&apos;s version.</source>
        <translation>显示程序版本。</translation>
    </message>
    <message>
        <source>unexpected argument &apos;%1&apos;.</source>
        <translation>多余的参数“%1”。</translation>
    </message>
    <message>
        <source>--%1 needs a device name.</source>
        <translation>--%1 需要一个设备名称。</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a serial port. %2</source>
        <translation>“%1”不是串口。%2</translation>
    </message>
    <message>
        <source>COM1 (%1) and COM2 (%2) are the same device; give each its own.</source>
        <translation>COM1（%1）和 COM2（%2）是同一个设备，请为两者各指定一个设备。</translation>
    </message>
    <message>
        <source>Give a device&apos;s path, as /dev/ttyUSB0 or /dev/serial/by-id/..., or its name in /dev, as ttyACM0.</source>
        <translation>设备可以用路径给出，如 /dev/ttyUSB0 或 /dev/serial/by-id/...，也可以用 /dev 下的名称给出，如 ttyACM0。</translation>
    </message>
    <message>
        <source>Give a COM port, as COM7 or COM12, or a device name as \\.\CNCA0.</source>
        <translation>请给出串口，如 COM7 或 COM12，或设备名称，如 \\.\CNCA0。</translation>
    </message>
    <message>
        <source>No serial ports found.</source>
        <translation>没有找到串口。</translation>
    </message>
    <message>
        <source>Lists the serial ports the system has, as the device menu names them.</source>
        <translation>列出系统中的串口，名称与设备菜单中的相同。</translation>
    </message>
    <message>
        <source>%1: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set); run it from a desktop session.</source>
        <translation>%1：没有可显示窗口的显示器（未设置 DISPLAY 和 WAYLAND_DISPLAY）；请在桌面会话中运行。</translation>
    </message>
    <message>
        <source>built in</source>
        <translation>内置</translation>
    </message>
    <message>
        <source>remembered</source>
        <translation>已记住</translation>
    </message>
    <message>
        <source>option</source>
        <translation>选项</translation>
    </message>
    <message>
        <source>
This run: COM1 is %1 (%2), COM2 is %3 (%4).
To choose another device, right-click a port&apos;s panel in the window or press F4 there; the choice is remembered in %5. An option holds for one run.
</source>
        <translation>
本次运行：COM1 为 %1（%2），COM2 为 %3（%4）。
要选择其他设备，请在窗口中右键单击串口的面板，或在其中按 F4；所做的选择会记住在 %5 中。选项只对一次运行有效。
</translation>
    </message>
    <message>
        <source>The device of COM1, for this run only.</source>
        <translation>COM1 的设备，仅用于本次运行。</translation>
    </message>
    <message>
        <source>The device of COM2, for this run only.</source>
        <translation>COM2 的设备，仅用于本次运行。</translation>
    </message>
</context>
<context>
    <name>Status</name>
    <message>
        <source>Received with faults since OPEN: %1.</source>
        <translation>自打开以来接收时出现错误：%1。</translation>
    </message>
</context>
<context>
    <name>SystemPort</name>
    <message>
        <source>UART</source>
        <translation>UART</translation>
    </message>
    <message>
        <source>USB serial adapter %1:%2</source>
        <translation>USB 串口适配器 %1:%2</translation>
    </message>
    <message>
        <source>USB port %1</source>
        <translation>USB 端口 %1</translation>
    </message>
    <message>
        <source>serial %1</source>
        <translation>序列号 %1</translation>
    </message>
    <message>
        <source>interface %1</source>
        <translation>接口 %1</translation>
    </message>
    <message>
        <source>port %1</source>
        <translation>端口 %1</translation>
    </message>
</context>
<context>
    <name>Win32SerialDevice</name>
    <message>
        <source>bytes lost (overrun)</source>
        <translation>字节丢失（溢出）</translation>
    </message>
    <message>
        <source>framing errors</source>
        <translation>帧错误</translation>
    </message>
    <message>
        <source>parity errors</source>
        <translation>校验错误</translation>
    </message>
    <message>
        <source>its requests were still pending a second after they were cancelled</source>
        <translation>取消一秒后其请求仍未完成</translation>
    </message>
</context>
</TS>
