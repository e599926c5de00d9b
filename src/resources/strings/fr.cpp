// French texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "Retour"},
    {IDS_WIZARD_NEXT, "Suivant"},
    {IDS_WIZARD_FINISH, "Terminer"},
    {IDS_WIZARD_CANCEL, "Annuler"},
    {IDS_ACCEPT_CANCEL, "Voulez-vous vraiment annuler l'installation ?"},
    {IDS_TITLE_INSTALLER, "Installation de la configuration"},
    {IDS_PREPARECOPY, "Préparation de la copie..."},
    {IDS_INSTALL_ERROR, "Erreur d'installation"},
    {IDS_ERROR_NOSOURCE, "Le fichier du kit de distribution veskp8.efd est introuvable."},
    {IDS_ERROR_NOTARGET,
     "L'installation des modèles dans le répertoire courant n'est pas prise en charge."},
    {IDS_ERROR_NOSPACE, "Espace insuffisant dans le répertoire Temp."},
    {IDS_CHOOSEDIR_FOLDER, "&Dossier :"},
    {IDS_CHOOSEDIR_TITLE, "Choisir un répertoire"},
    {IDR_MAINFRAME, "Installation de la configuration"},
    {IDS_SETUP_EMPTYTARGET, "Indiquez un chemin correct vers le répertoire des modèles."},
    {IDS_INSTALL_FINISH, "Copie terminée..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "Le fichier du kit de distribution veskp8.efd est endommagé ou n'est pas destiné à ce "
     "programme d'installation."},
    {IDS_DEFPRODUCT, "<Produit>"},
    {IDS_DEFPROVIDER, "<Éditeur>"},
    {IDS_SUCCESS_FINISH, "La configuration a été installée avec succès."},
    {IDS_SUCCESS_OPENDESCR, "Ouvrir la description du kit de distribution"},
    {IDS_PROGRESS_START, "Copie des fichiers en cours..."},
    {IDS_ERROR_FINISH,
     "Une erreur s'est produite pendant l'installation. L'installation a été annulée. Le "
     "répertoire des modèles n'a pas été modifié."},
    {IDS_CANCEL_FINISH,
     "L'installation a été annulée. Le répertoire des modèles n'a pas été modifié."},
    {IDS_BROWSE_SELDIR, "Répertoire sélectionné :"},
    {IDS_BROWSE_OK, "Sélectionner"},
    {IDS_BROWSE_CANCEL, "Annuler"},
    {IDS_WELCOME_TITLE, "Bienvenue dans le programme d'installation du produit"},
    {IDS_SETUP_EXISTEDTARGET,
     "Le répertoire d'installation contient des fichiers qui peuvent être modifiés pendant "
     "l'installation. Voulez-vous continuer ?"},
    {IDS_DESTINATION_PROMPT,
     "Indiquez le chemin du répertoire des modèles. Le programme d'installation installera les "
     "modèles et les fichiers de configuration dans le répertoire indiqué."},
    {IDS_TEMPLATE_CATALOG, "Répertoire des modèles :"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "Le répertoire des modèles n'a pas pu être entièrement restauré. Les "
     "fichiers d'origine remplacés sont conservés dans %1. Un redémarrage de "
     "l'ordinateur peut supprimer ce répertoire s'il se trouve dans un système de "
     "fichiers temporaire."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "Une erreur s'est produite pendant l'installation. L'installation a été "
     "annulée. Le répertoire des modèles n'a pas pu être entièrement restauré : "
     "les fichiers d'origine remplacés sont conservés dans %1. Recopiez-les avant de "
     "redémarrer l'ordinateur : un redémarrage peut supprimer ce répertoire s'il se "
     "trouve dans un système de fichiers temporaire."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "Une autre installation dans ce répertoire des modèles est en cours. Réessayez "
     "lorsqu'elle sera terminée."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Impossible d'ouvrir l'affichage. Avec l'option -Q, le programme d'installation fonctionne "
     "sans affichage."},
    {IDS_ERROR_NOTREGISTERED,
     "Les modèles ont été installés, mais la configuration du lanceur n'a pas pu être mise "
     "à jour :"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED,
     "Une installation précédente dans %1 a été interrompue. Le répertoire a été restauré."},
    {IDS_RECOVERY_INCOMPLETE,
     "Une installation précédente dans %1 a été interrompue et le répertoire n'a pas pu être "
     "entièrement restauré. Fichiers concernés : %2.%3 La liste complète se trouve dans %4."},
    {IDS_RECOVERY_COMPLETED,
     "Une installation précédente dans %1 a été interrompue pendant sa finalisation. Elle est "
     "maintenant terminée."},
    {IDS_RECOVERY_DAMAGED,
     "Un journal endommagé d'une installation interrompue a été mis de côté sous le nom %1. Rien "
     "n'a été modifié à cause de lui."},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "Le kit de distribution veskp8.efd n'est pas signé, or seuls les kits signés peuvent "
     "être installés sur cet ordinateur."},
    {IDS_SIGNATURE_DAMAGED,
     "Le fichier de signature veskp8.efd.minisig est endommagé ou dans un format non "
     "accepté."},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "Le kit de distribution veskp8.efd est signé avec la clé %1, qui n'est pas reconnue "
     "comme fiable sur cet ordinateur."},
    {IDS_SIGNATURE_MISMATCH,
     "Le kit de distribution veskp8.efd ne correspond pas à sa signature : il a été "
     "modifié après avoir été signé."},
    {IDS_SIGNATURE_KEYFILE,
     "Le fichier de clés de confiance %1 est illisible ou ne contient aucune clé valide : "
     "aucun kit ne peut donc être vérifié."},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "Le fichier de clés de confiance %1 n'est pas utilisé, car d'autres utilisateurs "
     "pourraient le modifier."},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "Option inconnue %1. Rien n'a été fait ; veskp8-setup --help affiche la liste des options."},
    {IDS_USAGE_NEEDQUIET,
     "L'option %1 ne fonctionne qu'avec -Q. Rien n'a été fait."},
    {IDS_USAGE_CONFLICT,
     "L'option %1 ne peut pas être combinée avec --verify. Rien n'a été fait."},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "La fenêtre du programme d'installation nécessite les bibliothèques GTK 2, qui ne sont pas "
     "installées sur cette machine. Avec l'option -Q, le programme d'installation fonctionne sans "
     "elles."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Indiquez le chemin complet du répertoire des modèles : il commence par / (ou par ~ pour votre répertoire personnel)."},
    {IDS_ERROR_REASON_ACCESS, "Permission refusée."},
    {IDS_ERROR_REASON_NOSPACE, "Il n'y a plus d'espace disponible sur le périphérique."},
    {IDS_ERROR_REASON_QUOTA, "Le quota de disque est dépassé."},
    {IDS_ERROR_REASON_READONLY, "Le système de fichiers est en lecture seule."},
    {IDS_ERROR_REASON_ISDIR, "Ce nom est déjà utilisé par un répertoire."},
    {IDS_ERROR_REASON_EXISTS, "Ce nom est déjà utilisé par un élément qui n'est pas un fichier."},
    {IDS_ERROR_REASON_NOTDIR, "Une partie du chemin est un fichier, et non un répertoire."},
    {IDS_ERROR_REASON_NOTFOUND, "Le fichier ou le répertoire n'existe pas."},
    {IDS_ERROR_REASON_NAMETOOLONG, "Le nom est trop long."},
    {IDS_ERROR_REASON_IO, "Le périphérique a signalé une erreur d'entrée/sortie."},
    {IDS_ERROR_REASON_OTHER, "Erreur système %1."},
    {IDS_ERROR_TARGETSPACE, "Espace libre insuffisant pour les modèles dans %1 : %2 nécessaires, %3 disponibles."},
    {IDS_SIZE_KB, "%1\u00A0Ko"},
    {IDS_SIZE_MB, "%1\u00A0Mo"},
    {IDS_SIZE_GB, "%1\u00A0Go"},
    {IDS_SUCCESS_WHERE, "Les fichiers se trouvent dans %1."},
    {IDS_SUCCESS_COUNTS, "Nouveaux fichiers : %1. Remplacés : %2. Déjà à jour : %3."},
};

}  // namespace

std::span<const TextPair> FrenchTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
