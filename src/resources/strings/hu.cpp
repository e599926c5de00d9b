// Hungarian texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Vissza"},
    {IDS_WIZARD_NEXT, "Tovább >"},
    {IDS_WIZARD_FINISH, "Kész"},
    {IDS_WIZARD_CANCEL, "Mégse"},
    {IDS_ACCEPT_CANCEL, "Biztosan meg akarja szakítani a telepítést?"},
    {IDS_TITLE_INSTALLER, "Konfiguráció telepítése"},
    {IDS_PREPARECOPY, "Másolás előkészítése..."},
    {IDS_INSTALL_ERROR, "Telepítési hiba"},
    {IDS_ERROR_NOSOURCE, "A veskp8.efd terjesztési csomagfájl nem található."},
    {IDS_ERROR_NOTARGET, "A sablonok telepítése az aktuális könyvtárba nem támogatott."},
    {IDS_ERROR_NOSPACE, "Nincs elég szabad hely a Temp könyvtárban."},
    {IDS_CHOOSEDIR_FOLDER, "&Mappa:"},
    {IDS_CHOOSEDIR_TITLE, "Könyvtár kiválasztása"},
    {IDR_MAINFRAME, "Konfiguráció telepítése"},
    {IDS_SETUP_EMPTYTARGET, "Adja meg a sablonkönyvtár helyes elérési útját."},
    {IDS_INSTALL_FINISH, "A másolás befejeződött..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "A veskp8.efd terjesztési csomagfájl sérült, vagy nem ehhez a telepítőprogramhoz készült."},
    {IDS_DEFPRODUCT, "<Termék>"},
    {IDS_DEFPROVIDER, "<Szállító>"},
    {IDS_SUCCESS_FINISH, "A konfiguráció telepítése sikeresen befejeződött."},
    {IDS_SUCCESS_OPENDESCR, "A telepítőcsomag leírásának megnyitása"},
    {IDS_PROGRESS_START, "Fájlok másolása folyamatban..."},
    {IDS_ERROR_FINISH,
     "Hiba történt a telepítés során. A telepítés megszakadt. A sablonkönyvtár nem változott."},
    {IDS_CANCEL_FINISH, "A telepítés megszakadt. A sablonkönyvtár nem változott."},
    {IDS_BROWSE_SELDIR, "Kiválasztott könyvtár:"},
    {IDS_BROWSE_OK, "Kiválasztás"},
    {IDS_BROWSE_CANCEL, "Mégse"},
    {IDS_WELCOME_TITLE, "Üdvözli a termék telepítőprogramja"},
    {IDS_SETUP_EXISTEDTARGET,
     "A telepítési könyvtár olyan fájlokat tartalmaz, amelyek a telepítés során módosulhatnak. "
     "Folytatja?"},
    {IDS_DESTINATION_PROMPT,
     "Adja meg a sablonkönyvtár elérési útját. A telepítőprogram a megadott könyvtárba telepíti a "
     "sablonokat és a konfigurációs fájlokat."},
    {IDS_TEMPLATE_CATALOG, "Sablonkönyvtár:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "A sablonkönyvtárat nem sikerült teljesen visszaállítani. A lecserélt "
     "eredeti fájlok helye: %1. A számítógép újraindítása törölheti ezt a "
     "könyvtárat, ha ideiglenes fájlrendszeren van."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "Hiba történt a telepítés során. A telepítés megszakadt. A "
     "sablonkönyvtárat nem sikerült teljesen visszaállítani. A lecserélt eredeti "
     "fájlok helye: %1. Másolja vissza őket a számítógép újraindítása "
     "előtt, mert az újraindítás törölheti ezt a könyvtárat, ha ideiglenes "
     "fájlrendszeren van."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "Ebbe a sablonkönyvtárba éppen egy másik telepítés folyik. Próbálja "
     "újra, ha az befejeződött."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "A kijelzőt nem sikerült megnyitni. A -Q kapcsolóval a telepítő kijelző nélkül fut."},
    {IDS_ERROR_NOTREGISTERED,
     "A sablonok telepítése megtörtént, de az indítóprogram beállításait nem sikerült "
     "frissíteni:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED,
     "Egy korábbi telepítés a(z) %1 könyvtárba megszakadt. A könyvtár visszaállítása megtörtént."},
    {IDS_RECOVERY_INCOMPLETE,
     "Egy korábbi telepítés a(z) %1 könyvtárba megszakadt, és a könyvtárat nem sikerült teljesen "
     "visszaállítani. Érintett fájlok: %2.%3 A teljes lista: %4."},
    {IDS_RECOVERY_COMPLETED,
     "Egy korábbi telepítés a(z) %1 könyvtárba a befejezés közben megszakadt. Most befejeződött."},
    {IDS_RECOVERY_DAMAGED,
     "Egy megszakadt telepítés sérült naplóját félretettük %1 néven. Emiatt semmi sem változott."},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "A veskp8.efd terjesztési csomag nincs aláírva, ezen a számítógépen pedig csak "
     "aláírt csomagok telepíthetők."},
    {IDS_SIGNATURE_DAMAGED,
     "A veskp8.efd.minisig aláírásfájl sérült, vagy a formátuma nem elfogadott."},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "A veskp8.efd terjesztési csomag aláírásához használt kulcs (%1) ezen a "
     "számítógépen nem megbízható."},
    {IDS_SIGNATURE_MISMATCH,
     "A veskp8.efd terjesztési csomag nem egyezik az aláírásával: az aláírás óta "
     "módosították."},
    {IDS_SIGNATURE_KEYFILE,
     "A megbízható kulcsokat tartalmazó fájl (%1) nem olvasható, vagy nincs benne "
     "érvényes kulcs, ezért egyetlen csomag sem ellenőrizhető."},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "A program nem használja a megbízható kulcsokat tartalmazó fájlt (%1), mert más "
     "felhasználók módosíthatják."},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "Ismeretlen kapcsoló: %1. Semmi sem történt; a kapcsolók listáját a veskp8-setup --help írja ki."},
    {IDS_USAGE_NEEDQUIET,
     "A(z) %1 kapcsoló csak a -Q kapcsolóval együtt használható. Semmi sem történt."},
    {IDS_USAGE_CONFLICT,
     "A(z) %1 kapcsoló nem használható együtt a --verify kapcsolóval. Semmi sem történt."},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "A telepítő ablakához a GTK 2 könyvtárak szükségesek, amelyek nincsenek telepítve ezen a "
     "gépen. A -Q kapcsolóval a telepítő nélkülük is fut."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Adja meg a sablonkönyvtár teljes elérési útját: / jellel kezdődik (vagy ~ jellel a saját mappájához)."},
    {IDS_ERROR_REASON_ACCESS, "Hozzáférés megtagadva."},
    {IDS_ERROR_REASON_NOSPACE, "Nincs több szabad hely az eszközön."},
    {IDS_ERROR_REASON_QUOTA, "A lemezkvóta túllépve."},
    {IDS_ERROR_REASON_READONLY, "A fájlrendszer csak olvasható."},
    {IDS_ERROR_REASON_ISDIR, "A nevet már egy könyvtár használja."},
    {IDS_ERROR_REASON_EXISTS, "A nevet már valami olyan használja, ami nem fájl."},
    {IDS_ERROR_REASON_NOTDIR, "Az elérési út egy része fájl, nem könyvtár."},
    {IDS_ERROR_REASON_NOTFOUND, "A fájl vagy könyvtár nem létezik."},
    {IDS_ERROR_REASON_NAMETOOLONG, "A név túl hosszú."},
    {IDS_ERROR_REASON_IO, "Az eszköz be- és kimeneti hibát jelzett."},
    {IDS_ERROR_REASON_OTHER, "Rendszerhiba: %1."},
    {IDS_ERROR_TARGETSPACE, "Nincs elég szabad hely a sablonok számára itt: %1. Szükséges: %2, elérhető: %3."},
    {IDS_SIZE_KB, "%1\u00A0KB"},
    {IDS_SIZE_MB, "%1\u00A0MB"},
    {IDS_SIZE_GB, "%1\u00A0GB"},
    {IDS_SUCCESS_WHERE, "A fájlok helye: %1."},
    {IDS_SUCCESS_COUNTS, "Új fájlok: %1. Lecserélve: %2. Már naprakész: %3."},
};

}  // namespace

std::span<const TextPair> HungarianTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
