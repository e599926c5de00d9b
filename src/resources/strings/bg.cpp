// Bulgarian texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "Назад"},
    {IDS_WIZARD_NEXT, "Напред"},
    {IDS_WIZARD_FINISH, "Край"},
    {IDS_WIZARD_CANCEL, "Отказ"},
    {IDS_ACCEPT_CANCEL, "Наистина ли искате да прекратите инсталирането?"},
    {IDS_TITLE_INSTALLER, "Инсталиране на конфигурация"},
    {IDS_PREPARECOPY, "Подготовка за копиране..."},
    {IDS_INSTALL_ERROR, "Грешка при инсталирането"},
    {IDS_ERROR_NOSOURCE, "Файлът на дистрибуционния пакет veskp8.efd не е намерен."},
    {IDS_ERROR_NOTARGET, "Инсталирането на шаблони в текущата директория не се поддържа."},
    {IDS_ERROR_NOSPACE, "Недостатъчно свободно място в директорията Temp."},
    {IDS_CHOOSEDIR_FOLDER, "&Папка:"},
    {IDS_CHOOSEDIR_TITLE, "Избор на директория"},
    {IDR_MAINFRAME, "Инсталиране на конфигурация"},
    {IDS_SETUP_EMPTYTARGET, "Посочете правилен път до директорията с шаблони."},
    {IDS_INSTALL_FINISH, "Копирането завърши..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "Файлът на дистрибуционния пакет veskp8.efd е повреден или не е предназначен за тази "
     "инсталационна програма."},
    {IDS_DEFPRODUCT, "<Продукт>"},
    {IDS_DEFPROVIDER, "<Доставчик>"},
    {IDS_SUCCESS_FINISH, "Конфигурацията е инсталирана успешно."},
    {IDS_SUCCESS_OPENDESCR, "Отваряне на описанието на пакета"},
    {IDS_PROGRESS_START, "Файловете се копират..."},
    {IDS_ERROR_FINISH,
     "По време на инсталирането възникна грешка. Инсталирането е прекратено. Директорията с "
     "шаблони не е променена."},
    {IDS_CANCEL_FINISH, "Инсталирането е прекратено. Директорията с шаблони не е променена."},
    {IDS_BROWSE_SELDIR, "Избрана директория:"},
    {IDS_BROWSE_OK, "Избор"},
    {IDS_BROWSE_CANCEL, "Отказ"},
    {IDS_WELCOME_TITLE, "Добре дошли в програмата за инсталиране на продукта"},
    {IDS_SETUP_EXISTEDTARGET,
     "Инсталационната директория съдържа файлове, които може да бъдат променени по време на "
     "инсталирането. Искате ли да продължите?"},
    {IDS_DESTINATION_PROMPT,
     "Посочете път до директорията с шаблони. Инсталационната програма ще инсталира шаблоните и "
     "конфигурационните файлове в посочената директория."},
    {IDS_TEMPLATE_CATALOG, "Директория с шаблони:"},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Дисплеят не може да бъде отворен. С опцията -Q "
     "инсталиращата програма работи без дисплей."},
    {IDS_ERROR_NOTREGISTERED,
     "Шаблоните са инсталирани, но конфигурацията на "
     "стартиращата програма не може да бъде обновена:"},
    {IDS_ERROR_NOTRESTORED,
     "Грешка при инсталирането. Директорията с шаблони "
     "не може да бъде възстановена напълно; заменените "
     "оригинали са запазени в:"},
};

}  // namespace

std::span<const TextPair> BulgarianTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
