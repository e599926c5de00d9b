// Kazakh texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Артқа"},
    {IDS_WIZARD_NEXT, "Келесі >"},
    {IDS_WIZARD_FINISH, "Дайын"},
    {IDS_WIZARD_CANCEL, "Доғару"},
    {IDS_ACCEPT_CANCEL, "Орнатудан шынымен бас тартқыңыз келе ме?"},
    {IDS_TITLE_INSTALLER, "Конфигурацияны орнату"},
    {IDS_PREPARECOPY, "Көшіруге дайындалуда..."},
    {IDS_INSTALL_ERROR, "Орнату қатесі"},
    {IDS_ERROR_NOSOURCE, "veskp8.efd жеткізілім жинағының файлы табылмады."},
    {IDS_ERROR_NOTARGET, "Үлгілерді ағымдағы каталогқа орнатуға қолдау көрсетілмейді."},
    {IDS_ERROR_NOSPACE, "Temp каталогында бос орын жеткіліксіз."},
    {IDS_CHOOSEDIR_FOLDER, "&Каталог:"},
    {IDS_CHOOSEDIR_TITLE, "Каталогты таңдау"},
    {IDR_MAINFRAME, "Конфигурацияны орнату"},
    {IDS_SETUP_EMPTYTARGET, "Үлгілер каталогына дұрыс жолды көрсетіңіз."},
    {IDS_INSTALL_FINISH, "Көшіру аяқталды..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "veskp8.efd жеткізілім жинағының файлы зақымдалған немесе осы орнату бағдарламасына "
     "арналмаған."},
    {IDS_DEFPRODUCT, "<Өнім>"},
    {IDS_DEFPROVIDER, "<Жеткізуші>"},
    {IDS_SUCCESS_FINISH, "Конфигурация сәтті орнатылды."},
    {IDS_SUCCESS_OPENDESCR, "Дистрибутив сипаттамасын ашу"},
    {IDS_PROGRESS_START, "Файлдар көшірілуде..."},
    {IDS_ERROR_FINISH,
     "Орнату барысында қате орын алды. Орнату тоқтатылды. Үлгілер каталогы өзгертілмеді."},
    {IDS_CANCEL_FINISH, "Орнату тоқтатылды. Үлгілер каталогы өзгертілмеді."},
    {IDS_BROWSE_SELDIR, "Таңдалған каталог:"},
    {IDS_BROWSE_OK, "Таңдау"},
    {IDS_BROWSE_CANCEL, "Болдырмау"},
    {IDS_WELCOME_TITLE, "Өнімді орнату бағдарламасына қош келдіңіз"},
    {IDS_SETUP_EXISTEDTARGET,
     "Орнату каталогында орнату барысында өзгертілуі мүмкін файлдар бар. Жалғастырғыңыз келе ме?"},
    {IDS_DESTINATION_PROMPT,
     "Үлгілер каталогына жолды көрсетіңіз. Орнату бағдарламасы үлгілер мен конфигурация файлдарын "
     "көрсетілген каталогқа орнатады."},
    {IDS_TEMPLATE_CATALOG, "Үлгілер каталогы:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "Үлгілер каталогын толық қалпына келтіру "
     "мүмкін болмады. Ауыстырылған түпнұсқа "
     "файлдар %1 каталогында сақтаулы. Бұл каталог "
     "уақытша файлдық жүйеде болса, компьютерді "
     "қайта іске қосу оны жойып жіберуі мүмкін."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "Орнату барысында қате орын алды. Орнату "
     "тоқтатылды. Үлгілер каталогын толық "
     "қалпына келтіру мүмкін болмады: "
     "ауыстырылған түпнұсқа файлдар %1 "
     "каталогында сақтаулы. Компьютерді қайта "
     "іске қоспас бұрын оларды кері көшіріңіз: "
     "бұл каталог уақытша файлдық жүйеде болса, "
     "қайта іске қосу оны жойып жіберуі мүмкін."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "Бұл үлгілер каталогына басқа орнату жүріп "
     "жатыр. Ол аяқталған соң қайталап көріңіз."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Дисплейді ашу мүмкін болмады. -Q параметрімен "
     "орнату бағдарламасы дисплейсіз жұмыс істейді."},
    {IDS_ERROR_NOTREGISTERED,
     "Үлгілер орнатылды, бірақ іске қосу "
     "бағдарламасының конфигурациясын жаңарту мүмкін "
     "болмады:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED,
     "%1 каталогына алдыңғы орнату үзіліп қалды. Каталог қалпына келтірілді."},
    {IDS_RECOVERY_INCOMPLETE,
     "%1 каталогына алдыңғы орнату үзіліп қалды, каталогты толық қалпына келтіру мүмкін болмады. "
     "Қатысты файлдар: %2.%3 Толық тізім: %4."},
    {IDS_RECOVERY_COMPLETED,
     "%1 каталогына алдыңғы орнату аяқталу кезінде үзіліп қалды. Енді ол аяқталды."},
    {IDS_RECOVERY_DAMAGED,
     "Үзілген орнатудың зақымдалған журналы %1 атымен бөлек қойылды. Оның салдарынан ештеңе "
     "өзгертілген жоқ."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Үлгілер каталогының толық жолын көрсетіңіз: ол / таңбасынан басталады (немесе үй каталогы үшін ~ таңбасынан)."},
    {IDS_ERROR_REASON_ACCESS, "Қатынауға рұқсат жоқ."},
    {IDS_ERROR_REASON_NOSPACE, "Құрылғыда бос орын қалмады."},
    {IDS_ERROR_REASON_QUOTA, "Дискілік квота асып кетті."},
    {IDS_ERROR_REASON_READONLY, "Файлдық жүйе тек оқуға арналған."},
    {IDS_ERROR_REASON_ISDIR, "Бұл атауды каталог иеленіп тұр."},
    {IDS_ERROR_REASON_EXISTS, "Бұл атауды файл емес нысан иеленіп тұр."},
    {IDS_ERROR_REASON_NOTDIR, "Жолдың бір бөлігі каталог емес, файл болып табылады."},
    {IDS_ERROR_REASON_NOTFOUND, "Файл немесе каталог жоқ."},
    {IDS_ERROR_REASON_NAMETOOLONG, "Атау тым ұзын."},
    {IDS_ERROR_REASON_IO, "Құрылғы енгізу-шығару қатесі туралы хабарлады."},
    {IDS_ERROR_REASON_OTHER, "Жүйелік қате %1."},
    {IDS_ERROR_TARGETSPACE, "%1 ішінде үлгілер үшін бос орын жеткіліксіз: %2 қажет, %3 қолжетімді."},
    {IDS_SIZE_KB, "%1\u00A0КБ"},
    {IDS_SIZE_MB, "%1\u00A0МБ"},
    {IDS_SIZE_GB, "%1\u00A0ГБ"},
    {IDS_SUCCESS_WHERE, "Файлдар %1 ішінде."},
    {IDS_SUCCESS_COUNTS, "Жаңа файлдар: %1. Ауыстырылғаны: %2. Өзекті болғаны: %3."},
};

}  // namespace

std::span<const TextPair> KazakhTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
