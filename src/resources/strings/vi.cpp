// Vietnamese texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Trở lại"},
    {IDS_WIZARD_NEXT, "Tiếp >"},
    {IDS_WIZARD_FINISH, "Hoàn tất"},
    {IDS_WIZARD_CANCEL, "Hủy"},
    {IDS_ACCEPT_CANCEL, "Bạn có thực sự muốn hủy cài đặt không?"},
    {IDS_TITLE_INSTALLER, "Cài đặt cấu hình"},
    {IDS_PREPARECOPY, "Đang chuẩn bị sao chép..."},
    {IDS_INSTALL_ERROR, "Lỗi cài đặt"},
    {IDS_ERROR_NOSOURCE, "Không tìm thấy tệp gói phân phối veskp8.efd."},
    {IDS_ERROR_NOTARGET, "Không hỗ trợ cài đặt mẫu vào thư mục hiện tại."},
    {IDS_ERROR_NOSPACE, "Không đủ dung lượng trống trong thư mục Temp."},
    {IDS_CHOOSEDIR_FOLDER, "&Thư mục:"},
    {IDS_CHOOSEDIR_TITLE, "Chọn thư mục"},
    {IDR_MAINFRAME, "Cài đặt cấu hình"},
    {IDS_SETUP_EMPTYTARGET, "Hãy chỉ định đường dẫn đúng đến thư mục mẫu."},
    {IDS_INSTALL_FINISH, "Sao chép hoàn tất..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "Tệp gói phân phối veskp8.efd bị hỏng hoặc không dành cho chương trình cài đặt này."},
    {IDS_DEFPRODUCT, "<Sản phẩm>"},
    {IDS_DEFPROVIDER, "<Nhà cung cấp>"},
    {IDS_SUCCESS_FINISH, "Cấu hình đã được cài đặt thành công."},
    {IDS_SUCCESS_OPENDESCR, "Mở mô tả của gói phân phối"},
    {IDS_PROGRESS_START, "Đang sao chép tệp..."},
    {IDS_ERROR_FINISH,
     "Đã xảy ra lỗi trong quá trình cài đặt. Cài đặt đã bị hủy. Thư mục mẫu không bị thay đổi."},
    {IDS_CANCEL_FINISH, "Cài đặt đã bị hủy. Thư mục mẫu không bị thay đổi."},
    {IDS_BROWSE_SELDIR, "Thư mục đã chọn:"},
    {IDS_BROWSE_OK, "Chọn"},
    {IDS_BROWSE_CANCEL, "Hủy"},
    {IDS_WELCOME_TITLE, "Chào mừng bạn đến với chương trình cài đặt sản phẩm"},
    {IDS_SETUP_EXISTEDTARGET,
     "Thư mục cài đặt chứa các tệp có thể bị thay đổi trong quá trình cài đặt. Bạn có muốn tiếp "
     "tục không?"},
    {IDS_DESTINATION_PROMPT,
     "Hãy chỉ định đường dẫn đến thư mục mẫu. Chương trình cài đặt sẽ cài đặt các mẫu và tệp cấu "
     "hình vào thư mục đã chỉ định."},
    {IDS_TEMPLATE_CATALOG, "Thư mục mẫu:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "Không thể khôi phục hoàn toàn thư mục mẫu. Các tệp gốc đã "
     "bị thay thế được giữ trong %1. Khởi động lại máy tính có "
     "thể xóa thư mục đó nếu nó nằm trên hệ thống tệp tạm "
     "thời."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "Đã xảy ra lỗi trong quá trình cài đặt. Cài đặt đã bị hủy. "
     "Không thể khôi phục hoàn toàn thư mục mẫu: các tệp gốc đã "
     "bị thay thế được giữ trong %1. Hãy sao chép chúng trở lại "
     "trước khi khởi động lại máy tính: việc khởi động lại có "
     "thể xóa thư mục đó nếu nó nằm trên hệ thống tệp tạm "
     "thời."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "Một quá trình cài đặt khác vào thư mục mẫu này đang diễn ra. "
     "Hãy thử lại khi nó hoàn tất."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Không thể mở màn hình hiển thị. Với tùy chọn -Q, trình cài đặt chạy "
     "mà không cần màn hình."},
    {IDS_ERROR_NOTREGISTERED,
     "Các mẫu đã được cài đặt, nhưng không thể cập nhật cấu hình của "
     "trình khởi chạy:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED, "Lần cài đặt trước vào %1 đã bị gián đoạn. Thư mục đã được khôi phục."},
    {IDS_RECOVERY_INCOMPLETE,
     "Lần cài đặt trước vào %1 đã bị gián đoạn và không thể khôi phục hoàn toàn thư mục. Số tệp bị "
     "ảnh hưởng: %2.%3 Danh sách đầy đủ nằm trong %4."},
    {IDS_RECOVERY_COMPLETED,
     "Lần cài đặt trước vào %1 đã bị gián đoạn khi đang hoàn tất. Giờ đây việc cài đặt đã hoàn "
     "tất."},
    {IDS_RECOVERY_DAMAGED,
     "Nhật ký bị hỏng của một lần cài đặt bị gián đoạn đã được để riêng với tên %1. Không có gì bị "
     "thay đổi vì nó."},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "Gói phân phối veskp8.efd chưa được ký, trong khi máy tính này chỉ cho "
     "phép cài đặt các gói đã ký."},
    {IDS_SIGNATURE_DAMAGED,
     "Tệp chữ ký veskp8.efd.minisig bị hỏng hoặc có định dạng không được "
     "chấp nhận."},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "Gói phân phối veskp8.efd được ký bằng khóa %1, là khóa không được tin "
     "cậy trên máy tính này."},
    {IDS_SIGNATURE_MISMATCH,
     "Gói phân phối veskp8.efd không khớp với chữ ký của nó: gói đã bị "
     "thay đổi sau khi ký."},
    {IDS_SIGNATURE_KEYFILE,
     "Không thể đọc tệp khóa tin cậy %1 hoặc tệp không chứa khóa hợp lệ "
     "nào, vì vậy không thể kiểm tra gói nào."},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "Tệp khóa tin cậy %1 không được sử dụng vì người dùng khác có thể "
     "thay đổi nó."},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "Tùy chọn không xác định %1. Không có gì được thực hiện; veskp8-setup --help liệt kê các tùy chọn."},
    {IDS_USAGE_NEEDQUIET,
     "Tùy chọn %1 chỉ dùng được cùng với -Q. Không có gì được thực hiện."},
    {IDS_USAGE_CONFLICT,
     "Không thể kết hợp tùy chọn %1 với --verify. Không có gì được thực hiện."},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "Cửa sổ của trình cài đặt cần các thư viện GTK 2, nhưng máy này chưa cài đặt chúng. Với tùy "
     "chọn -Q, trình cài đặt chạy mà không cần chúng."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Hãy nhập đường dẫn đầy đủ của thư mục mẫu: đường dẫn bắt đầu bằng / (hoặc bằng ~ cho thư mục nhà của bạn)."},
    {IDS_ERROR_REASON_ACCESS, "Không có quyền truy cập."},
    {IDS_ERROR_REASON_NOSPACE, "Thiết bị đã hết dung lượng trống."},
    {IDS_ERROR_REASON_QUOTA, "Đã vượt quá hạn mức đĩa."},
    {IDS_ERROR_REASON_READONLY, "Hệ thống tệp chỉ cho phép đọc."},
    {IDS_ERROR_REASON_ISDIR, "Tên này đã được một thư mục sử dụng."},
    {IDS_ERROR_REASON_EXISTS, "Tên này đã được một đối tượng không phải tệp sử dụng."},
    {IDS_ERROR_REASON_NOTDIR, "Một phần của đường dẫn là tệp chứ không phải thư mục."},
    {IDS_ERROR_REASON_NOTFOUND, "Tệp hoặc thư mục không tồn tại."},
    {IDS_ERROR_REASON_NAMETOOLONG, "Tên quá dài."},
    {IDS_ERROR_REASON_IO, "Thiết bị đã báo lỗi vào/ra."},
    {IDS_ERROR_REASON_OTHER, "Lỗi hệ thống %1."},
    {IDS_ERROR_TARGETSPACE, "Không đủ dung lượng trống cho các mẫu trong %1: cần %2, còn trống %3."},
    {IDS_SIZE_KB, "%1\u00A0KB"},
    {IDS_SIZE_MB, "%1\u00A0MB"},
    {IDS_SIZE_GB, "%1\u00A0GB"},
    {IDS_SUCCESS_WHERE, "Các tệp nằm trong %1."},
    {IDS_SUCCESS_COUNTS, "Tệp mới: %1. Đã thay thế: %2. Đã cập nhật sẵn: %3."},
};

}  // namespace

std::span<const TextPair> VietnameseTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
