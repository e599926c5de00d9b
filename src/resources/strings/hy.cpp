// Armenian texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Հետ"},
    {IDS_WIZARD_NEXT, "Առաջ >"},
    {IDS_WIZARD_FINISH, "Ավարտ"},
    {IDS_WIZARD_CANCEL, "Ելք"},
    {IDS_ACCEPT_CANCEL, "Իսկապե՞ս ցանկանում եք չեղարկել տեղադրումը։"},
    {IDS_TITLE_INSTALLER, "Կոնֆիգուրացիայի տեղադրում"},
    {IDS_PREPARECOPY, "Պատճենման նախապատրաստում..."},
    {IDS_INSTALL_ERROR, "Տեղադրման սխալ"},
    {IDS_ERROR_NOSOURCE, "veskp8.efd բաշխման փաթեթի ֆայլը չի գտնվել։"},
    {IDS_ERROR_NOTARGET, "Կաղապարների տեղադրումն ընթացիկ թղթապանակում չի աջակցվում։"},
    {IDS_ERROR_NOSPACE, "Temp թղթապանակում բավարար ազատ տեղ չկա։"},
    {IDS_CHOOSEDIR_FOLDER, "&Թղթապանակ:"},
    {IDS_CHOOSEDIR_TITLE, "Ընտրել թղթապանակը"},
    {IDR_MAINFRAME, "Կոնֆիգուրացիայի տեղադրում"},
    {IDS_SETUP_EMPTYTARGET, "Նշեք կաղապարների թղթապանակի ճիշտ ուղին։"},
    {IDS_INSTALL_FINISH, "Պատճենումն ավարտված է..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "veskp8.efd բաշխման փաթեթի ֆայլը վնասված է կամ նախատեսված չէ այս տեղադրման ծրագրի համար։"},
    {IDS_DEFPRODUCT, "<Արտադրանք>"},
    {IDS_DEFPROVIDER, "<Մատակարար>"},
    {IDS_SUCCESS_FINISH, "Կոնֆիգուրացիան հաջողությամբ տեղադրվեց։"},
    {IDS_SUCCESS_OPENDESCR, "Բացել փաթեթի նկարագրությունը"},
    {IDS_PROGRESS_START, "Ֆայլերը պատճենվում են..."},
    {IDS_ERROR_FINISH,
     "Տեղադրման ընթացքում սխալ է տեղի ունեցել։ Տեղադրումը չեղարկվել է։ Կաղապարների թղթապանակը չի "
     "փոխվել։"},
    {IDS_CANCEL_FINISH, "Տեղադրումը չեղարկվել է։ Կաղապարների թղթապանակը չի փոխվել։"},
    {IDS_BROWSE_SELDIR, "Ընտրված թղթապանակ:"},
    {IDS_BROWSE_OK, "Ընտրել"},
    {IDS_BROWSE_CANCEL, "Չեղարկել"},
    {IDS_WELCOME_TITLE, "Բարի գալուստ արտադրանքի տեղադրման ծրագիր"},
    {IDS_SETUP_EXISTEDTARGET,
     "Տեղադրման թղթապանակը պարունակում է ֆայլեր, որոնք կարող են փոխվել տեղադրման ընթացքում։ "
     "Ցանկանո՞ւմ եք շարունակել։"},
    {IDS_DESTINATION_PROMPT,
     "Նշեք կաղապարների թղթապանակի ուղին։ Տեղադրման ծրագիրը կաղապարները և կոնֆիգուրացիայի ֆայլերը "
     "կտեղադրի նշված թղթապանակում։"},
    {IDS_TEMPLATE_CATALOG, "Կաղապարների թղթապանակ:"},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Չհաջողվեց բացել էկրանը։ -Q ընտրանքով տեղադրիչն "
     "աշխատում է առանց էկրանի։"},
    {IDS_ERROR_NOTREGISTERED,
     "Կաղապարները տեղադրվեցին, բայց չհաջողվեց "
     "թարմացնել գործարկիչի կարգավորումները:"},
    {IDS_ERROR_NOTRESTORED,
     "Տեղադրման սխալ։ Կաղապարների թղթապանակը "
     "չհաջողվեց ամբողջությամբ վերականգնել, փոխարինված "
     "բնօրինակները պահպանված են այստեղ:"},
};

}  // namespace

std::span<const TextPair> ArmenianTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
