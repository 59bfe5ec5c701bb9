"""What the end-to-end tests know about Tessaro's window and texts."""

from __future__ import annotations

PIC_FLAGS, CMD_INSTALL, LBWWW = 101, 102, 103
INSTALL_CAPTION = "点这里开始安装"
BOX_TITLE = "Tessaro"
MISSING_INI = "缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。"
CONFIRM = "将要强制关闭正在运行的所有 CorelDRAW 软件！\r\n请保存您的工作并退出 CorelDRAW，以免造成损失。"
SUCCESS = "安装成功！"
NO_COREL = "本程序只能在安装有 CorelDRAW X3 的系统中使用。"

START_LINES = ["#安装记录", "获取安装程序路径", "修整安装程序路径", "显示主窗口", "读取安装配置", "获取安装配置路径",
               "打开安装配置文件"]
EXIT_LINES = ["销毁 CorelDRAW 对象", "安装程序退出"]
RUN_START_LINES = ["已点击安装按钮", "显示关闭 CorelDRAW 软件警告", "设置安装按钮无效", "改变按钮标题",
                   "停止运行 CorelDRAW.exe", "改变按钮标题", "创建 CorelDRAW 对象", "隐藏 CorelDRAW 对象",
                   "创建文件系统控件", "开始分析安装任务"]

# Exit statuses of Tessaro.exe.
EXIT_INSTALLED, EXIT_FAILED, EXIT_CLOSED, EXIT_ALREADY_RUNNING = 0, 1, 2, 3


def fatal_missing_file(path: str) -> str:
    return f"缺少安装必需的文件，文件({path})不存在。\r\n请联系软件作者寻求帮助。"


def fatal_missing_corel_path(path: str) -> str:
    return f"CorelDRAW X3 可能没有正确安装，路径({path})不存在。\r\n请联系软件作者寻求帮助。"


def unexpected(description: str, number: int) -> str:
    return f"发生意外错误，{description}。代码：{number}"
