#pragma once

#include <string_view>

// Every fixed text the installer shows or logs, each written once. Messages are Simplified Chinese by design:
// the add-ons this installer carries are made for Chinese CorelDRAW users.
namespace tessaro::text {

inline constexpr std::string_view kAppTitle = "Tessaro";
inline constexpr std::string_view kCrLf = "\r\n";

// Start-up.
inline constexpr std::string_view kLogSwitch = "/log";
inline constexpr std::string_view kLogHeader = "#安装记录";
inline constexpr std::string_view kLogAlreadyRunning = "一个程序事例已经在运行";
inline constexpr std::string_view kLogGettingAppPath = "获取安装程序路径";
inline constexpr std::string_view kLogTrimmingAppPath = "修整安装程序路径";
inline constexpr std::string_view kLogShowingMainWindow = "显示主窗口";
inline constexpr std::string_view kLogIgnoredSwitch = "忽略不认识的命令行参数：";

// A Setup.exe whose files cannot be unpacked.
inline constexpr std::string_view kMsgBundleDamaged =
    "安装程序已损坏（可能没有下载完整），无法安装。\r\n请重新下载安装程序。";
inline constexpr std::string_view kMsgBundleNoRoom =
    "无法解压安装文件：临时文件夹空间不足或不能写入。\r\n请释放磁盘空间后再试。";

// Unattended runs.
inline constexpr std::string_view kLogUnattended = "无人值守安装";
inline constexpr std::string_view kLogCorelRunningUnattended =
    "CorelDRAW 正在运行，命令行没有 /CLOSEAPPLICATIONS：不关闭 CorelDRAW，不安装";

// Reading InstInfo.ini.
inline constexpr std::string_view kLogReadingConfig = "读取安装配置";
inline constexpr std::string_view kLogGettingConfigPath = "获取安装配置路径";
inline constexpr std::string_view kLogOpeningConfig = "打开安装配置文件";
inline constexpr std::string_view kLogGotTitle = "获得程序标题配置";
inline constexpr std::string_view kLogGotPicture = "获得封面图片配置";
inline constexpr std::string_view kLogGotFileItem = "获得文件消息配置";
inline constexpr std::string_view kLogFileItemAccepted = "获得文件消息配置成功";
inline constexpr std::string_view kLogGotWebAddress = "获得网址配置";
inline constexpr std::string_view kLogIgnoredWebAddress = "忽略无效的网址：";
inline constexpr std::string_view kLogClosingConfig = "关闭安装配置文件";
inline constexpr std::string_view kLogDefaultPicture = "如果必要设置默认封面图片";
inline constexpr std::string_view kLogDefaultTitle = "如果必要设置默认程序标题";
inline constexpr std::string_view kLogConfigFailed = "读取安装配置文件失败";
inline constexpr std::string_view kLogDialogPrefix = "对话框：";
inline constexpr std::string_view kMsgConfigMissing = "缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。";

// Exit sequence and fatal messages.
inline constexpr std::string_view kLogDestroyingCorel = "销毁 CorelDRAW 对象";
inline constexpr std::string_view kLogExiting = "安装程序退出";
inline constexpr std::string_view kMsgMissingFileHead = "缺少安装必需的文件，文件(";
inline constexpr std::string_view kMsgMissingCorelPathHead = "CorelDRAW X3 可能没有正确安装，路径(";
inline constexpr std::string_view kMsgMissingTail = ")不存在。";
inline constexpr std::string_view kMsgContactAuthor = "请联系软件作者寻求帮助。";

// Install run.
inline constexpr std::string_view kLogInstallClicked = "已点击安装按钮";
inline constexpr std::string_view kLogShowingWarning = "显示关闭 CorelDRAW 软件警告";
inline constexpr std::string_view kMsgConfirmClose = "将要强制关闭正在运行的所有 CorelDRAW 软件！";
inline constexpr std::string_view kMsgConfirmSave = "请保存您的工作并退出 CorelDRAW，以免造成损失。";
inline constexpr std::string_view kLogCancelClicked = "已点击取消";
inline constexpr std::string_view kLogDisablingButton = "设置安装按钮无效";
inline constexpr std::string_view kLogChangingCaption = "改变按钮标题";
inline constexpr std::string_view kCaptionInitialising = "正在初始化，请稍候...";
inline constexpr std::string_view kLogStoppingCorel = "停止运行 CorelDRAW.exe";
inline constexpr std::string_view kCaptionCheckingCorel = "正在检查 CorelDRAW X3...";
inline constexpr std::string_view kLogCreatingCorel = "创建 CorelDRAW 对象";
inline constexpr std::string_view kLogHidingCorel = "隐藏 CorelDRAW 对象";
inline constexpr std::string_view kLogCreatingFileSystem = "创建文件系统控件";
inline constexpr std::string_view kLogAnalysingTasks = "开始分析安装任务";
inline constexpr std::string_view kCaptionInstalling = "正在安装，请稍候...";
inline constexpr std::string_view kCaptionFinished = "安装过程结束！";
inline constexpr std::string_view kMsgSuccess = "安装成功！";
inline constexpr std::string_view kLogToleratedFailure = "发生错误，代码：";
inline constexpr std::string_view kMsgCorelMissing = "本程序只能在安装有 CorelDRAW X3 的系统中使用。";
inline constexpr std::string_view kMsgCorelObjectFailed = "创建 CorelDRAW X3 程序对象时发生错误，代码：";
inline constexpr std::string_view kMsgUnexpectedHead = "发生意外错误，";
inline constexpr std::string_view kMsgUnexpectedStop = "。";
inline constexpr std::string_view kMsgCodeLabel = "代码：";

// Task actions.
inline constexpr std::string_view kLogCopyToUserDataPath = "准备复制文件到 UserDataPath";
inline constexpr std::string_view kLogCopyToGmsPath = "准备复制文件到 GMSPath";
inline constexpr std::string_view kLogCopyToUserGmsPath = "准备复制文件到 UserGMSPath";
inline constexpr std::string_view kLogCopyToApplicationPath = "准备复制文件到 Application.Path";
inline constexpr std::string_view kLogPreparingImport = "准备导入工作空间";
inline constexpr std::string_view kLogWorkspaceExists = "工作空间文件存在";
inline constexpr std::string_view kLogDeleteFolderMissingHead = "删除文件失败：目录 ";
inline constexpr std::string_view kLogDeleteFileMissingHead = "删除文件失败：文件 ";
inline constexpr std::string_view kLogNotExistTail = " 不存在";
inline constexpr std::string_view kLogPreparingDelete = "准备删除： ";
inline constexpr std::string_view kLogPreparingRun = "准备运行外部程序：";
inline constexpr std::string_view kLogProgramHead = "外部程序 ";
inline constexpr std::string_view kLogProgramNotFoundTail = " 没有找到";
inline constexpr std::string_view kLogPreparingToolbarDelete = "准备删除工具栏：";
inline constexpr std::string_view kFailCopy = "无法复制文件到目标位置";
inline constexpr std::string_view kFailDelete = "无法删除旧文件";
inline constexpr std::string_view kFailAccessDeniedHint = "（拒绝访问，请以管理员身份运行安装程序）";
inline constexpr std::string_view kLogRemovingVirtualStoreCopy = "删除 VirtualStore 中的旧副本：";
// The runtime's own wording for a call on an object that was never obtained.
inline constexpr std::string_view kFailNoObject = "对象变量或 With 块变量没有设置";
inline constexpr std::string_view kFailTypeMismatch = "类型不匹配";

}  // namespace tessaro::text
