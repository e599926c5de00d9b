// Russian texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Назад"},
    {IDS_WIZARD_NEXT, "Далее >"},
    {IDS_WIZARD_FINISH, "Готово"},
    {IDS_WIZARD_CANCEL, "Отмена"},
    {IDS_ACCEPT_CANCEL, "Вы действительно хотите прервать установку?"},
    {IDS_TITLE_INSTALLER, "Установка конфигурации"},
    {IDS_PREPARECOPY, "Подготовка к копированию..."},
    {IDS_INSTALL_ERROR, "Ошибка установки"},
    {IDS_ERROR_NOSOURCE, "Файл комплекта поставки veskp8.efd не найден."},
    {IDS_ERROR_NOTARGET, "Установка шаблонов в текущий каталог не поддерживается."},
    {IDS_ERROR_NOSPACE, "Недостаточно свободного места в каталоге Temp."},
    {IDS_CHOOSEDIR_FOLDER, "&Каталог:"},
    {IDS_CHOOSEDIR_TITLE, "Выбор каталога"},
    {IDR_MAINFRAME, "Установка конфигурации"},
    {IDS_SETUP_EMPTYTARGET, "Укажите правильный путь к каталогу шаблонов."},
    {IDS_INSTALL_FINISH, "Копирование завершено..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "Файл комплекта поставки veskp8.efd поврежден или не предназначен для этой программы "
     "установки."},
    {IDS_DEFPRODUCT, "<Продукт>"},
    {IDS_DEFPROVIDER, "<Поставщик>"},
    {IDS_SUCCESS_FINISH, "Конфигурация успешно установлена."},
    {IDS_SUCCESS_OPENDESCR, "Открыть описание комплекта поставки"},
    {IDS_PROGRESS_START, "Копирование файлов..."},
    {IDS_ERROR_FINISH,
     "В процессе установки произошла ошибка. Установка отменена. Каталог шаблонов не изменен."},
    {IDS_CANCEL_FINISH, "Установка отменена. Каталог шаблонов не изменен."},
    {IDS_BROWSE_SELDIR, "Выбран каталог:"},
    {IDS_BROWSE_OK, "Выбрать"},
    {IDS_BROWSE_CANCEL, "Отмена"},
    {IDS_WELCOME_TITLE, "Вас приветствует программа установки продукта"},
    {IDS_SETUP_EXISTEDTARGET,
     "Каталог установки содержит файлы, которые могут быть изменены в процессе установки. "
     "Продолжить?"},
    {IDS_DESTINATION_PROMPT,
     "Укажите путь к каталогу шаблонов. Программа установки установит шаблоны и файлы конфигурации "
     "в указанный каталог."},
    {IDS_TEMPLATE_CATALOG, "Каталог шаблонов:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "Не удалось полностью восстановить каталог "
     "шаблонов. Замененные исходные файлы "
     "сохранены в %1. Перезагрузка компьютера "
     "может удалить этот каталог, если он "
     "находится во временной файловой системе."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "В процессе установки произошла ошибка. "
     "Установка отменена. Не удалось полностью "
     "восстановить каталог шаблонов: замененные "
     "исходные файлы сохранены в %1. Скопируйте их "
     "обратно до перезагрузки компьютера: "
     "перезагрузка может удалить этот каталог, "
     "если он находится во временной файловой "
     "системе."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "В этот каталог шаблонов уже выполняется "
     "другая установка. Повторите попытку после "
     "ее завершения."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Не удалось открыть дисплей. С параметром -Q "
     "программа установки работает без дисплея."},
    {IDS_ERROR_NOTREGISTERED,
     "Шаблоны установлены, но не удалось обновить "
     "конфигурацию программы запуска:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED, "Предыдущая установка в %1 была прервана. Каталог восстановлен."},
    {IDS_RECOVERY_INCOMPLETE,
     "Предыдущая установка в %1 была прервана, и каталог не удалось полностью восстановить. "
     "Затронуто файлов: %2.%3 Полный список находится в %4."},
    {IDS_RECOVERY_COMPLETED,
     "Предыдущая установка в %1 была прервана на этапе завершения. Теперь она завершена."},
    {IDS_RECOVERY_DAMAGED,
     "Повреждённый журнал прерванной установки отложен под именем %1. Из-за него ничего не "
     "изменено."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Укажите полный путь к каталогу шаблонов: он начинается с / (или с ~ для вашего домашнего каталога)."},
    {IDS_ERROR_REASON_ACCESS, "Отказано в доступе."},
    {IDS_ERROR_REASON_NOSPACE, "На устройстве не осталось свободного места."},
    {IDS_ERROR_REASON_QUOTA, "Превышена дисковая квота."},
    {IDS_ERROR_REASON_READONLY, "Файловая система доступна только для чтения."},
    {IDS_ERROR_REASON_ISDIR, "Это имя уже занято каталогом."},
    {IDS_ERROR_REASON_EXISTS, "Это имя уже занято объектом, который не является файлом."},
    {IDS_ERROR_REASON_NOTDIR, "Часть пути является файлом, а не каталогом."},
    {IDS_ERROR_REASON_NOTFOUND, "Файл или каталог не существует."},
    {IDS_ERROR_REASON_NAMETOOLONG, "Слишком длинное имя."},
    {IDS_ERROR_REASON_IO, "Устройство сообщило об ошибке ввода-вывода."},
    {IDS_ERROR_REASON_OTHER, "Системная ошибка %1."},
    {IDS_ERROR_TARGETSPACE, "Недостаточно свободного места для шаблонов в %1: требуется %2, доступно %3."},
    {IDS_SIZE_KB, "%1\u00A0КБ"},
    {IDS_SIZE_MB, "%1\u00A0МБ"},
    {IDS_SIZE_GB, "%1\u00A0ГБ"},
    {IDS_SUCCESS_WHERE, "Файлы находятся в %1."},
    {IDS_SUCCESS_COUNTS, "Новых файлов: %1. Заменено: %2. Уже актуальны: %3."},
};

}  // namespace

std::span<const TextPair> RussianTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
