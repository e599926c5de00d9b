// Azerbaijani texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Geri"},
    {IDS_WIZARD_NEXT, "İrəli >"},
    {IDS_WIZARD_FINISH, "Bitir"},
    {IDS_WIZARD_CANCEL, "İmtina"},
    {IDS_ACCEPT_CANCEL, "Quraşdırmanı həqiqətən ləğv etmək istəyirsiniz?"},
    {IDS_TITLE_INSTALLER, "Konfiqurasiyanın quraşdırılması"},
    {IDS_PREPARECOPY, "Köçürməyə hazırlıq..."},
    {IDS_INSTALL_ERROR, "Quraşdırma xətası"},
    {IDS_ERROR_NOSOURCE, "veskp8.efd paylama dəsti faylı tapılmadı."},
    {IDS_ERROR_NOTARGET, "Şablonların cari qovluğa quraşdırılması dəstəklənmir."},
    {IDS_ERROR_NOSPACE, "Temp qovluğunda kifayət qədər boş yer yoxdur."},
    {IDS_CHOOSEDIR_FOLDER, "&Qovluq:"},
    {IDS_CHOOSEDIR_TITLE, "Qovluq seçin"},
    {IDR_MAINFRAME, "Konfiqurasiyanın quraşdırılması"},
    {IDS_SETUP_EMPTYTARGET, "Şablon qovluğuna düzgün yolu göstərin."},
    {IDS_INSTALL_FINISH, "Köçürmə başa çatdı..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "veskp8.efd paylama dəsti faylı zədələnib və ya bu quraşdırma proqramı üçün nəzərdə "
     "tutulmayıb."},
    {IDS_DEFPRODUCT, "<Məhsul>"},
    {IDS_DEFPROVIDER, "<Təchizatçı>"},
    {IDS_SUCCESS_FINISH, "Konfiqurasiya uğurla quraşdırıldı."},
    {IDS_SUCCESS_OPENDESCR, "Paylama dəstinin təsvirini açın"},
    {IDS_PROGRESS_START, "Fayllar köçürülür..."},
    {IDS_ERROR_FINISH,
     "Quraşdırma zamanı xəta baş verdi. Quraşdırma ləğv edildi. Şablon qovluğu dəyişdirilmədi."},
    {IDS_CANCEL_FINISH, "Quraşdırma ləğv edildi. Şablon qovluğu dəyişdirilmədi."},
    {IDS_BROWSE_SELDIR, "Seçilmiş qovluq:"},
    {IDS_BROWSE_OK, "Seç"},
    {IDS_BROWSE_CANCEL, "İmtina"},
    {IDS_WELCOME_TITLE, "Məhsulun quraşdırma proqramına xoş gəlmisiniz"},
    {IDS_SETUP_EXISTEDTARGET,
     "Quraşdırma qovluğunda quraşdırma zamanı dəyişdirilə bilən fayllar var. Davam etmək "
     "istəyirsiniz?"},
    {IDS_DESTINATION_PROMPT,
     "Şablon qovluğuna yolu göstərin. Quraşdırma proqramı şablonları və konfiqurasiya fayllarını "
     "göstərilən qovluğa quraşdıracaq."},
    {IDS_TEMPLATE_CATALOG, "Şablon qovluğu:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "Şablon qovluğunu tam bərpa etmək mümkün olmadı. Əvəz edilmiş orijinal "
     "fayllar %1 qovluğunda saxlanılır. Bu qovluq müvəqqəti fayl "
     "sistemindədirsə, kompüterin yenidən başladılması onu silə bilər."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "Quraşdırma zamanı xəta baş verdi. Quraşdırma ləğv edildi. Şablon "
     "qovluğunu tam bərpa etmək mümkün olmadı: əvəz edilmiş orijinal fayllar "
     "%1 qovluğunda saxlanılır. Kompüteri yenidən başlatmazdan əvvəl onları "
     "geri köçürün: bu qovluq müvəqqəti fayl sistemindədirsə, yenidən "
     "başlatma onu silə bilər."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "Bu şablon qovluğuna başqa quraşdırma davam edir. Başa çatdıqdan sonra "
     "yenidən cəhd edin."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Ekranı açmaq mümkün olmadı. -Q seçimi ilə quraşdırıcı ekransız işləyir."},
    {IDS_ERROR_NOTREGISTERED,
     "Şablonlar quraşdırıldı, lakin başladıcının konfiqurasiyasını yeniləmək "
     "mümkün olmadı:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED,
     "%1 qovluğuna əvvəlki quraşdırma yarımçıq kəsilmişdi. Qovluq bərpa edildi."},
    {IDS_RECOVERY_INCOMPLETE,
     "%1 qovluğuna əvvəlki quraşdırma yarımçıq kəsilmişdi və qovluğu tam bərpa etmək mümkün "
     "olmadı. Aid olan fayllar: %2.%3 Tam siyahı: %4."},
    {IDS_RECOVERY_COMPLETED,
     "%1 qovluğuna əvvəlki quraşdırma tamamlanarkən kəsilmişdi. İndi o tamamlandı."},
    {IDS_RECOVERY_DAMAGED,
     "Kəsilmiş quraşdırmanın zədələnmiş jurnalı %1 adı ilə kənara qoyuldu. Buna görə heç nə "
     "dəyişdirilmədi."},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "veskp8.efd paylama dəsti imzalanmayıb, bu kompüterdə isə yalnız imzalanmış "
     "dəstlər quraşdırıla bilər."},
    {IDS_SIGNATURE_DAMAGED,
     "veskp8.efd.minisig imza faylı zədələnib və ya qəbul edilməyən formatdadır."},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "veskp8.efd paylama dəsti bu kompüterdə etibarlı sayılmayan %1 açarı ilə "
     "imzalanıb."},
    {IDS_SIGNATURE_MISMATCH,
     "veskp8.efd paylama dəsti öz imzasına uyğun gəlmir: imzalandıqdan sonra "
     "dəyişdirilib."},
    {IDS_SIGNATURE_KEYFILE,
     "%1 etibarlı açarlar faylı oxuna bilmir və ya onda düzgün açar yoxdur, buna görə "
     "heç bir dəst yoxlanıla bilməz."},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "%1 etibarlı açarlar faylı istifadə edilmir, çünki onu başqa istifadəçilər "
     "dəyişə bilər."},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "Naməlum seçim %1. Heç nə edilmədi; seçimlərin siyahısını veskp8-setup --help göstərir."},
    {IDS_USAGE_NEEDQUIET,
     "%1 seçimi yalnız -Q ilə birlikdə işləyir. Heç nə edilmədi."},
    {IDS_USAGE_CONFLICT,
     "%1 seçimini --verify ilə birlikdə istifadə etmək olmaz. Heç nə edilmədi."},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "Quraşdırıcının pəncərəsi üçün GTK 2 kitabxanaları lazımdır, lakin onlar bu kompüterdə "
     "quraşdırılmayıb. -Q seçimi ilə quraşdırıcı onlarsız işləyir."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Şablon qovluğunun tam yolunu göstərin: o / ilə başlayır (və ya ev qovluğunuz üçün ~ ilə)."},
    {IDS_ERROR_REASON_ACCESS, "Giriş qadağandır."},
    {IDS_ERROR_REASON_NOSPACE, "Cihazda boş yer qalmayıb."},
    {IDS_ERROR_REASON_QUOTA, "Disk kvotası aşılıb."},
    {IDS_ERROR_REASON_READONLY, "Fayl sistemi yalnız oxumaq üçündür."},
    {IDS_ERROR_REASON_ISDIR, "Bu ad artıq bir qovluq tərəfindən istifadə olunur."},
    {IDS_ERROR_REASON_EXISTS, "Bu ad artıq fayl olmayan bir obyekt tərəfindən istifadə olunur."},
    {IDS_ERROR_REASON_NOTDIR, "Yolun bir hissəsi qovluq deyil, fayldır."},
    {IDS_ERROR_REASON_NOTFOUND, "Fayl və ya qovluq mövcud deyil."},
    {IDS_ERROR_REASON_NAMETOOLONG, "Ad çox uzundur."},
    {IDS_ERROR_REASON_IO, "Cihaz giriş/çıxış xətası barədə məlumat verdi."},
    {IDS_ERROR_REASON_OTHER, "Sistem xətası %1."},
    {IDS_ERROR_TARGETSPACE, "%1 qovluğunda şablonlar üçün kifayət qədər boş yer yoxdur: %2 lazımdır, %3 mövcuddur."},
    {IDS_SIZE_KB, "%1\u00A0KB"},
    {IDS_SIZE_MB, "%1\u00A0MB"},
    {IDS_SIZE_GB, "%1\u00A0GB"},
    {IDS_SUCCESS_WHERE, "Fayllar buradadır: %1."},
    {IDS_SUCCESS_COUNTS, "Yeni fayllar: %1. Əvəz olunan: %2. Artıq aktual olan: %3."},
};

}  // namespace

std::span<const TextPair> AzerbaijaniTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
