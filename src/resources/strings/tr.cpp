// Turkish texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Geri"},
    {IDS_WIZARD_NEXT, "İleri >"},
    {IDS_WIZARD_FINISH, "Son"},
    {IDS_WIZARD_CANCEL, "İptal"},
    {IDS_ACCEPT_CANCEL, "Kurulumu gerçekten iptal etmek istiyor musunuz?"},
    {IDS_TITLE_INSTALLER, "Yapılandırma kuruluyor"},
    {IDS_PREPARECOPY, "Kopyalamaya hazırlanılıyor..."},
    {IDS_INSTALL_ERROR, "Kurulum hatası"},
    {IDS_ERROR_NOSOURCE, "Dağıtım paketi dosyası veskp8.efd bulunamadı."},
    {IDS_ERROR_NOTARGET, "Şablonların geçerli dizine kurulması desteklenmiyor."},
    {IDS_ERROR_NOSPACE, "Temp dizininde yeterli boş alan yok."},
    {IDS_CHOOSEDIR_FOLDER, "&Klasör:"},
    {IDS_CHOOSEDIR_TITLE, "Dizin Seçin"},
    {IDR_MAINFRAME, "Yapılandırma kuruluyor"},
    {IDS_SETUP_EMPTYTARGET, "Şablon dizini için doğru yolu belirtin."},
    {IDS_INSTALL_FINISH, "Kopyalama tamamlandı..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "Dağıtım paketi dosyası veskp8.efd bozuk veya bu kurulum programı için tasarlanmamış."},
    {IDS_DEFPRODUCT, "<Ürün>"},
    {IDS_DEFPROVIDER, "<Satıcı>"},
    {IDS_SUCCESS_FINISH, "Yapılandırma başarıyla kuruldu."},
    {IDS_SUCCESS_OPENDESCR, "Dağıtım paketinin açıklamasını aç"},
    {IDS_PROGRESS_START, "Dosyalar kopyalanıyor..."},
    {IDS_ERROR_FINISH,
     "Kurulum sırasında bir hata oluştu. Kurulum iptal edildi. Şablon dizini değiştirilmedi."},
    {IDS_CANCEL_FINISH, "Kurulum iptal edildi. Şablon dizini değiştirilmedi."},
    {IDS_BROWSE_SELDIR, "Seçilen dizin:"},
    {IDS_BROWSE_OK, "Seç"},
    {IDS_BROWSE_CANCEL, "İptal"},
    {IDS_WELCOME_TITLE, "Ürün kurulum programına hoş geldiniz"},
    {IDS_SETUP_EXISTEDTARGET,
     "Kurulum dizini, kurulum sırasında değiştirilebilecek dosyalar içeriyor. Devam etmek istiyor "
     "musunuz?"},
    {IDS_DESTINATION_PROMPT,
     "Şablon dizininin yolunu belirtin. Kurulum programı şablonları ve yapılandırma dosyalarını "
     "belirtilen dizine kuracaktır."},
    {IDS_TEMPLATE_CATALOG, "Şablon dizini:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "Şablon dizini tam olarak geri yüklenemedi. Değiştirilen özgün dosyalar %1 "
     "içinde saklanıyor. Bu dizin geçici bir dosya sistemindeyse bilgisayarın "
     "yeniden başlatılması onu silebilir."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "Kurulum sırasında bir hata oluştu. Kurulum iptal edildi. Şablon dizini tam "
     "olarak geri yüklenemedi: değiştirilen özgün dosyalar %1 içinde "
     "saklanıyor. Bilgisayarı yeniden başlatmadan önce bunları geri kopyalayın: "
     "bu dizin geçici bir dosya sistemindeyse yeniden başlatma onu silebilir."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "Bu şablon dizinine başka bir kurulum devam ediyor. Tamamlandığında yeniden "
     "deneyin."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Ekran açılamadı. -Q seçeneğiyle kurulum programı ekran olmadan çalışır."},
    {IDS_ERROR_NOTREGISTERED, "Şablonlar kuruldu, ancak başlatıcı yapılandırması güncellenemedi:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED,
     "%1 dizinine yapılan önceki bir kurulum yarıda kesilmişti. Dizin geri yüklendi."},
    {IDS_RECOVERY_INCOMPLETE,
     "%1 dizinine yapılan önceki bir kurulum yarıda kesilmişti ve dizin tamamen geri yüklenemedi. "
     "Etkilenen dosyalar: %2.%3 Tam liste: %4."},
    {IDS_RECOVERY_COMPLETED,
     "%1 dizinine yapılan önceki bir kurulum tamamlanırken kesilmişti. Şimdi tamamlandı."},
    {IDS_RECOVERY_DAMAGED,
     "Yarıda kesilen bir kurulumun hasarlı günlüğü %1 adıyla bir kenara kondu. Bu yüzden hiçbir "
     "şey değiştirilmedi."},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "Dağıtım paketi veskp8.efd imzalı değil; bu bilgisayara yalnızca imzalı paketler "
     "kurulabilir."},
    {IDS_SIGNATURE_DAMAGED,
     "İmza dosyası veskp8.efd.minisig bozuk veya kabul edilmeyen bir biçimde."},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "Dağıtım paketi veskp8.efd, bu bilgisayarda güvenilmeyen %1 anahtarıyla "
     "imzalanmış."},
    {IDS_SIGNATURE_MISMATCH,
     "Dağıtım paketi veskp8.efd imzasıyla eşleşmiyor: imzalandıktan sonra "
     "değiştirilmiş."},
    {IDS_SIGNATURE_KEYFILE,
     "Güvenilen anahtar dosyası %1 okunamıyor veya geçerli bir anahtar içermiyor; bu "
     "nedenle hiçbir paket doğrulanamaz."},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "Güvenilen anahtar dosyası %1, başka kullanıcılar tarafından değiştirilebileceği "
     "için kullanılmıyor."},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "Bilinmeyen seçenek %1. Hiçbir şey yapılmadı; seçenekleri veskp8-setup --help listeler."},
    {IDS_USAGE_NEEDQUIET,
     "%1 seçeneği yalnızca -Q ile birlikte çalışır. Hiçbir şey yapılmadı."},
    {IDS_USAGE_CONFLICT,
     "%1 seçeneği --verify ile birlikte kullanılamaz. Hiçbir şey yapılmadı."},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "Kurulum programının penceresi için GTK 2 kitaplıkları gerekir, ancak bunlar bu bilgisayarda "
     "kurulu değil. -Q seçeneğiyle kurulum programı bunlar olmadan çalışır."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Şablon dizininin tam yolunu belirtin: / ile başlar (ya da ev dizininiz için ~ ile)."},
    {IDS_ERROR_REASON_ACCESS, "İzin reddedildi."},
    {IDS_ERROR_REASON_NOSPACE, "Aygıtta boş alan kalmadı."},
    {IDS_ERROR_REASON_QUOTA, "Disk kotası aşıldı."},
    {IDS_ERROR_REASON_READONLY, "Dosya sistemi salt okunur."},
    {IDS_ERROR_REASON_ISDIR, "Bu ad zaten bir dizin tarafından kullanılıyor."},
    {IDS_ERROR_REASON_EXISTS, "Bu ad zaten dosya olmayan bir öğe tarafından kullanılıyor."},
    {IDS_ERROR_REASON_NOTDIR, "Yolun bir bölümü dizin değil, dosya."},
    {IDS_ERROR_REASON_NOTFOUND, "Dosya ya da dizin mevcut değil."},
    {IDS_ERROR_REASON_NAMETOOLONG, "Ad çok uzun."},
    {IDS_ERROR_REASON_IO, "Aygıt bir giriş/çıkış hatası bildirdi."},
    {IDS_ERROR_REASON_OTHER, "Sistem hatası %1."},
    {IDS_ERROR_TARGETSPACE, "%1 içinde şablonlar için yeterli boş alan yok: %2 gerekli, %3 kullanılabilir."},
    {IDS_SIZE_KB, "%1\u00A0KB"},
    {IDS_SIZE_MB, "%1\u00A0MB"},
    {IDS_SIZE_GB, "%1\u00A0GB"},
    {IDS_SUCCESS_WHERE, "Dosyalar şurada: %1."},
    {IDS_SUCCESS_COUNTS, "Yeni dosyalar: %1. Değiştirilen: %2. Zaten güncel: %3."},
};

}  // namespace

std::span<const TextPair> TurkishTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
