#pragma once

#include <cstddef>
#include <string_view>

// Every fixed text the installer shows or logs, each written once. Messages are Simplified Chinese by design:
// the add-ons this installer carries are made for Chinese CorelDRAW users.
namespace tessaro::text {

// A fixed text, usable wherever a string_view is. Not a string_view itself: the size-optimised build keeps a
// string_view constant as an object of its own and copies it field by field at every use, while the fields of
// this one are read by name, so the compiler puts the address and the length straight into the code.
class Text {
  public:
    template <std::size_t N>
    consteval Text(const char (&text)[N]) : data_(text), size_(N - 1) {}  // NOLINT: implicit by design

    constexpr operator std::string_view() const { return {data_, size_}; }  // NOLINT: implicit by design
    constexpr std::size_t size() const { return size_; }
    friend constexpr bool operator==(std::string_view left, Text right) { return left == std::string_view(right); }

  private:
    const char* data_;
    std::size_t size_;
};

inline constexpr Text kAppTitle = "Tessaro";
inline constexpr Text kCrLf = "\r\n";

// Start-up.
inline constexpr Text kLogSwitch = "/log";
inline constexpr Text kLogHeader = "#安装记录";
inline constexpr Text kLogAlreadyRunning = "一个程序事例已经在运行";
inline constexpr Text kLogGettingAppPath = "获取安装程序路径";
inline constexpr Text kLogTrimmingAppPath = "修整安装程序路径";
inline constexpr Text kLogShowingMainWindow = "显示主窗口";
inline constexpr Text kLogIgnoredSwitch = "忽略不认识的命令行参数：";

// A Setup.exe whose files cannot be unpacked.
inline constexpr Text kMsgBundleDamaged = "安装程序已损坏（可能没有下载完整），无法安装。\r\n请重新下载安装程序。";
inline constexpr Text kMsgBundleNoRoom = "无法解压安装文件：临时文件夹空间不足或不能写入。\r\n请释放磁盘空间后再试。";

// Unattended runs.
inline constexpr Text kLogUnattended = "无人值守安装";
inline constexpr Text kLogCorelRunningUnattended =
    "CorelDRAW 正在运行，命令行没有 /CLOSEAPPLICATIONS：不关闭 CorelDRAW，不安装";

// Reading InstInfo.ini.
inline constexpr Text kLogReadingConfig = "读取安装配置";
inline constexpr Text kLogGettingConfigPath = "获取安装配置路径";
inline constexpr Text kLogOpeningConfig = "打开安装配置文件";
inline constexpr Text kLogGotTitle = "获得程序标题配置";
inline constexpr Text kLogGotPicture = "获得封面图片配置";
inline constexpr Text kLogGotFileItem = "获得文件消息配置";
inline constexpr Text kLogFileItemAccepted = "获得文件消息配置成功";
inline constexpr Text kLogGotWebAddress = "获得网址配置";
inline constexpr Text kLogIgnoredWebAddress = "忽略无效的网址：";
inline constexpr Text kLogClosingConfig = "关闭安装配置文件";
inline constexpr Text kLogDefaultPicture = "如果必要设置默认封面图片";
inline constexpr Text kLogDefaultTitle = "如果必要设置默认程序标题";
inline constexpr Text kLogConfigFailed = "读取安装配置文件失败";
inline constexpr Text kLogDialogPrefix = "对话框：";
inline constexpr Text kMsgConfigMissing = "缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。";

// Exit sequence and fatal messages.
inline constexpr Text kLogDestroyingCorel = "销毁 CorelDRAW 对象";
inline constexpr Text kLogExiting = "安装程序退出";
inline constexpr Text kMsgMissingFileHead = "缺少安装必需的文件，文件(";
inline constexpr Text kMsgMissingCorelPathHead = "CorelDRAW X3 可能没有正确安装，路径(";
inline constexpr Text kMsgMissingTail = ")不存在。";
inline constexpr Text kMsgContactAuthor = "请联系软件作者寻求帮助。";

// Install run.
inline constexpr Text kLogInstallClicked = "已点击安装按钮";
inline constexpr Text kLogShowingWarning = "显示关闭 CorelDRAW 软件警告";
inline constexpr Text kMsgConfirmClose = "将要强制关闭正在运行的所有 CorelDRAW 软件！";
inline constexpr Text kMsgConfirmSave = "请保存您的工作并退出 CorelDRAW，以免造成损失。";
inline constexpr Text kLogCancelClicked = "已点击取消";
inline constexpr Text kLogDisablingButton = "设置安装按钮无效";
inline constexpr Text kLogChangingCaption = "改变按钮标题";
inline constexpr Text kCaptionInitialising = "正在初始化，请稍候...";
inline constexpr Text kLogStoppingCorel = "停止运行 CorelDRAW.exe";
inline constexpr Text kCaptionCheckingCorel = "正在检查 CorelDRAW X3...";
inline constexpr Text kLogCreatingCorel = "创建 CorelDRAW 对象";
inline constexpr Text kLogHidingCorel = "隐藏 CorelDRAW 对象";
inline constexpr Text kLogCreatingFileSystem = "创建文件系统控件";
inline constexpr Text kLogAnalysingTasks = "开始分析安装任务";
inline constexpr Text kCaptionInstalling = "正在安装，请稍候...";
inline constexpr Text kCaptionFinished = "安装过程结束！";
inline constexpr Text kMsgSuccess = "安装成功！";
inline constexpr Text kLogToleratedFailure = "发生错误，代码：";
inline constexpr Text kMsgCorelMissing = "本程序只能在安装有 CorelDRAW X3 的系统中使用。";
inline constexpr Text kMsgCorelObjectFailed = "创建 CorelDRAW X3 程序对象时发生错误，代码：";
inline constexpr Text kMsgUnexpectedHead = "发生意外错误，";
inline constexpr Text kMsgUnexpectedStop = "。";
inline constexpr Text kMsgCodeLabel = "代码：";

// Task actions.
inline constexpr Text kLogCopyToUserDataPath = "准备复制文件到 UserDataPath";
inline constexpr Text kLogCopyToGmsPath = "准备复制文件到 GMSPath";
inline constexpr Text kLogCopyToUserGmsPath = "准备复制文件到 UserGMSPath";
inline constexpr Text kLogCopyToApplicationPath = "准备复制文件到 Application.Path";
inline constexpr Text kLogPreparingImport = "准备导入工作空间";
inline constexpr Text kLogWorkspaceExists = "工作空间文件存在";
inline constexpr Text kLogDeleteFolderMissingHead = "删除文件失败：目录 ";
inline constexpr Text kLogDeleteFileMissingHead = "删除文件失败：文件 ";
inline constexpr Text kLogNotExistTail = " 不存在";
inline constexpr Text kLogPreparingDelete = "准备删除： ";
inline constexpr Text kLogPreparingRun = "准备运行外部程序：";
inline constexpr Text kLogProgramHead = "外部程序 ";
inline constexpr Text kLogProgramNotFoundTail = " 没有找到";
inline constexpr Text kLogPreparingToolbarDelete = "准备删除工具栏：";
inline constexpr Text kFailCopy = "无法复制文件到目标位置";
inline constexpr Text kFailDelete = "无法删除旧文件";
inline constexpr Text kFailAccessDeniedHint = "（拒绝访问，请以管理员身份运行安装程序）";
inline constexpr Text kLogRemovingVirtualStoreCopy = "删除 VirtualStore 中的旧副本：";
// The runtime's own wording for a call on an object that was never obtained.
inline constexpr Text kFailNoObject = "对象变量或 With 块变量没有设置";
inline constexpr Text kFailTypeMismatch = "类型不匹配";

}  // namespace tessaro::text
