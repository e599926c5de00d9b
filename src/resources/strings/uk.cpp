// Ukrainian texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Назад"},
    {IDS_WIZARD_NEXT, "Далі >"},
    {IDS_WIZARD_FINISH, "Готово"},
    {IDS_WIZARD_CANCEL, "Відміна"},
    {IDS_ACCEPT_CANCEL, "Ви дійсно бажаєте скасувати встановлення?"},
    {IDS_TITLE_INSTALLER, "Встановлення конфігурації"},
    {IDS_PREPARECOPY, "Підготовка до копіювання..."},
    {IDS_INSTALL_ERROR, "Помилка встановлення"},
    {IDS_ERROR_NOSOURCE, "Файл комплекту постачання veskp8.efd не знайдено."},
    {IDS_ERROR_NOTARGET, "Встановлення шаблонів у поточний каталог не підтримується."},
    {IDS_ERROR_NOSPACE, "Недостатньо вільного місця в каталозі Temp."},
    {IDS_CHOOSEDIR_FOLDER, "&Каталог:"},
    {IDS_CHOOSEDIR_TITLE, "Вибір каталогу"},
    {IDR_MAINFRAME, "Встановлення конфігурації"},
    {IDS_SETUP_EMPTYTARGET, "Вкажіть правильний шлях до каталогу шаблонів."},
    {IDS_INSTALL_FINISH, "Копіювання завершено..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "Файл комплекту постачання veskp8.efd пошкоджено або він не призначений для цієї програми "
     "встановлення."},
    {IDS_DEFPRODUCT, "<Продукт>"},
    {IDS_DEFPROVIDER, "<Постачальник>"},
    {IDS_SUCCESS_FINISH, "Конфігурацію успішно встановлено."},
    {IDS_SUCCESS_OPENDESCR, "Відкрити опис комплекту постачання"},
    {IDS_PROGRESS_START, "Копіювання файлів..."},
    {IDS_ERROR_FINISH,
     "Під час встановлення сталася помилка. Встановлення скасовано. Каталог шаблонів не змінено."},
    {IDS_CANCEL_FINISH, "Встановлення скасовано. Каталог шаблонів не змінено."},
    {IDS_BROWSE_SELDIR, "Вибрано каталог:"},
    {IDS_BROWSE_OK, "Вибрати"},
    {IDS_BROWSE_CANCEL, "Скасувати"},
    {IDS_WELCOME_TITLE, "Вас вітає програма встановлення продукту"},
    {IDS_SETUP_EXISTEDTARGET,
     "Каталог встановлення містить файли, які можуть бути змінені під час встановлення. "
     "Продовжити?"},
    {IDS_DESTINATION_PROMPT,
     "Вкажіть шлях до каталогу шаблонів. Програма встановлення встановить шаблони та файли "
     "конфігурації до вказаного каталогу."},
    {IDS_TEMPLATE_CATALOG, "Каталог шаблонів:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "Не вдалося повністю відновити каталог "
     "шаблонів. Замінені оригінальні файли "
     "збережено в %1. Перезавантаження комп'ютера "
     "може видалити цей каталог, якщо він "
     "міститься у тимчасовій файловій системі."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "Під час встановлення сталася помилка. "
     "Встановлення скасовано. Не вдалося "
     "повністю відновити каталог шаблонів: "
     "замінені оригінальні файли збережено в %1. "
     "Скопіюйте їх назад до перезавантаження "
     "комп'ютера: перезавантаження може видалити "
     "цей каталог, якщо він міститься у "
     "тимчасовій файловій системі."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "У цей каталог шаблонів уже виконується інше "
     "встановлення. Повторіть спробу після його "
     "завершення."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Не вдалося відкрити дисплей. З параметром -Q "
     "програма встановлення працює без дисплея."},
    {IDS_ERROR_NOTREGISTERED,
     "Шаблони встановлено, але не вдалося оновити "
     "конфігурацію програми запуску:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED, "Попереднє встановлення в %1 було перервано. Каталог відновлено."},
    {IDS_RECOVERY_INCOMPLETE,
     "Попереднє встановлення в %1 було перервано, і каталог не вдалося повністю відновити. "
     "Зачеплено файлів: %2.%3 Повний список міститься в %4."},
    {IDS_RECOVERY_COMPLETED,
     "Попереднє встановлення в %1 було перервано на етапі завершення. Тепер його завершено."},
    {IDS_RECOVERY_DAMAGED,
     "Пошкоджений журнал перерваного встановлення відкладено під назвою %1. Через нього нічого не "
     "змінено."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Вкажіть повний шлях до каталогу шаблонів: він починається з / (або з ~ для вашого домашнього каталогу)."},
    {IDS_ERROR_REASON_ACCESS, "Доступ заборонено."},
    {IDS_ERROR_REASON_NOSPACE, "На пристрої не залишилося вільного місця."},
    {IDS_ERROR_REASON_QUOTA, "Перевищено дискову квоту."},
    {IDS_ERROR_REASON_READONLY, "Файлова система доступна лише для читання."},
    {IDS_ERROR_REASON_ISDIR, "Це ім'я вже зайняте каталогом."},
    {IDS_ERROR_REASON_EXISTS, "Це ім'я вже зайняте об'єктом, який не є файлом."},
    {IDS_ERROR_REASON_NOTDIR, "Частина шляху є файлом, а не каталогом."},
    {IDS_ERROR_REASON_NOTFOUND, "Файл або каталог не існує."},
    {IDS_ERROR_REASON_NAMETOOLONG, "Задовге ім'я."},
    {IDS_ERROR_REASON_IO, "Пристрій повідомив про помилку введення-виведення."},
    {IDS_ERROR_REASON_OTHER, "Системна помилка %1."},
    {IDS_ERROR_TARGETSPACE, "Недостатньо вільного місця для шаблонів у %1: потрібно %2, доступно %3."},
    {IDS_SIZE_KB, "%1\u00A0КБ"},
    {IDS_SIZE_MB, "%1\u00A0МБ"},
    {IDS_SIZE_GB, "%1\u00A0ГБ"},
    {IDS_SUCCESS_WHERE, "Файли знаходяться в %1."},
    {IDS_SUCCESS_COUNTS, "Нових файлів: %1. Замінено: %2. Уже актуальні: %3."},
};

}  // namespace

std::span<const TextPair> UkrainianTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
