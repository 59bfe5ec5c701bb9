#include "instinfo_check/texts.h"

namespace instinfo_check {

const Texts kChineseTexts{
    .usage =
        "用法：instinfo-check [--codepage N] [--lang en|zh] [--json] [--unattended] 路径/InstInfo.ini\n"
        "\n"
        "用安装程序自己的读取代码读取 Tessaro 的 InstInfo.ini，并说明安装程序会怎样使用它：窗口标题和封面图片、\n"
        "按顺序列出的每个任务，以及每一行被忽略或作用与看上去不同的内容。\n"
        "\n"
        "  --codepage N   没有字节顺序标记的文件所用的 ANSI 代码页（默认 936，简体中文）\n"
        "  --lang en|zh   报告语言（默认按系统区域设置）\n"
        "  --json         以一个 JSON 对象输出报告，供脚本使用\n"
        "  --unattended   同时说明无人值守安装（Tessaro.exe /S）会遇到的问题：等待点击的安装程序、留下的窗口、\n"
        "                 写入运行安装程序的帐户配置文件的文件\n"
        "  -h, --help     显示本帮助\n"
        "\n"
        "也可以给出文件夹，检查其中的 InstInfo.ini。InstInfo.ini 旁边的文件按不区分大小写的方式查找，与 Windows "
        "相同。\n"
        "\n"
        "退出码：0 文件给出任务且没有警告；1 有警告；2 安装程序会拒绝此文件（不存在、无法读取、没有 fileitem 行）；\n"
        "3 命令行有误。\n",
    .errorPrefix = "instinfo-check：",
    .errorUnknownOption = "未知选项 {0}（见 --help）",
    .errorMissingValue = "{0} 需要一个值（见 --help）",
    .errorBadCodePage = "本系统不认识代码页 {0}",
    .errorBadLanguage = "--lang 只接受 en 或 zh，而不是“{0}”",
    .errorNoFile = "请给出要检查的 InstInfo.ini（见 --help）",
    .errorTwoFiles = "只能检查一个文件，多余的是 {0}",
    .errorWalkDiffers = "内部错误：检查器逐行得到的任务表与 Tessaro 读取代码得到的不同；请连同此文件报告这个问题",

    .headChecking = "正在检查 {0}",
    .headEncoding = "编码：     {0}",
    .encodingAnsi = "ANSI 代码页 {0}（没有字节顺序标记）",
    .encodingUtf8Bom = "带字节顺序标记的 UTF-8",
    .encodingUtf16Le = "带字节顺序标记的 UTF-16 小端（记事本的“Unicode”）",
    .encodingUtf16Be = "带字节顺序标记的 UTF-16 大端",
    .headTitle = "窗口标题： {0}",
    .headPicture = "封面图片： {0}",
    .defaultNoLine = "默认值，因为没有 {0} 行",
    .defaultEmpty = "默认值，因为 {0} 的值为空",
    .pictureFound = "在 InstInfo.ini 旁边找到",
    .pictureNotFound = "在 InstInfo.ini 旁边找不到：窗口改为显示内置横幅",
    .headTasks = "任务（{0} 个），点击安装后按此顺序执行：",
    .taskHead = "#{0}  （第 {1} 行）",
    .taskFields = "类型“{0}”，文件“{1}”，必需“{2}”（{3}），目标“{4}”",
    .taskFieldsRun = "类型“{0}”，程序“{1}”，必需“{2}”（{3}），参数“{4}”",
    .taskFieldsToolbar = "类型“{0}”，工具栏“{1}”，必需“{2}”（不使用），目标“{4}”（不使用）",
    .requiredYes = "是",
    .requiredNo = "否",
    .taskCaption = "按钮标题：“{0}”",
    .taskCaptionStandard = "按钮标题：“{0}”（标准标题）",
    .taskDoes = "作用：{0}",
    .noTasks = "任务：无",
    .descriptionJoin = "；",
    .headWarnings = "警告（{0} 条）：",
    .headNotes = "提示（{0} 条）：",
    .lineRef = "第 {0} 行",
    .wholeFileRef = "整个文件",
    .verdictClean = "结论：安装程序接受此文件；共 {0} 个任务，没有需要警告的地方。{1}",
    .verdictWarnings = "结论：安装程序接受此文件，但有 {0} 条警告需要查看。{1}",
    .verdictRefused = "结论：安装程序拒绝此文件：{0}。{1}",
    .exitStatus = "（退出码 {0}）",

    .descCopy = "把安装程序文件夹中的 {0} 复制到 CorelDRAW 的{1}，覆盖旧版本",
    .descImport = "把安装程序文件夹中的工作空间 {0} 导入 CorelDRAW（Application.ImportWorkspace）",
    .descCopyNoTarget =
        "不复制任何文件：目标“{1}”不是 userdatapath、gmspath、usergmspath、applicationpath、importworkspace 之一",
    .descDelete = "从 CorelDRAW 的{1}中删除 {0}",
    .descDeleteNoTarget = "不删除任何文件：目标“{1}”不是 userdatapath、gmspath、usergmspath、applicationpath 之一",
    .descRun = "以参数“{1}”启动安装程序文件夹中的 {0}，不等待它结束",
    .descRunNoArguments = "不带参数启动安装程序文件夹中的 {0}，不等待它结束",
    .descToolbar = "删除 CorelDRAW 的工具栏“{0}”（尝试三次，重复的工具栏也会删除；工具栏不存在不算错误）",
    .descCaptionOnly = "只显示按钮标题：“{0}”不是 c、k、r、m 中的任何一种类型",
    .descTrailing = "只显示标准标题：这是第 {0} 行过短的 fileitem 行在末尾留下的空任务",
    .folderUserData = "用户数据文件夹（Application.UserDataPath）",
    .folderGms = " GMS 文件夹（GMSManager.GMSPath）",
    .folderUserGms = "用户 GMS 文件夹（GMSManager.UserGMSPath）",
    .folderApplication = "程序文件夹（Application.Path）",
    .reqCopyYes = "必需：文件缺失时安装中止",
    .reqCopyNo = "非必需：文件缺失时跳过此任务",
    .reqDeleteYes = "必需：文件不存在时安装中止",
    .reqDeleteNo = "非必需：文件不存在时什么也不做",
    .reqRunYes = "必需：程序缺失时安装中止",
    .reqRunNo = "非必需：程序缺失时跳过此任务",
    .reqStopsAnyway = "必需：因此安装在这里中止",
    .reqNothingHappens = "非必需：因此什么也不做",
    .consequenceStops = "；此任务为必需，安装会在这里中止",
    .consequenceSkipped = "；此任务会被跳过",
    .consequenceStopsAnyway = "；此任务为必需，安装会在这里中止",
    .consequenceNothing = "",

    .refusedMissing = "文件不存在；Tessaro 显示“{0}”后结束",
    .refusedUnreadable = "文件无法读取（是文件夹、没有权限或大于 64 MB）；Tessaro 不提示直接结束",
    .refusedNoTasks = "没有 fileitem 行；Tessaro 不显示窗口直接结束",

    .warnUtf16NoBom =
        "文件看起来是没有字节顺序标记的 UTF-16；安装程序按代码页 {0} 读取，读不出任何有用内容。"
        "请在记事本中另存为“Unicode”",
    .warnUtf8NoBom =
        "文件是没有字节顺序标记的 UTF-8；安装程序按代码页 {0} 读取，所有非 ASCII 文字（中文文件名和标题）"
        "都会变成乱码，如下所示。请另存为带 BOM 的 UTF-8、“Unicode”或 ANSI",
    .warnUndecodable = "此行有按文件编码无法解释的字节；它们显示为“\xEF\xBF\xBD”",
    .warnFullWidthEquals = "已忽略：此行没有“=”（全角的“＝”不算）；请写半角的“=”",
    .warnNoEquals = "已忽略：此行没有“=”",
    .warnEmptyKey = "已忽略：“=”前面什么也没有",
    .warnKeyTab = "已忽略：键“{0}”中有制表符；安装程序只去掉键两边的空格，所以它不等于“{1}”",
    .warnKeyBlanks = "已忽略：键“{0}”中间有空白；安装程序只去掉键两边的空格，所以它不等于“{1}”",
    .warnKeyMisspelt = "已忽略：未知的键“{0}”；是不是想写“{1}”？",
    .warnUnknownKey = "已忽略：未知的键“{0}”（可用的键是 setuptitle、flagspicture 和 fileitem）",
    .warnSecondEquals = "值在第二个“=”处被截断：“{0}”丢失，实际的值是“{1}”",
    .warnRepeatedKey = "再次出现 {0}（第 {1} 行也有）：只有最后一个有效",
    .warnShortTask =
        "不构成任务：只有 {0} 个字段，任务至少需要 4 个（类型|文件|必需|目标）；它在任务表中的位置由下一个完整的 "
        "fileitem 行占用",
    .warnShortTaskLast =
        "不构成任务：只有 {0} 个字段，任务至少需要 4 个（类型|文件|必需|目标）；后面没有完整的 fileitem 行，"
        "安装程序在末尾保留一个空任务 #{1}，它只显示标准标题",
    .warnNoCaption = "只有 4 个字段：执行此任务时按钮显示标准标题“{0}”",
    .warnExtraFields = "超过 5 个字段：“{0}”被忽略",
    .warnPictureMissing = "封面图片 {0} 不在 InstInfo.ini 旁边：窗口改为显示内置横幅",
    .warnPictureFormat = "封面图片 {0} 不是 BMP、JPEG、GIF、ICO 或 WMF/EMF 文件（不能读取 PNG）：窗口改为显示内置横幅",
    .warnPictureDamaged = "封面图片 {0} 已损坏（文件不完整，或文件头与实际大小不符）：窗口改为显示内置横幅",
    .warnPictureTooLarge =
        "封面图片 {0} 太大（{1} x {2} 像素；安装程序最多显示每边 {3} 像素、总共 {4} 像素、{5} MB "
        "的文件）：窗口改为显示内置横幅",
    .warnNulInName =
        "错误：第 {0} 个字段（“{1}”）含有 NUL 字节，Windows 会把它当作名称的结尾；安装程序视该文件为不存在{2}",
    .warnNulInField = "错误：第 {0} 个字段（“{1}”）含有 NUL 字节，说明文件已损坏；Windows 只读取它前面的文字",
    .warnNulInPicture = "错误：封面图片的名称（“{0}”）含有 NUL 字节：窗口改为显示内置横幅",
    .warnDeleteDevice = "{0} 是设备名而不是文件：安装程序视为不存在，不删除任何东西{1}",
    .warnDeleteOutside = "{0} 用“..”跳出目标文件夹，或写了盘符或根目录：删除会作用到 CorelDRAW 文件夹以外",
    .descNul = "不执行任何操作：含有 NUL 字节的名称视为不存在的文件",
    .warnRequiredFlag = "必需标志“{0}”不完全等于“1”，所以此任务不是必需的；要设为必需请写 1",
    .warnFileBlanks = "名称“{0}”的开头或结尾有空白；安装程序会把它们当作名称的一部分",
    .warnSourceMissing = "“{0}”不在 InstInfo.ini 旁边（不区分大小写查找）{1}",
    .warnProgramMissing = "程序“{0}”不在 InstInfo.ini 旁边（不区分大小写查找）{1}",
    .warnFileIsFolder = "“{0}”是文件夹而不是文件：安装程序认为它存在，随后出错",
    .warnTargetBlanks = "目标“{0}”两边有空白；安装程序会保留它们，因此什么也匹配不上（请写“{1}”）{2}",
    .warnUnknownTargetCopy =
        "未知的目标“{0}”：不复制任何文件（目标可以是 userdatapath、gmspath、usergmspath、applicationpath、"
        "importworkspace）{1}",
    .warnUnknownTargetDelete =
        "未知的目标“{0}”：不删除任何文件（目标可以是 userdatapath、gmspath、usergmspath、applicationpath）{1}",
    .warnEmptyFileCopy = "文件字段为空：安装程序把自己的文件夹当作文件，随后出错",
    .warnEmptyFileDelete = "文件字段为空：安装程序视为不存在的文件，不删除任何东西",
    .warnEmptyFileRun = "程序字段为空：安装程序把自己的文件夹当作程序，随后出错",
    .warnEmptyToolbar = "工具栏名称为空：不会删除任何工具栏",
    .warnCopySubfolder =
        "{0} 位于子文件夹中：它会被复制到 CorelDRAW 文件夹中的同名子文件夹，该子文件夹必须已经存在，"
        "否则安装出错",
    .warnRequiredDelete = "必需的删除任务：{0} 不存在时（例如首次安装）安装会中止；除非该文件一定存在，否则请写 0",
    .warnProgramBlanks =
        "程序路径“{0}”中有空白或引号：请不要加引号（安装程序会自己加上）；开头或结尾的空白会被当作名称的一部分",
    .warnArgumentsLowerCased = "参数“{0}”会被安装程序转换为小写：程序收到的是“{1}”",
    .warnKindBlanks = "类型“{0}”两边有空白；安装程序会保留它们，因此此任务什么也不做（请写“{1}”）",
    .warnUnknownKind = "未知的类型“{0}”：此任务只显示按钮标题（类型：c 复制或导入，k 删除，r 运行，m 删除工具栏）",
    .warnBadAddress =
        "{0}=“{1}”不是安装程序接受的网址（homepage：http:// 或 https:// 网址；website1 和 website2："
        "这样的网址或 www.example.com 这样的主机名；不能有空白）：保持默认值",
    .warnUnattendedNsis =
        "{0} 是 NSIS 安装程序：无人值守安装（/S）时它会等待无人点击的按钮；而且无法让它静默运行，"
        "因为 NSIS 只认大写的 /S，而安装程序会把运行任务的参数变成小写",
    .warnUnattendedInstaller =
        "{0} 是 {1} 安装程序，启动时没有给出静默参数：无人值守安装（/S）时它会等待无人点击的按钮",

    .noteFileName = "安装程序只读取名为 InstInfo.ini 的文件；此文件名为 {0}",
    .noteComment = "已忽略：注释行或节标题行",
    .noteCommentKey = "已忽略：“{0}”不是键（已注释掉）",
    .noteEmptyValue = "{0} 在此为空；如果后面没有行再设置它，将使用默认值",
    .notePictureMissingDefault = "没有封面图片：默认的 {0} 不在 InstInfo.ini 旁边，窗口显示内置横幅",
    .noteCaseDiffers = "{0} 实际找到的是 {1}：大小写不同，Windows 不区分大小写",
    .noteUnattendedWindow =
        "{0} 会打开窗口：无人值守安装（/S）启动它后不等待，窗口留在运行安装程序的帐户的桌面上；"
        "由部署工具运行时可能无人看到",
    .noteUnattendedProfile =
        "此任务写入用户的配置文件或 CorelDRAW 工作空间：无人值守安装时写入的是运行安装程序的帐户，"
        "由部署工具运行时常常是 SYSTEM，而不是使用 CorelDRAW 的用户",
};

}  // namespace instinfo_check
