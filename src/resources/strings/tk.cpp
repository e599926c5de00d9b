// Turkmen texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Yza"},
    {IDS_WIZARD_NEXT, "Indiki >"},
    {IDS_WIZARD_FINISH, "Tamamla"},
    {IDS_WIZARD_CANCEL, "Ýatyr"},
    {IDS_ACCEPT_CANCEL, "Gurnamany hakykatdan hem ýatyrmak isleýärsiňizmi?"},
    {IDS_TITLE_INSTALLER, "Konfigurasiýany gurnamak"},
    {IDS_PREPARECOPY, "Göçürmäge taýýarlanylýar..."},
    {IDS_INSTALL_ERROR, "Gurnama ýalňyşlygy"},
    {IDS_ERROR_NOSOURCE, "veskp8.efd paýlama toplumynyň faýly tapylmady."},
    {IDS_ERROR_NOTARGET, "Şablonlary häzirki kataloga gurnamak goldanylmaýar."},
    {IDS_ERROR_NOSPACE, "Temp katalogynda ýeterlik boş ýer ýok."},
    {IDS_CHOOSEDIR_FOLDER, "&Bukja:"},
    {IDS_CHOOSEDIR_TITLE, "Katalogy saýlaň"},
    {IDR_MAINFRAME, "Konfigurasiýany gurnamak"},
    {IDS_SETUP_EMPTYTARGET, "Şablon katalogyna dogry ýoly görkeziň."},
    {IDS_INSTALL_FINISH, "Göçürmek tamamlandy..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "veskp8.efd paýlama toplumynyň faýly zaýalanan ýa-da bu gurnama maksatnamasy üçin "
     "niýetlenmedik."},
    {IDS_DEFPRODUCT, "<Önüm>"},
    {IDS_DEFPROVIDER, "<Üpjün ediji>"},
    {IDS_SUCCESS_FINISH, "Konfigurasiýa üstünlikli gurnaldy."},
    {IDS_SUCCESS_OPENDESCR, "Paýlama toplumynyň beýanyny aç"},
    {IDS_PROGRESS_START, "Faýllar göçürilýär..."},
    {IDS_ERROR_FINISH,
     "Gurnama wagtynda ýalňyşlyk ýüze çykdy. Gurnama ýatyryldy. Şablon katalogy üýtgedilmedi."},
    {IDS_CANCEL_FINISH, "Gurnama ýatyryldy. Şablon katalogy üýtgedilmedi."},
    {IDS_BROWSE_SELDIR, "Saýlanan katalog:"},
    {IDS_BROWSE_OK, "Saýla"},
    {IDS_BROWSE_CANCEL, "Ýatyr"},
    {IDS_WELCOME_TITLE, "Önümi gurnamak maksatnamasyna hoş geldiňiz"},
    {IDS_SETUP_EXISTEDTARGET,
     "Gurnama katalogynda gurnama wagtynda üýtgedilip bilinjek faýllar bar. Dowam etmek "
     "isleýärsiňizmi?"},
    {IDS_DESTINATION_PROMPT,
     "Şablon katalogyna ýoly görkeziň. Gurnama maksatnamasy şablonlary we konfigurasiýa faýllaryny "
     "görkezilen kataloga gurnar."},
    {IDS_TEMPLATE_CATALOG, "Şablon katalogy:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "Şablon katalogyny doly dikeltmek başartmady. Çalşyrylan asyl faýllar %1 "
     "katalogynda saklanýar. Bu katalog wagtlaýyn faýl ulgamynda ýerleşýän "
     "bolsa, kompýuteri täzeden işe girizmek ony pozup biler."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "Gurnama wagtynda ýalňyşlyk ýüze çykdy. Gurnama ýatyryldy. Şablon "
     "katalogyny doly dikeltmek başartmady: çalşyrylan asyl faýllar %1 katalogynda "
     "saklanýar. Kompýuteri täzeden işe girizmezden öň olary yzyna göçüriň: "
     "bu katalog wagtlaýyn faýl ulgamynda ýerleşýän bolsa, täzeden işe "
     "girizmek ony pozup biler."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "Bu şablon katalogyna başga bir gurnama dowam edýär. Ol tamamlanandan soň "
     "gaýtadan synanyşyň."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY, "Ekrany açyp bolmady. -Q opsiýasy bilen gurnaýjy ekransyz işleýär."},
    {IDS_ERROR_NOTREGISTERED,
     "Şablonlar gurnaldy, emma işe giriziji programmanyň konfigurasiýasyny täzeläp bolmady:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED, "%1 katalogyna öňki gurnama kesilipdi. Katalog dikeldildi."},
    {IDS_RECOVERY_INCOMPLETE,
     "%1 katalogyna öňki gurnama kesilipdi we katalogy doly dikeldip bolmady. Degişli faýllar: "
     "%2.%3 Doly sanaw: %4."},
    {IDS_RECOVERY_COMPLETED,
     "%1 katalogyna öňki gurnama tamamlanýarka kesilipdi. Indi ol tamamlandy."},
    {IDS_RECOVERY_DAMAGED,
     "Kesilen gurnamanyň zeper ýeten žurnaly %1 ady bilen bir gyra goýuldy. Onuň sebäpli hiç zat "
     "üýtgedilmedi."},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "veskp8.efd paýlama toplumyna gol çekilmedik, bu kompýuterde bolsa diňe gol çekilen "
     "toplumlary gurnamak bolýar."},
    {IDS_SIGNATURE_DAMAGED,
     "veskp8.efd.minisig gol faýly zaýalanan ýa-da kabul edilmeýän formatda."},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "veskp8.efd paýlama toplumyna bu kompýuterde ynamly hasaplanmaýan %1 açar bilen gol "
     "çekilen."},
    {IDS_SIGNATURE_MISMATCH,
     "veskp8.efd paýlama toplumy öz goluna laýyk gelmeýär: gol çekilenden soň "
     "üýtgedilipdir."},
    {IDS_SIGNATURE_KEYFILE,
     "%1 ynamly açarlar faýlyny okap bolmaýar ýa-da onda dogry açar ýok, şonuň üçin "
     "hiç bir toplumy barlap bolmaýar."},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "%1 ynamly açarlar faýly ulanylmaýar, sebäbi ony başga ulanyjylar üýtgedip biler."},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "Näbelli opsiýa %1. Hiç zat edilmedi; opsiýalaryň sanawyny veskp8-setup --help görkezýär."},
    {IDS_USAGE_NEEDQUIET,
     "%1 opsiýasy diňe -Q bilen bilelikde işleýär. Hiç zat edilmedi."},
    {IDS_USAGE_CONFLICT,
     "%1 opsiýasyny --verify bilen bilelikde ulanyp bolmaýar. Hiç zat edilmedi."},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "Gurnaýjynyň penjiresi üçin GTK 2 kitaphanalary gerek, emma olar bu kompýuterde gurnalmandyr. "
     "-Q opsiýasy bilen gurnaýjy olarsyz işleýär."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Şablon katalogynyň doly ýoluny görkeziň: ol / bilen başlaýar (ýa-da öý katalogyňyz üçin ~ bilen)."},
    {IDS_ERROR_REASON_ACCESS, "Giriş gadagan."},
    {IDS_ERROR_REASON_NOSPACE, "Enjamda boş ýer galmady."},
    {IDS_ERROR_REASON_QUOTA, "Disk kwotasy artdy."},
    {IDS_ERROR_REASON_READONLY, "Faýl ulgamy diňe okamak üçin."},
    {IDS_ERROR_REASON_ISDIR, "Bu at eýýäm bir katalog tarapyndan ulanylýar."},
    {IDS_ERROR_REASON_EXISTS, "Bu at eýýäm faýl bolmadyk bir zat tarapyndan ulanylýar."},
    {IDS_ERROR_REASON_NOTDIR, "Ýoluň bir bölegi katalog däl-de, faýl."},
    {IDS_ERROR_REASON_NOTFOUND, "Faýl ýa-da katalog ýok."},
    {IDS_ERROR_REASON_NAMETOOLONG, "At gaty uzyn."},
    {IDS_ERROR_REASON_IO, "Enjam giriş/çykyş ýalňyşlygy barada habar berdi."},
    {IDS_ERROR_REASON_OTHER, "Ulgam ýalňyşlygy %1."},
    {IDS_ERROR_TARGETSPACE, "%1 katalogynda şablonlar üçin ýeterlik boş ýer ýok: %2 gerek, %3 elýeterli."},
    {IDS_SIZE_KB, "%1\u00A0KB"},
    {IDS_SIZE_MB, "%1\u00A0MB"},
    {IDS_SIZE_GB, "%1\u00A0GB"},
    {IDS_SUCCESS_WHERE, "Faýllar şu ýerde: %1."},
    {IDS_SUCCESS_COUNTS, "Täze faýllar: %1. Çalşyrylan: %2. Eýýäm täzelenen: %3."},
};

}  // namespace

std::span<const TextPair> TurkmenTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
