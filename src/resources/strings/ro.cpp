// Romanian texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Înapoi"},
    {IDS_WIZARD_NEXT, "Înainte >"},
    {IDS_WIZARD_FINISH, "Gata"},
    {IDS_WIZARD_CANCEL, "Anulare"},
    {IDS_ACCEPT_CANCEL, "Sigur doriți să anulați instalarea?"},
    {IDS_TITLE_INSTALLER, "Instalarea configurației"},
    {IDS_PREPARECOPY, "Se pregătește copierea..."},
    {IDS_INSTALL_ERROR, "Eroare de instalare"},
    {IDS_ERROR_NOSOURCE, "Fișierul pachetului de distribuție veskp8.efd nu a fost găsit."},
    {IDS_ERROR_NOTARGET, "Instalarea șabloanelor în directorul curent nu este acceptată."},
    {IDS_ERROR_NOSPACE, "Spațiu insuficient în directorul Temp."},
    {IDS_CHOOSEDIR_FOLDER, "&Dosar:"},
    {IDS_CHOOSEDIR_TITLE, "Alegeți directorul"},
    {IDR_MAINFRAME, "Instalarea configurației"},
    {IDS_SETUP_EMPTYTARGET, "Specificați o cale corectă către directorul de șabloane."},
    {IDS_INSTALL_FINISH, "Copiere finalizată..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "Fișierul pachetului de distribuție veskp8.efd este deteriorat sau nu este destinat acestui "
     "program de instalare."},
    {IDS_DEFPRODUCT, "<Produs>"},
    {IDS_DEFPROVIDER, "<Furnizor>"},
    {IDS_SUCCESS_FINISH, "Configurația a fost instalată cu succes."},
    {IDS_SUCCESS_OPENDESCR, "Deschideți descrierea pachetului"},
    {IDS_PROGRESS_START, "Se copiază fișierele..."},
    {IDS_ERROR_FINISH,
     "A apărut o eroare în timpul instalării. Instalarea a fost anulată. Directorul de șabloane nu "
     "a fost modificat."},
    {IDS_CANCEL_FINISH, "Instalarea a fost anulată. Directorul de șabloane nu a fost modificat."},
    {IDS_BROWSE_SELDIR, "Director selectat:"},
    {IDS_BROWSE_OK, "Selectare"},
    {IDS_BROWSE_CANCEL, "Anulare"},
    {IDS_WELCOME_TITLE, "Bun venit în programul de instalare a produsului"},
    {IDS_SETUP_EXISTEDTARGET,
     "Directorul de instalare conține fișiere care pot fi modificate în timpul instalării. Doriți "
     "să continuați?"},
    {IDS_DESTINATION_PROMPT,
     "Specificați calea către directorul de șabloane. Programul de instalare va instala șabloanele "
     "și fișierele de configurare în directorul specificat."},
    {IDS_TEMPLATE_CATALOG, "Director de șabloane:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "Directorul de șabloane nu a putut fi restaurat complet. Fișierele originale "
     "înlocuite sunt păstrate în %1. O repornire a calculatorului poate șterge "
     "acest director dacă se află într-un sistem de fișiere temporar."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "A apărut o eroare în timpul instalării. Instalarea a fost anulată. "
     "Directorul de șabloane nu a putut fi restaurat complet: fișierele originale "
     "înlocuite sunt păstrate în %1. Copiați-le înapoi înainte de a reporni "
     "calculatorul: o repornire poate șterge acest director dacă se află într-un "
     "sistem de fișiere temporar."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "O altă instalare în acest director de șabloane este în curs. Încercați din "
     "nou după ce se termină."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Ecranul nu a putut fi deschis. Cu opțiunea -Q, programul de instalare funcționează "
     "fără ecran."},
    {IDS_ERROR_NOTREGISTERED,
     "Șabloanele au fost instalate, dar configurația lansatorului nu a putut fi actualizată:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED,
     "O instalare anterioară în %1 a fost întreruptă. Directorul a fost restaurat."},
    {IDS_RECOVERY_INCOMPLETE,
     "O instalare anterioară în %1 a fost întreruptă, iar directorul nu a putut fi restaurat "
     "complet. Fișiere afectate: %2.%3 Lista completă se află în %4."},
    {IDS_RECOVERY_COMPLETED,
     "O instalare anterioară în %1 a fost întreruptă în timpul finalizării. Acum a fost "
     "finalizată."},
    {IDS_RECOVERY_DAMAGED,
     "Un jurnal deteriorat al unei instalări întrerupte a fost pus deoparte ca %1. Din cauza lui "
     "nu s-a modificat nimic."},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "Pachetul de distribuție veskp8.efd nu este semnat, iar pe acest computer pot fi "
     "instalate doar pachete semnate."},
    {IDS_SIGNATURE_DAMAGED,
     "Fișierul de semnătură veskp8.efd.minisig este deteriorat sau are un format "
     "neacceptat."},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "Pachetul de distribuție veskp8.efd este semnat cu cheia %1, care nu este de încredere "
     "pe acest computer."},
    {IDS_SIGNATURE_MISMATCH,
     "Pachetul de distribuție veskp8.efd nu corespunde semnăturii sale: a fost modificat "
     "după ce a fost semnat."},
    {IDS_SIGNATURE_KEYFILE,
     "Fișierul cu chei de încredere %1 nu poate fi citit sau nu conține nicio cheie "
     "validă, așa că niciun pachet nu poate fi verificat."},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "Fișierul cu chei de încredere %1 nu este folosit, deoarece alți utilizatori l-ar "
     "putea modifica."},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "Opțiune necunoscută %1. Nu s-a făcut nimic; veskp8-setup --help afișează opțiunile."},
    {IDS_USAGE_NEEDQUIET,
     "Opțiunea %1 funcționează doar împreună cu -Q. Nu s-a făcut nimic."},
    {IDS_USAGE_CONFLICT,
     "Opțiunea %1 nu poate fi combinată cu --verify. Nu s-a făcut nimic."},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "Fereastra programului de instalare necesită bibliotecile GTK 2, care nu sunt instalate pe "
     "acest calculator. Cu opțiunea -Q, programul de instalare funcționează fără ele."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Specificați calea completă a directorului de șabloane: începe cu / (sau cu ~ pentru directorul dumneavoastră personal)."},
    {IDS_ERROR_REASON_ACCESS, "Permisiune refuzată."},
    {IDS_ERROR_REASON_NOSPACE, "Nu a mai rămas spațiu liber pe dispozitiv."},
    {IDS_ERROR_REASON_QUOTA, "Cota de disc a fost depășită."},
    {IDS_ERROR_REASON_READONLY, "Sistemul de fișiere este doar în citire."},
    {IDS_ERROR_REASON_ISDIR, "Numele este deja folosit de un director."},
    {IDS_ERROR_REASON_EXISTS, "Numele este deja folosit de ceva ce nu este un fișier."},
    {IDS_ERROR_REASON_NOTDIR, "O parte a căii este un fișier, nu un director."},
    {IDS_ERROR_REASON_NOTFOUND, "Fișierul sau directorul nu există."},
    {IDS_ERROR_REASON_NAMETOOLONG, "Numele este prea lung."},
    {IDS_ERROR_REASON_IO, "Dispozitivul a semnalat o eroare de intrare/ieșire."},
    {IDS_ERROR_REASON_OTHER, "Eroare de sistem %1."},
    {IDS_ERROR_TARGETSPACE, "Spațiu liber insuficient pentru șabloane în %1: sunt necesari %2, sunt disponibili %3."},
    {IDS_SIZE_KB, "%1\u00A0KB"},
    {IDS_SIZE_MB, "%1\u00A0MB"},
    {IDS_SIZE_GB, "%1\u00A0GB"},
    {IDS_SUCCESS_WHERE, "Fișierele se află în %1."},
    {IDS_SUCCESS_COUNTS, "Fișiere noi: %1. Înlocuite: %2. Deja actualizate: %3."},
};

}  // namespace

std::span<const TextPair> RomanianTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
