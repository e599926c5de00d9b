// Lithuanian texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Atgal"},
    {IDS_WIZARD_NEXT, "Toliau >"},
    {IDS_WIZARD_FINISH, "Baigti"},
    {IDS_WIZARD_CANCEL, "Atšaukti"},
    {IDS_ACCEPT_CANCEL, "Ar tikrai norite atšaukti diegimą?"},
    {IDS_TITLE_INSTALLER, "Konfigūracijos diegimas"},
    {IDS_PREPARECOPY, "Ruošiamasi kopijuoti..."},
    {IDS_INSTALL_ERROR, "Diegimo klaida"},
    {IDS_ERROR_NOSOURCE, "Platinimo rinkinio failas veskp8.efd nerastas."},
    {IDS_ERROR_NOTARGET, "Šablonų diegimas į dabartinį katalogą nepalaikomas."},
    {IDS_ERROR_NOSPACE, "Kataloge Temp nepakanka laisvos vietos."},
    {IDS_CHOOSEDIR_FOLDER, "&Aplankas:"},
    {IDS_CHOOSEDIR_TITLE, "Pasirinkite katalogą"},
    {IDR_MAINFRAME, "Konfigūracijos diegimas"},
    {IDS_SETUP_EMPTYTARGET, "Nurodykite teisingą kelią į šablonų katalogą."},
    {IDS_INSTALL_FINISH, "Kopijavimas baigtas..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "Platinimo rinkinio failas veskp8.efd sugadintas arba neskirtas šiai diegimo programai."},
    {IDS_DEFPRODUCT, "<Produktas>"},
    {IDS_DEFPROVIDER, "<Tiekėjas>"},
    {IDS_SUCCESS_FINISH, "Konfigūracija sėkmingai įdiegta."},
    {IDS_SUCCESS_OPENDESCR, "Atverti platinimo rinkinio aprašą"},
    {IDS_PROGRESS_START, "Kopijuojami failai..."},
    {IDS_ERROR_FINISH,
     "Diegimo metu įvyko klaida. Diegimas atšauktas. Šablonų katalogas nepakeistas."},
    {IDS_CANCEL_FINISH, "Diegimas atšauktas. Šablonų katalogas nepakeistas."},
    {IDS_BROWSE_SELDIR, "Pasirinktas katalogas:"},
    {IDS_BROWSE_OK, "Pasirinkti"},
    {IDS_BROWSE_CANCEL, "Atšaukti"},
    {IDS_WELCOME_TITLE, "Sveiki atvykę į produkto diegimo programą"},
    {IDS_SETUP_EXISTEDTARGET,
     "Diegimo kataloge yra failų, kurie diegimo metu gali būti pakeisti. Ar norite tęsti?"},
    {IDS_DESTINATION_PROMPT,
     "Nurodykite kelią į šablonų katalogą. Diegimo programa įdiegs šablonus ir konfigūracijos "
     "failus į nurodytą katalogą."},
    {IDS_TEMPLATE_CATALOG, "Šablonų katalogas:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "Šablonų katalogo nepavyko visiškai atkurti. Pakeisti originalūs failai "
     "laikomi kataloge %1. Perkrovus kompiuterį šis katalogas gali būti ištrintas, "
     "jei jis yra laikinojoje failų sistemoje."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "Diegimo metu įvyko klaida. Diegimas atšauktas. Šablonų katalogo nepavyko "
     "visiškai atkurti: pakeisti originalūs failai laikomi kataloge %1. "
     "Nukopijuokite juos atgal prieš perkraudami kompiuterį: perkrovus šis "
     "katalogas gali būti ištrintas, jei jis yra laikinojoje failų sistemoje."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "Į šį šablonų katalogą šiuo metu vyksta kitas diegimas. Bandykite dar "
     "kartą, kai jis baigsis."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Nepavyko atverti ekrano. Su parinktimi -Q diegimo programa veikia be ekrano."},
    {IDS_ERROR_NOTREGISTERED,
     "Šablonai įdiegti, bet nepavyko atnaujinti paleidimo programos konfigūracijos:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED,
     "Ankstesnis diegimas į katalogą %1 buvo nutrauktas. Katalogas atkurtas."},
    {IDS_RECOVERY_INCOMPLETE,
     "Ankstesnis diegimas į katalogą %1 buvo nutrauktas, ir katalogo nepavyko visiškai atkurti. "
     "Paveikti failai: %2.%3 Visas sąrašas: %4."},
    {IDS_RECOVERY_COMPLETED,
     "Ankstesnis diegimas į katalogą %1 buvo nutrauktas jį baigiant. Dabar jis baigtas."},
    {IDS_RECOVERY_DAMAGED,
     "Sugadintas nutraukto diegimo žurnalas atidėtas kaip %1. Dėl jo niekas nepakeista."},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "Platinimo rinkinys veskp8.efd nepasirašytas, o šiame kompiuteryje galima diegti tik "
     "pasirašytus rinkinius."},
    {IDS_SIGNATURE_DAMAGED,
     "Parašo failas veskp8.efd.minisig sugadintas arba nepriimtino formato."},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "Platinimo rinkinys veskp8.efd pasirašytas raktu %1, kuris šiame kompiuteryje nėra "
     "patikimas."},
    {IDS_SIGNATURE_MISMATCH,
     "Platinimo rinkinys veskp8.efd neatitinka savo parašo: jis buvo pakeistas po "
     "pasirašymo."},
    {IDS_SIGNATURE_KEYFILE,
     "Patikimų raktų failo %1 nepavyksta perskaityti arba jame nėra tinkamo rakto, todėl "
     "negalima patikrinti nė vieno rinkinio."},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "Patikimų raktų failas %1 nenaudojamas, nes jį galėtų pakeisti kiti naudotojai."},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "Nežinoma parinktis %1. Nieko nepadaryta; parinkčių sąrašą pateikia veskp8-setup --help."},
    {IDS_USAGE_NEEDQUIET,
     "Parinktis %1 veikia tik kartu su -Q. Nieko nepadaryta."},
    {IDS_USAGE_CONFLICT,
     "Parinkties %1 negalima derinti su --verify. Nieko nepadaryta."},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "Diegimo programos langui reikia GTK 2 bibliotekų, kurios šiame kompiuteryje neįdiegtos. Su "
     "parinktimi -Q diegimo programa veikia be jų."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Nurodykite visą šablonų katalogo kelią: jis prasideda simboliu / (arba ~, jei tai jūsų namų katalogas)."},
    {IDS_ERROR_REASON_ACCESS, "Prieiga uždrausta."},
    {IDS_ERROR_REASON_NOSPACE, "Įrenginyje neliko laisvos vietos."},
    {IDS_ERROR_REASON_QUOTA, "Viršyta disko kvota."},
    {IDS_ERROR_REASON_READONLY, "Failų sistema skirta tik skaityti."},
    {IDS_ERROR_REASON_ISDIR, "Šį pavadinimą jau naudoja katalogas."},
    {IDS_ERROR_REASON_EXISTS, "Šį pavadinimą jau naudoja kažkas, kas nėra failas."},
    {IDS_ERROR_REASON_NOTDIR, "Dalis kelio yra failas, o ne katalogas."},
    {IDS_ERROR_REASON_NOTFOUND, "Failas arba katalogas neegzistuoja."},
    {IDS_ERROR_REASON_NAMETOOLONG, "Pavadinimas per ilgas."},
    {IDS_ERROR_REASON_IO, "Įrenginys pranešė apie įvesties / išvesties klaidą."},
    {IDS_ERROR_REASON_OTHER, "Sistemos klaida %1."},
    {IDS_ERROR_TARGETSPACE, "Šablonams kataloge %1 nepakanka laisvos vietos: reikia %2, yra %3."},
    {IDS_SIZE_KB, "%1\u00A0KB"},
    {IDS_SIZE_MB, "%1\u00A0MB"},
    {IDS_SIZE_GB, "%1\u00A0GB"},
    {IDS_SUCCESS_WHERE, "Failai yra kataloge %1."},
    {IDS_SUCCESS_COUNTS, "Nauji failai: %1. Pakeisti: %2. Jau naujausi: %3."},
};

}  // namespace

std::span<const TextPair> LithuanianTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
