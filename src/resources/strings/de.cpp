// German texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Zurück"},
    {IDS_WIZARD_NEXT, "Weiter >"},
    {IDS_WIZARD_FINISH, "Fertig"},
    {IDS_WIZARD_CANCEL, "Abbruch"},
    {IDS_ACCEPT_CANCEL, "Möchten Sie die Installation wirklich abbrechen?"},
    {IDS_TITLE_INSTALLER, "Konfiguration wird installiert"},
    {IDS_PREPARECOPY, "Kopiervorgang wird vorbereitet..."},
    {IDS_INSTALL_ERROR, "Installationsfehler"},
    {IDS_ERROR_NOSOURCE, "Die Datei des Distributionspakets veskp8.efd wurde nicht gefunden."},
    {IDS_ERROR_NOTARGET,
     "Die Installation von Vorlagen in das aktuelle Verzeichnis wird nicht unterstützt."},
    {IDS_ERROR_NOSPACE, "Nicht genügend Speicherplatz im Verzeichnis Temp."},
    {IDS_CHOOSEDIR_FOLDER, "&Ordner:"},
    {IDS_CHOOSEDIR_TITLE, "Verzeichnis auswählen"},
    {IDR_MAINFRAME, "Konfiguration wird installiert"},
    {IDS_SETUP_EMPTYTARGET, "Geben Sie einen gültigen Pfad zum Vorlagenverzeichnis an."},
    {IDS_INSTALL_FINISH, "Kopieren abgeschlossen..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "Die Datei des Distributionspakets veskp8.efd ist beschädigt oder nicht für dieses "
     "Installationsprogramm bestimmt."},
    {IDS_DEFPRODUCT, "<Produkt>"},
    {IDS_DEFPROVIDER, "<Anbieter>"},
    {IDS_SUCCESS_FINISH, "Die Konfiguration wurde erfolgreich installiert."},
    {IDS_SUCCESS_OPENDESCR, "Paketbeschreibung öffnen"},
    {IDS_PROGRESS_START, "Dateien werden kopiert..."},
    {IDS_ERROR_FINISH,
     "Während der Installation ist ein Fehler aufgetreten. Die Installation wurde abgebrochen. Das "
     "Vorlagenverzeichnis wurde nicht geändert."},
    {IDS_CANCEL_FINISH,
     "Die Installation wurde abgebrochen. Das Vorlagenverzeichnis wurde nicht geändert."},
    {IDS_BROWSE_SELDIR, "Ausgewähltes Verzeichnis:"},
    {IDS_BROWSE_OK, "Auswählen"},
    {IDS_BROWSE_CANCEL, "Abbrechen"},
    {IDS_WELCOME_TITLE, "Willkommen beim Installationsprogramm des Produkts"},
    {IDS_SETUP_EXISTEDTARGET,
     "Das Installationsverzeichnis enthält Dateien, die während der Installation geändert werden "
     "können. Möchten Sie fortfahren?"},
    {IDS_DESTINATION_PROMPT,
     "Geben Sie den Pfad zum Vorlagenverzeichnis an. Das Installationsprogramm installiert die "
     "Vorlagen und Konfigurationsdateien in das angegebene Verzeichnis."},
    {IDS_TEMPLATE_CATALOG, "Vorlagenverzeichnis:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "Das Vorlagenverzeichnis konnte nicht vollständig wiederhergestellt werden. Die "
     "ersetzten Originaldateien liegen in %1. Ein Neustart des Computers kann dieses "
     "Verzeichnis löschen, wenn es in einem temporären Dateisystem liegt."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "Während der Installation ist ein Fehler aufgetreten. Die Installation wurde "
     "abgebrochen. Das Vorlagenverzeichnis konnte nicht vollständig wiederhergestellt "
     "werden: Die ersetzten Originaldateien liegen in %1. Kopieren Sie sie zurück, "
     "bevor Sie den Computer neu starten: Ein Neustart kann dieses Verzeichnis "
     "löschen, wenn es in einem temporären Dateisystem liegt."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "In dieses Vorlagenverzeichnis wird gerade eine andere Installation "
     "durchgeführt. Versuchen Sie es erneut, wenn sie abgeschlossen ist."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Die Anzeige konnte nicht geöffnet werden. Mit der Option -Q arbeitet das "
     "Installationsprogramm ohne Anzeige."},
    {IDS_ERROR_NOTREGISTERED,
     "Die Vorlagen wurden installiert, aber die Konfiguration des Starters konnte nicht "
     "aktualisiert werden:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED,
     "Eine frühere Installation in %1 wurde unterbrochen. Das Verzeichnis wurde "
     "wiederhergestellt."},
    {IDS_RECOVERY_INCOMPLETE,
     "Eine frühere Installation in %1 wurde unterbrochen. Das Verzeichnis konnte nicht vollständig "
     "wiederhergestellt werden. Betroffene Dateien: %2.%3 Die vollständige Liste steht in %4."},
    {IDS_RECOVERY_COMPLETED,
     "Eine frühere Installation in %1 wurde beim Abschließen unterbrochen. Sie wurde jetzt "
     "abgeschlossen."},
    {IDS_RECOVERY_DAMAGED,
     "Ein beschädigtes Protokoll einer unterbrochenen Installation wurde als %1 beiseitegelegt. "
     "Deswegen wurde nichts geändert."},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "Das Distributionspaket veskp8.efd ist nicht signiert, auf diesem Computer dürfen aber "
     "nur signierte Pakete installiert werden."},
    {IDS_SIGNATURE_DAMAGED,
     "Die Signaturdatei veskp8.efd.minisig ist beschädigt oder hat ein nicht unterstütztes "
     "Format."},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "Das Distributionspaket veskp8.efd ist mit dem Schlüssel %1 signiert, dem auf diesem "
     "Computer nicht vertraut wird."},
    {IDS_SIGNATURE_MISMATCH,
     "Das Distributionspaket veskp8.efd stimmt nicht mit seiner Signatur überein: Es wurde "
     "nach dem Signieren verändert."},
    {IDS_SIGNATURE_KEYFILE,
     "Die Datei mit vertrauenswürdigen Schlüsseln %1 kann nicht gelesen werden oder enthält "
     "keinen gültigen Schlüssel, daher kann kein Paket geprüft werden."},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "Die Datei mit vertrauenswürdigen Schlüsseln %1 wird nicht verwendet, weil andere "
     "Benutzer sie ändern könnten."},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "Unbekannte Option %1. Es wurde nichts getan; veskp8-setup --help listet die Optionen auf."},
    {IDS_USAGE_NEEDQUIET,
     "Die Option %1 wirkt nur zusammen mit -Q. Es wurde nichts getan."},
    {IDS_USAGE_CONFLICT,
     "Die Option %1 kann nicht mit --verify kombiniert werden. Es wurde nichts getan."},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "Das Fenster des Installationsprogramms benötigt die GTK-2-Bibliotheken, die auf diesem "
     "Rechner nicht installiert sind. Mit der Option -Q arbeitet das Installationsprogramm ohne "
     "sie."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Geben Sie den vollständigen Pfad des Vorlagenverzeichnisses an: Er beginnt mit / (oder mit ~ für Ihr Home-Verzeichnis)."},
    {IDS_ERROR_REASON_ACCESS, "Zugriff verweigert."},
    {IDS_ERROR_REASON_NOSPACE, "Auf dem Gerät ist kein Speicherplatz mehr frei."},
    {IDS_ERROR_REASON_QUOTA, "Das Festplattenkontingent ist überschritten."},
    {IDS_ERROR_REASON_READONLY, "Das Dateisystem ist schreibgeschützt."},
    {IDS_ERROR_REASON_ISDIR, "Der Name wird bereits von einem Verzeichnis verwendet."},
    {IDS_ERROR_REASON_EXISTS, "Der Name wird bereits von etwas verwendet, das keine Datei ist."},
    {IDS_ERROR_REASON_NOTDIR, "Ein Teil des Pfades ist eine Datei und kein Verzeichnis."},
    {IDS_ERROR_REASON_NOTFOUND, "Die Datei oder das Verzeichnis existiert nicht."},
    {IDS_ERROR_REASON_NAMETOOLONG, "Der Name ist zu lang."},
    {IDS_ERROR_REASON_IO, "Das Gerät hat einen Ein-/Ausgabefehler gemeldet."},
    {IDS_ERROR_REASON_OTHER, "Systemfehler %1."},
    {IDS_ERROR_TARGETSPACE, "Nicht genügend freier Speicherplatz für die Vorlagen in %1: %2 benötigt, %3 verfügbar."},
    {IDS_SIZE_KB, "%1\u00A0KB"},
    {IDS_SIZE_MB, "%1\u00A0MB"},
    {IDS_SIZE_GB, "%1\u00A0GB"},
    {IDS_SUCCESS_WHERE, "Die Dateien befinden sich in %1."},
    {IDS_SUCCESS_COUNTS, "Neue Dateien: %1. Ersetzt: %2. Bereits aktuell: %3."},
};

}  // namespace

std::span<const TextPair> GermanTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
