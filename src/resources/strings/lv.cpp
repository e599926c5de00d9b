// Latvian texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Atpakaļ"},
    {IDS_WIZARD_NEXT, "Tālāk >"},
    {IDS_WIZARD_FINISH, "Pabeigt"},
    {IDS_WIZARD_CANCEL, "Atcelt"},
    {IDS_ACCEPT_CANCEL, "Vai tiešām vēlaties atcelt instalēšanu?"},
    {IDS_TITLE_INSTALLER, "Konfigurācijas instalēšana"},
    {IDS_PREPARECOPY, "Gatavošanās kopēšanai..."},
    {IDS_INSTALL_ERROR, "Instalēšanas kļūda"},
    {IDS_ERROR_NOSOURCE, "Izplatīšanas komplekta fails veskp8.efd nav atrasts."},
    {IDS_ERROR_NOTARGET, "Veidņu instalēšana pašreizējā direktorijā netiek atbalstīta."},
    {IDS_ERROR_NOSPACE, "Direktorijā Temp nepietiek brīvas vietas."},
    {IDS_CHOOSEDIR_FOLDER, "&Mape:"},
    {IDS_CHOOSEDIR_TITLE, "Izvēlēties direktoriju"},
    {IDR_MAINFRAME, "Konfigurācijas instalēšana"},
    {IDS_SETUP_EMPTYTARGET, "Norādiet pareizu ceļu uz veidņu direktoriju."},
    {IDS_INSTALL_FINISH, "Kopēšana pabeigta..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "Izplatīšanas komplekta fails veskp8.efd ir bojāts vai nav paredzēts šai instalēšanas "
     "programmai."},
    {IDS_DEFPRODUCT, "<Produkts>"},
    {IDS_DEFPROVIDER, "<Piegādātājs>"},
    {IDS_SUCCESS_FINISH, "Konfigurācija ir veiksmīgi instalēta."},
    {IDS_SUCCESS_OPENDESCR, "Atvērt izplatīšanas komplekta aprakstu"},
    {IDS_PROGRESS_START, "Notiek failu kopēšana..."},
    {IDS_ERROR_FINISH,
     "Instalēšanas laikā radās kļūda. Instalēšana atcelta. Veidņu direktorijs nav mainīts."},
    {IDS_CANCEL_FINISH, "Instalēšana atcelta. Veidņu direktorijs nav mainīts."},
    {IDS_BROWSE_SELDIR, "Izvēlētais direktorijs:"},
    {IDS_BROWSE_OK, "Izvēlēties"},
    {IDS_BROWSE_CANCEL, "Atcelt"},
    {IDS_WELCOME_TITLE, "Laipni lūdzam produkta instalēšanas programmā"},
    {IDS_SETUP_EXISTEDTARGET,
     "Instalēšanas direktorijā ir faili, kas instalēšanas laikā var tikt mainīti. Vai vēlaties "
     "turpināt?"},
    {IDS_DESTINATION_PROMPT,
     "Norādiet ceļu uz veidņu direktoriju. Instalēšanas programma instalēs veidnes un "
     "konfigurācijas failus norādītajā direktorijā."},
    {IDS_TEMPLATE_CATALOG, "Veidņu direktorijs:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "Veidņu direktoriju neizdevās pilnībā atjaunot. Aizstātie oriģinālie faili "
     "ir saglabāti direktorijā %1. Datora restartēšana var izdzēst šo "
     "direktoriju, ja tas atrodas pagaidu failu sistēmā."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "Instalēšanas laikā radās kļūda. Instalēšana atcelta. Veidņu direktoriju "
     "neizdevās pilnībā atjaunot: aizstātie oriģinālie faili ir saglabāti "
     "direktorijā %1. Pirms datora restartēšanas nokopējiet tos atpakaļ: "
     "restartēšana var izdzēst šo direktoriju, ja tas atrodas pagaidu failu "
     "sistēmā."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "Šajā veidņu direktorijā pašlaik notiek cita instalēšana. Mēģiniet "
     "vēlreiz, kad tā būs pabeigta."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Displeju nevarēja atvērt. Ar opciju -Q instalētājs darbojas bez displeja."},
    {IDS_ERROR_NOTREGISTERED,
     "Veidnes tika instalētas, taču palaidēja konfigurāciju nevarēja atjaunināt:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED,
     "Iepriekšējā instalēšana direktorijā %1 tika pārtraukta. Direktorijs ir atjaunots."},
    {IDS_RECOVERY_INCOMPLETE,
     "Iepriekšējā instalēšana direktorijā %1 tika pārtraukta, un direktoriju neizdevās pilnībā "
     "atjaunot. Skartie faili: %2.%3 Pilns saraksts: %4."},
    {IDS_RECOVERY_COMPLETED,
     "Iepriekšējā instalēšana direktorijā %1 tika pārtraukta pabeigšanas laikā. Tagad tā ir "
     "pabeigta."},
    {IDS_RECOVERY_DAMAGED,
     "Pārtrauktas instalēšanas bojātais žurnāls ir nolikts malā ar nosaukumu %1. Tā dēļ nekas "
     "netika mainīts."},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "Izplatīšanas komplekts veskp8.efd nav parakstīts, bet šajā datorā drīkst "
     "instalēt tikai parakstītus komplektus."},
    {IDS_SIGNATURE_DAMAGED,
     "Paraksta fails veskp8.efd.minisig ir bojāts vai nepieņemamā formātā."},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "Izplatīšanas komplekts veskp8.efd ir parakstīts ar atslēgu %1, kas šajā datorā "
     "nav uzticama."},
    {IDS_SIGNATURE_MISMATCH,
     "Izplatīšanas komplekts veskp8.efd neatbilst savam parakstam: tas ir mainīts pēc "
     "parakstīšanas."},
    {IDS_SIGNATURE_KEYFILE,
     "Uzticamo atslēgu failu %1 nevar nolasīt vai tajā nav nevienas derīgas atslēgas, "
     "tāpēc nevienu komplektu nevar pārbaudīt."},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "Uzticamo atslēgu fails %1 netiek izmantots, jo to varētu mainīt citi lietotāji."},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "Nezināma opcija %1. Nekas netika darīts; opciju sarakstu parāda veskp8-setup --help."},
    {IDS_USAGE_NEEDQUIET,
     "Opcija %1 darbojas tikai kopā ar -Q. Nekas netika darīts."},
    {IDS_USAGE_CONFLICT,
     "Opciju %1 nevar apvienot ar --verify. Nekas netika darīts."},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "Instalētāja logam vajadzīgas GTK 2 bibliotēkas, kas šajā datorā nav instalētas. Ar opciju -Q "
     "instalētājs darbojas bez tām."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Norādiet pilnu veidņu direktorija ceļu: tas sākas ar / (vai ar ~, ja tā ir jūsu mājas direktorijs)."},
    {IDS_ERROR_REASON_ACCESS, "Piekļuve liegta."},
    {IDS_ERROR_REASON_NOSPACE, "Ierīcē nav palicis brīvas vietas."},
    {IDS_ERROR_REASON_QUOTA, "Pārsniegta diska kvota."},
    {IDS_ERROR_REASON_READONLY, "Failu sistēma ir tikai lasāma."},
    {IDS_ERROR_REASON_ISDIR, "Šo nosaukumu jau izmanto direktorijs."},
    {IDS_ERROR_REASON_EXISTS, "Šo nosaukumu jau izmanto kaut kas, kas nav fails."},
    {IDS_ERROR_REASON_NOTDIR, "Daļa ceļa ir fails, nevis direktorijs."},
    {IDS_ERROR_REASON_NOTFOUND, "Fails vai direktorijs neeksistē."},
    {IDS_ERROR_REASON_NAMETOOLONG, "Nosaukums ir pārāk garš."},
    {IDS_ERROR_REASON_IO, "Ierīce ziņoja par ievades/izvades kļūdu."},
    {IDS_ERROR_REASON_OTHER, "Sistēmas kļūda %1."},
    {IDS_ERROR_TARGETSPACE, "Veidnēm nepietiek brīvas vietas direktorijā %1: vajag %2, pieejams %3."},
    {IDS_SIZE_KB, "%1\u00A0KB"},
    {IDS_SIZE_MB, "%1\u00A0MB"},
    {IDS_SIZE_GB, "%1\u00A0GB"},
    {IDS_SUCCESS_WHERE, "Faili atrodas direktorijā %1."},
    {IDS_SUCCESS_COUNTS, "Jauni faili: %1. Aizstāti: %2. Jau aktuāli: %3."},
};

}  // namespace

std::span<const TextPair> LatvianTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
