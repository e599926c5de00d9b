// Italian texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Indietro"},
    {IDS_WIZARD_NEXT, "Avanti >"},
    {IDS_WIZARD_FINISH, "Fine"},
    {IDS_WIZARD_CANCEL, "Annulla"},
    {IDS_ACCEPT_CANCEL, "Annullare davvero l'installazione?"},
    {IDS_TITLE_INSTALLER, "Installazione della configurazione"},
    {IDS_PREPARECOPY, "Preparazione della copia..."},
    {IDS_INSTALL_ERROR, "Errore di installazione"},
    {IDS_ERROR_NOSOURCE, "File del pacchetto di distribuzione veskp8.efd non trovato."},
    {IDS_ERROR_NOTARGET, "L'installazione dei modelli nella directory corrente non è supportata."},
    {IDS_ERROR_NOSPACE, "Spazio insufficiente nella directory Temp."},
    {IDS_CHOOSEDIR_FOLDER, "&Cartella:"},
    {IDS_CHOOSEDIR_TITLE, "Scegli directory"},
    {IDR_MAINFRAME, "Installazione della configurazione"},
    {IDS_SETUP_EMPTYTARGET, "Specificare un percorso corretto per la directory dei modelli."},
    {IDS_INSTALL_FINISH, "Copia completata..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "Il file del pacchetto di distribuzione veskp8.efd è danneggiato o non è destinato a questo "
     "programma di installazione."},
    {IDS_DEFPRODUCT, "<Prodotto>"},
    {IDS_DEFPROVIDER, "<Fornitore>"},
    {IDS_SUCCESS_FINISH, "Configurazione installata correttamente."},
    {IDS_SUCCESS_OPENDESCR, "Apri la descrizione del pacchetto"},
    {IDS_PROGRESS_START, "Copia dei file in corso..."},
    {IDS_ERROR_FINISH,
     "Si è verificato un errore durante l'installazione. Installazione annullata. La directory dei "
     "modelli non è stata modificata."},
    {IDS_CANCEL_FINISH,
     "Installazione annullata. La directory dei modelli non è stata modificata."},
    {IDS_BROWSE_SELDIR, "Directory selezionata:"},
    {IDS_BROWSE_OK, "Seleziona"},
    {IDS_BROWSE_CANCEL, "Annulla"},
    {IDS_WELCOME_TITLE, "Benvenuti nel programma di installazione del prodotto"},
    {IDS_SETUP_EXISTEDTARGET,
     "La directory di installazione contiene file che potrebbero essere modificati durante "
     "l'installazione. Continuare?"},
    {IDS_DESTINATION_PROMPT,
     "Specificare il percorso della directory dei modelli. Il programma di installazione "
     "installerà i modelli e i file di configurazione nella directory specificata."},
    {IDS_TEMPLATE_CATALOG, "Directory dei modelli:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "Non è stato possibile ripristinare completamente la directory dei modelli. I "
     "file originali sostituiti sono conservati in %1. Un riavvio del computer può "
     "eliminare questa directory se si trova in un file system temporaneo."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "Si è verificato un errore durante l'installazione. Installazione annullata. Non "
     "è stato possibile ripristinare completamente la directory dei modelli: i file "
     "originali sostituiti sono conservati in %1. Ricopiarli prima di riavviare il "
     "computer: un riavvio può eliminare questa directory se si trova in un file "
     "system temporaneo."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "È in corso un'altra installazione in questa directory dei modelli. Riprovare al "
     "termine."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Impossibile aprire il display. Con l'opzione -Q il programma di installazione funziona "
     "senza display."},
    {IDS_ERROR_NOTREGISTERED,
     "I modelli sono stati installati, ma non è stato possibile aggiornare la configurazione del "
     "launcher:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED,
     "Un'installazione precedente in %1 è stata interrotta. La directory è stata ripristinata."},
    {IDS_RECOVERY_INCOMPLETE,
     "Un'installazione precedente in %1 è stata interrotta e non è stato possibile ripristinare "
     "completamente la directory. File interessati: %2.%3 L'elenco completo si trova in %4."},
    {IDS_RECOVERY_COMPLETED,
     "Un'installazione precedente in %1 è stata interrotta durante il completamento. Ora è stata "
     "completata."},
    {IDS_RECOVERY_DAMAGED,
     "Un registro danneggiato di un'installazione interrotta è stato messo da parte come %1. Non è "
     "stato modificato nulla a causa sua."},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "Il pacchetto di distribuzione veskp8.efd non è firmato e su questo computer si possono "
     "installare solo pacchetti firmati."},
    {IDS_SIGNATURE_DAMAGED,
     "Il file di firma veskp8.efd.minisig è danneggiato o in un formato non accettato."},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "Il pacchetto di distribuzione veskp8.efd è firmato con la chiave %1, che su questo "
     "computer non è considerata attendibile."},
    {IDS_SIGNATURE_MISMATCH,
     "Il pacchetto di distribuzione veskp8.efd non corrisponde alla sua firma: è stato "
     "modificato dopo essere stato firmato."},
    {IDS_SIGNATURE_KEYFILE,
     "Il file delle chiavi attendibili %1 non è leggibile o non contiene chiavi valide, "
     "quindi non è possibile verificare alcun pacchetto."},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "Il file delle chiavi attendibili %1 non viene usato perché altri utenti potrebbero "
     "modificarlo."},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "Opzione sconosciuta %1. Non è stato fatto nulla; veskp8-setup --help elenca le opzioni."},
    {IDS_USAGE_NEEDQUIET,
     "L'opzione %1 funziona solo insieme a -Q. Non è stato fatto nulla."},
    {IDS_USAGE_CONFLICT,
     "L'opzione %1 non può essere combinata con --verify. Non è stato fatto nulla."},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "La finestra del programma di installazione richiede le librerie GTK 2, che non sono "
     "installate su questo computer. Con l'opzione -Q il programma di installazione funziona senza "
     "di esse."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Specificare il percorso completo della directory dei modelli: inizia con / (oppure con ~ per la propria directory home)."},
    {IDS_ERROR_REASON_ACCESS, "Permesso negato."},
    {IDS_ERROR_REASON_NOSPACE, "Spazio esaurito sul dispositivo."},
    {IDS_ERROR_REASON_QUOTA, "Quota del disco superata."},
    {IDS_ERROR_REASON_READONLY, "Il file system è di sola lettura."},
    {IDS_ERROR_REASON_ISDIR, "Il nome è già usato da una directory."},
    {IDS_ERROR_REASON_EXISTS, "Il nome è già usato da qualcosa che non è un file."},
    {IDS_ERROR_REASON_NOTDIR, "Una parte del percorso è un file, non una directory."},
    {IDS_ERROR_REASON_NOTFOUND, "Il file o la directory non esiste."},
    {IDS_ERROR_REASON_NAMETOOLONG, "Il nome è troppo lungo."},
    {IDS_ERROR_REASON_IO, "Il dispositivo ha segnalato un errore di input/output."},
    {IDS_ERROR_REASON_OTHER, "Errore di sistema %1."},
    {IDS_ERROR_TARGETSPACE, "Spazio libero insufficiente per i modelli in %1: servono %2, disponibili %3."},
    {IDS_SIZE_KB, "%1\u00A0KB"},
    {IDS_SIZE_MB, "%1\u00A0MB"},
    {IDS_SIZE_GB, "%1\u00A0GB"},
    {IDS_SUCCESS_WHERE, "I file si trovano in %1."},
    {IDS_SUCCESS_COUNTS, "File nuovi: %1. Sostituiti: %2. Già aggiornati: %3."},
};

}  // namespace

std::span<const TextPair> ItalianTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
