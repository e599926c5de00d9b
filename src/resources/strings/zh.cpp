// Chinese texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< 上一步"},
    {IDS_WIZARD_NEXT, "下一步 >"},
    {IDS_WIZARD_FINISH, "完成"},
    {IDS_WIZARD_CANCEL, "取消"},
    {IDS_ACCEPT_CANCEL, "确实要取消安装吗？"},
    {IDS_TITLE_INSTALLER, "安装配置"},
    {IDS_PREPARECOPY, "正在准备复制..."},
    {IDS_INSTALL_ERROR, "安装错误"},
    {IDS_ERROR_NOSOURCE, "未找到分发包文件 veskp8.efd。"},
    {IDS_ERROR_NOTARGET, "不支持将模板安装到当前目录。"},
    {IDS_ERROR_NOSPACE, "目录 Temp 中的可用空间不足。"},
    {IDS_CHOOSEDIR_FOLDER, "文件夹(&F)："},
    {IDS_CHOOSEDIR_TITLE, "选择目录"},
    {IDR_MAINFRAME, "安装配置"},
    {IDS_SETUP_EMPTYTARGET, "请指定正确的模板目录路径。"},
    {IDS_INSTALL_FINISH, "复制完成..."},
    {IDS_ERROR_DAMAGEDSOURCE, "分发包文件 veskp8.efd 已损坏或不适用于此安装程序。"},
    {IDS_DEFPRODUCT, "<产品>"},
    {IDS_DEFPROVIDER, "<供应商>"},
    {IDS_SUCCESS_FINISH, "配置已成功安装。"},
    {IDS_SUCCESS_OPENDESCR, "打开分发包说明"},
    {IDS_PROGRESS_START, "正在复制文件..."},
    {IDS_ERROR_FINISH, "安装过程中发生错误。安装已取消。模板目录未被更改。"},
    {IDS_CANCEL_FINISH, "安装已取消。模板目录未被更改。"},
    {IDS_BROWSE_SELDIR, "已选择的目录："},
    {IDS_BROWSE_OK, "选择"},
    {IDS_BROWSE_CANCEL, "取消"},
    {IDS_WELCOME_TITLE, "欢迎使用产品安装程序"},
    {IDS_SETUP_EXISTEDTARGET, "安装目录中包含可能在安装过程中被更改的文件。是否继续？"},
    {IDS_DESTINATION_PROMPT, "请指定模板目录的路径。安装程序将把模板和配置文件安装到指定目录。"},
    {IDS_TEMPLATE_CATALOG, "模板目录："},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "无法完全恢复模板目录。被替换的原始文件保存在 %1 "
     "中。如果该目录位于临时文件系统中，重新启动计算机可能会将其删除。"},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "安装过程中发生错误。安装已取消。无法完全恢复模板目录：被替换的原始文件保存在 "
     "%1 "
     "中。请在重新启动计算机之前将它们复制回去：如果该目录位于临时文件系统中，重新启动可能会将其删"
     "除。"},
    // Template directory lock
    {IDS_INSTALL_BUSY, "另一个安装程序正在向此模板目录安装。请在其完成后重试。"},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "无法打开图形显示。使用 -Q "
     "选项时，安装程序无需图形显示即可运行。"},
    {IDS_ERROR_NOTREGISTERED, "模板已安装，但无法更新启动器配置："},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED, "先前向 %1 的安装被中断。该目录已恢复。"},
    {IDS_RECOVERY_INCOMPLETE,
     "先前向 %1 的安装被中断，该目录未能完全恢复。受影响的文件：%2 个。%3 完整列表见 %4。"},
    {IDS_RECOVERY_COMPLETED, "先前向 %1 的安装在收尾时被中断。现已完成。"},
    {IDS_RECOVERY_DAMAGED, "已将一个中断安装的损坏记录另存为 %1。未因此做任何更改。"},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "分发包 veskp8.efd 未签名，而此计算机只允许安装已签名的分发包。"},
    {IDS_SIGNATURE_DAMAGED, "签名文件 veskp8.efd.minisig 已损坏或格式不受支持。"},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "分发包 veskp8.efd 使用密钥 %1 签名，该密钥在此计算机上不受信任。"},
    {IDS_SIGNATURE_MISMATCH,
     "分发包 veskp8.efd 与其签名不符：它在签名后已被修改。"},
    {IDS_SIGNATURE_KEYFILE,
     "无法读取受信任密钥文件 "
     "%1，或其中没有有效的密钥，因此无法检查任何分发包。"},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "未使用受信任密钥文件 %1，因为其他用户可能会修改它。"},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "未知选项 %1。未执行任何操作；运行 veskp8-setup --help 可查看选项列表。"},
    {IDS_USAGE_NEEDQUIET,
     "选项 %1 只能与 -Q 一起使用。未执行任何操作。"},
    {IDS_USAGE_CONFLICT,
     "选项 %1 不能与 --verify 一起使用。未执行任何操作。"},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "安装程序的窗口需要 GTK 2 库，但此计算机上未安装这些库。使用 -Q "
     "选项时，安装程序无需这些库即可运行。"},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "请指定模板目录的完整路径：路径以 / 开头（或以 ~ 开头表示您的主目录）。"},
    {IDS_ERROR_REASON_ACCESS, "权限不足。"},
    {IDS_ERROR_REASON_NOSPACE, "设备上没有剩余空间。"},
    {IDS_ERROR_REASON_QUOTA, "已超出磁盘配额。"},
    {IDS_ERROR_REASON_READONLY, "文件系统为只读。"},
    {IDS_ERROR_REASON_ISDIR, "该名称已被一个目录占用。"},
    {IDS_ERROR_REASON_EXISTS, "该名称已被一个非文件的对象占用。"},
    {IDS_ERROR_REASON_NOTDIR, "路径的一部分是文件，而不是目录。"},
    {IDS_ERROR_REASON_NOTFOUND, "文件或目录不存在。"},
    {IDS_ERROR_REASON_NAMETOOLONG, "名称过长。"},
    {IDS_ERROR_REASON_IO, "设备报告了输入/输出错误。"},
    {IDS_ERROR_REASON_OTHER, "系统错误 %1。"},
    {IDS_ERROR_TARGETSPACE, "%1 中没有足够的可用空间来存放模板：需要 %2，可用 %3。"},
    {IDS_SIZE_KB, "%1\u00A0KB"},
    {IDS_SIZE_MB, "%1\u00A0MB"},
    {IDS_SIZE_GB, "%1\u00A0GB"},
    {IDS_SUCCESS_WHERE, "文件位于 %1。"},
    {IDS_SUCCESS_COUNTS, "新文件：%1。已替换：%2。已是最新：%3。"},
};

}  // namespace

std::span<const TextPair> ChineseTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
