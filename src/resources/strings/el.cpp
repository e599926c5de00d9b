// Greek texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "Πίσω"},
    {IDS_WIZARD_NEXT, "Επόμενο"},
    {IDS_WIZARD_FINISH, "Τέλος"},
    {IDS_WIZARD_CANCEL, "Άκυρο"},
    {IDS_ACCEPT_CANCEL, "Θέλετε πραγματικά να ακυρώσετε την εγκατάσταση;"},
    {IDS_TITLE_INSTALLER, "Εγκατάσταση διαμόρφωσης"},
    {IDS_PREPARECOPY, "Προετοιμασία αντιγραφής..."},
    {IDS_INSTALL_ERROR, "Σφάλμα εγκατάστασης"},
    {IDS_ERROR_NOSOURCE, "Το αρχείο του πακέτου διανομής veskp8.efd δεν βρέθηκε."},
    {IDS_ERROR_NOTARGET, "Η εγκατάσταση προτύπων στον τρέχοντα κατάλογο δεν υποστηρίζεται."},
    {IDS_ERROR_NOSPACE, "Ανεπαρκής διαθέσιμος χώρος στον κατάλογο Temp."},
    {IDS_CHOOSEDIR_FOLDER, "&Φάκελος:"},
    {IDS_CHOOSEDIR_TITLE, "Επιλογή καταλόγου"},
    {IDR_MAINFRAME, "Εγκατάσταση διαμόρφωσης"},
    {IDS_SETUP_EMPTYTARGET, "Καθορίστε μια σωστή διαδρομή προς τον κατάλογο προτύπων."},
    {IDS_INSTALL_FINISH, "Η αντιγραφή ολοκληρώθηκε..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "Το αρχείο του πακέτου διανομής veskp8.efd είναι κατεστραμμένο ή δεν προορίζεται για αυτό το "
     "πρόγραμμα εγκατάστασης."},
    {IDS_DEFPRODUCT, "<Προϊόν>"},
    {IDS_DEFPROVIDER, "<Προμηθευτής>"},
    {IDS_SUCCESS_FINISH, "Η διαμόρφωση εγκαταστάθηκε με επιτυχία."},
    {IDS_SUCCESS_OPENDESCR, "Άνοιγμα περιγραφής του πακέτου διανομής"},
    {IDS_PROGRESS_START, "Αντιγραφή αρχείων..."},
    {IDS_ERROR_FINISH,
     "Παρουσιάστηκε σφάλμα κατά τη διαδικασία εγκατάστασης. Η εγκατάσταση ακυρώθηκε. Ο κατάλογος "
     "προτύπων δεν άλλαξε."},
    {IDS_CANCEL_FINISH, "Η εγκατάσταση ακυρώθηκε. Ο κατάλογος προτύπων δεν άλλαξε."},
    {IDS_BROWSE_SELDIR, "Επιλεγμένος κατάλογος:"},
    {IDS_BROWSE_OK, "Επιλογή"},
    {IDS_BROWSE_CANCEL, "Άκυρο"},
    {IDS_WELCOME_TITLE, "Καλώς ορίσατε στο πρόγραμμα εγκατάστασης του προϊόντος"},
    {IDS_SETUP_EXISTEDTARGET,
     "Ο κατάλογος εγκατάστασης περιέχει αρχεία που ενδέχεται να αλλάξουν κατά τη διαδικασία "
     "εγκατάστασης. Θέλετε να συνεχίσετε;"},
    {IDS_DESTINATION_PROMPT,
     "Καθορίστε τη διαδρομή προς τον κατάλογο προτύπων. Το πρόγραμμα εγκατάστασης θα εγκαταστήσει "
     "τα πρότυπα και τα αρχεία διαμόρφωσης στον καθορισμένο κατάλογο."},
    {IDS_TEMPLATE_CATALOG, "Κατάλογος προτύπων:"},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "Δεν ήταν δυνατό να ανοίξει η οθόνη. Με την επιλογή "
     "-Q το πρόγραμμα εγκατάστασης λειτουργεί χωρίς "
     "οθόνη."},
    {IDS_ERROR_NOTREGISTERED,
     "Τα πρότυπα εγκαταστάθηκαν, αλλά δεν ήταν δυνατή η "
     "ενημέρωση των ρυθμίσεων του προγράμματος "
     "εκκίνησης:"},
    {IDS_ERROR_NOTRESTORED,
     "Σφάλμα εγκατάστασης. Δεν ήταν δυνατή η πλήρης "
     "επαναφορά του καταλόγου προτύπων· τα αρχικά "
     "αρχεία που αντικαταστάθηκαν φυλάσσονται στο:"},
};

}  // namespace

std::span<const TextPair> GreekTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
