// Georgian texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< უკან"},
    {IDS_WIZARD_NEXT, "წინ >"},
    {IDS_WIZARD_FINISH, "მზადაა"},
    {IDS_WIZARD_CANCEL, "გაუქმება"},
    {IDS_ACCEPT_CANCEL, "ნამდვილად გსურთ ინსტალაციის გაუქმება?"},
    {IDS_TITLE_INSTALLER, "კონფიგურაციის ინსტალაცია"},
    {IDS_PREPARECOPY, "კოპირებისთვის მომზადება..."},
    {IDS_INSTALL_ERROR, "ინსტალაციის შეცდომა"},
    {IDS_ERROR_NOSOURCE, "დისტრიბუციული ნაკრების ფაილი veskp8.efd ვერ მოიძებნა."},
    {IDS_ERROR_NOTARGET, "შაბლონების ინსტალაცია მიმდინარე საქაღალდეში არ არის მხარდაჭერილი."},
    {IDS_ERROR_NOSPACE, "საქაღალდეში Temp არ არის საკმარისი თავისუფალი ადგილი."},
    {IDS_CHOOSEDIR_FOLDER, "&საქაღალდე:"},
    {IDS_CHOOSEDIR_TITLE, "საქაღალდის არჩევა"},
    {IDR_MAINFRAME, "კონფიგურაციის ინსტალაცია"},
    {IDS_SETUP_EMPTYTARGET, "მიუთითეთ შაბლონების საქაღალდის სწორი გზა."},
    {IDS_INSTALL_FINISH, "კოპირება დასრულდა..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "დისტრიბუციული ნაკრების ფაილი veskp8.efd დაზიანებულია ან არ არის განკუთვნილი ამ ინსტალაციის "
     "პროგრამისთვის."},
    {IDS_DEFPRODUCT, "<პროდუქტი>"},
    {IDS_DEFPROVIDER, "<მომწოდებელი>"},
    {IDS_SUCCESS_FINISH, "კონფიგურაცია წარმატებით დაინსტალირდა."},
    {IDS_SUCCESS_OPENDESCR, "დისტრიბუციული ნაკრების აღწერის გახსნა"},
    {IDS_PROGRESS_START, "მიმდინარეობს ფაილების კოპირება..."},
    {IDS_ERROR_FINISH,
     "ინსტალაციის პროცესში მოხდა შეცდომა. ინსტალაცია გაუქმდა. შაბლონების საქაღალდე არ შეცვლილა."},
    {IDS_CANCEL_FINISH, "ინსტალაცია გაუქმდა. შაბლონების საქაღალდე არ შეცვლილა."},
    {IDS_BROWSE_SELDIR, "არჩეული საქაღალდე:"},
    {IDS_BROWSE_OK, "არჩევა"},
    {IDS_BROWSE_CANCEL, "გაუქმება"},
    {IDS_WELCOME_TITLE, "მოგესალმებათ პროდუქტის ინსტალაციის პროგრამა"},
    {IDS_SETUP_EXISTEDTARGET,
     "ინსტალაციის საქაღალდე შეიცავს ფაილებს, რომლებიც შეიძლება შეიცვალოს ინსტალაციის პროცესში. "
     "გსურთ გაგრძელება?"},
    {IDS_DESTINATION_PROMPT,
     "მიუთითეთ შაბლონების საქაღალდის გზა. ინსტალაციის პროგრამა დააინსტალირებს შაბლონებსა და "
     "კონფიგურაციის ფაილებს მითითებულ საქაღალდეში."},
    {IDS_TEMPLATE_CATALOG, "შაბლონების საქაღალდე:"},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "ეკრანის გახსნა ვერ მოხერხდა. -Q "
     "პარამეტრით ინსტალერი ეკრანის "
     "გარეშე მუშაობს."},
    {IDS_ERROR_NOTREGISTERED,
     "შაბლონები დაინსტალირდა, მაგრამ "
     "გამშვების კონფიგურაციის "
     "განახლება ვერ მოხერხდა:"},
    {IDS_ERROR_NOTRESTORED,
     "ინსტალაციის შეცდომა. შაბლონების "
     "საქაღალდის სრულად აღდგენა ვერ "
     "მოხერხდა; ჩანაცვლებული "
     "ორიგინალები შენახულია აქ:"},
};

}  // namespace

std::span<const TextPair> GeorgianTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
