// Polish texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "< Wstecz"},
    {IDS_WIZARD_NEXT, "Dalej >"},
    {IDS_WIZARD_FINISH, "Zakończ"},
    {IDS_WIZARD_CANCEL, "Anuluj"},
    {IDS_ACCEPT_CANCEL, "Czy na pewno chcesz anulować instalację?"},
    {IDS_TITLE_INSTALLER, "Instalacja konfiguracji"},
    {IDS_PREPARECOPY, "Przygotowanie do kopiowania..."},
    {IDS_INSTALL_ERROR, "Błąd instalacji"},
    {IDS_ERROR_NOSOURCE, "Nie znaleziono pliku pakietu dystrybucyjnego veskp8.efd."},
    {IDS_ERROR_NOTARGET, "Instalacja szablonów w bieżącym katalogu nie jest obsługiwana."},
    {IDS_ERROR_NOSPACE, "Za mało wolnego miejsca w katalogu Temp."},
    {IDS_CHOOSEDIR_FOLDER, "&Katalog:"},
    {IDS_CHOOSEDIR_TITLE, "Wybierz katalog"},
    {IDR_MAINFRAME, "Instalacja konfiguracji"},
    {IDS_SETUP_EMPTYTARGET, "Podaj prawidłową ścieżkę do katalogu szablonów."},
    {IDS_INSTALL_FINISH, "Kopiowanie zakończone..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "Plik pakietu dystrybucyjnego veskp8.efd jest uszkodzony lub nie jest przeznaczony dla tego "
     "programu instalacyjnego."},
    {IDS_DEFPRODUCT, "<Produkt>"},
    {IDS_DEFPROVIDER, "<Dostawca>"},
    {IDS_SUCCESS_FINISH, "Konfiguracja została pomyślnie zainstalowana."},
    {IDS_SUCCESS_OPENDESCR, "Otwórz opis pakietu dystrybucyjnego"},
    {IDS_PROGRESS_START, "Trwa kopiowanie plików..."},
    {IDS_ERROR_FINISH,
     "Podczas instalacji wystąpił błąd. Instalacja została anulowana. Katalog szablonów nie został "
     "zmieniony."},
    {IDS_CANCEL_FINISH, "Instalacja została anulowana. Katalog szablonów nie został zmieniony."},
    {IDS_BROWSE_SELDIR, "Wybrany katalog:"},
    {IDS_BROWSE_OK, "Wybierz"},
    {IDS_BROWSE_CANCEL, "Anuluj"},
    {IDS_WELCOME_TITLE, "Witamy w programie instalacyjnym produktu"},
    {IDS_SETUP_EXISTEDTARGET,
     "Katalog instalacji zawiera pliki, które mogą zostać zmienione podczas instalacji. Czy chcesz "
     "kontynuować?"},
    {IDS_DESTINATION_PROMPT,
     "Podaj ścieżkę do katalogu szablonów. Program instalacyjny zainstaluje szablony i pliki "
     "konfiguracyjne w podanym katalogu."},
    {IDS_TEMPLATE_CATALOG, "Katalog szablonów:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "Nie udało się w pełni przywrócić katalogu szablonów. Zastąpione "
     "oryginalne pliki są przechowywane w %1. Ponowne uruchomienie komputera może "
     "usunąć ten katalog, jeśli znajduje się on w tymczasowym systemie plików."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "Podczas instalacji wystąpił błąd. Instalacja została anulowana. Nie udało "
     "się w pełni przywrócić katalogu szablonów: zastąpione oryginalne pliki są "
     "przechowywane w %1. Skopiuj je z powrotem przed ponownym uruchomieniem "
     "komputera: może ono usunąć ten katalog, jeśli znajduje się on w tymczasowym "
     "systemie plików."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "Trwa inna instalacja w tym katalogu szablonów. Spróbuj ponownie po jej "
     "zakończeniu."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY, "Nie można otworzyć ekranu. Z opcją -Q instalator działa bez ekranu."},
    {IDS_ERROR_NOTREGISTERED,
     "Szablony zostały zainstalowane, ale nie można zaktualizować konfiguracji programu "
     "uruchamiającego:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED,
     "Poprzednia instalacja w katalogu %1 została przerwana. Katalog został przywrócony."},
    {IDS_RECOVERY_INCOMPLETE,
     "Poprzednia instalacja w katalogu %1 została przerwana i nie udało się w pełni przywrócić "
     "katalogu. Liczba plików, których to dotyczy: %2.%3 Pełna lista znajduje się w %4."},
    {IDS_RECOVERY_COMPLETED,
     "Poprzednia instalacja w katalogu %1 została przerwana podczas kończenia. Teraz została "
     "ukończona."},
    {IDS_RECOVERY_DAMAGED,
     "Uszkodzony dziennik przerwanej instalacji został odłożony jako %1. Z jego powodu nic nie "
     "zmieniono."},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "Pakiet dystrybucyjny veskp8.efd nie jest podpisany, a na tym komputerze można "
     "instalować tylko podpisane pakiety."},
    {IDS_SIGNATURE_DAMAGED,
     "Plik podpisu veskp8.efd.minisig jest uszkodzony lub ma nieobsługiwany format."},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "Pakiet dystrybucyjny veskp8.efd jest podpisany kluczem %1, który nie jest zaufany na "
     "tym komputerze."},
    {IDS_SIGNATURE_MISMATCH,
     "Pakiet dystrybucyjny veskp8.efd nie zgadza się ze swoim podpisem: został zmieniony po "
     "podpisaniu."},
    {IDS_SIGNATURE_KEYFILE,
     "Nie można odczytać pliku zaufanych kluczy %1 lub nie zawiera on żadnego prawidłowego "
     "klucza, więc nie można sprawdzić żadnego pakietu."},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "Plik zaufanych kluczy %1 nie jest używany, ponieważ inni użytkownicy mogliby go "
     "zmienić."},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "Nieznana opcja %1. Nic nie zostało zrobione; listę opcji wyświetla veskp8-setup --help."},
    {IDS_USAGE_NEEDQUIET,
     "Opcja %1 działa tylko razem z -Q. Nic nie zostało zrobione."},
    {IDS_USAGE_CONFLICT,
     "Opcji %1 nie można łączyć z --verify. Nic nie zostało zrobione."},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "Okno instalatora wymaga bibliotek GTK 2, które nie są zainstalowane na tym komputerze. Z "
     "opcją -Q instalator działa bez nich."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Podaj pełną ścieżkę katalogu szablonów: zaczyna się od / (lub od ~ dla katalogu domowego)."},
    {IDS_ERROR_REASON_ACCESS, "Brak uprawnień."},
    {IDS_ERROR_REASON_NOSPACE, "Brak wolnego miejsca na urządzeniu."},
    {IDS_ERROR_REASON_QUOTA, "Przekroczono limit przydziału dysku."},
    {IDS_ERROR_REASON_READONLY, "System plików jest tylko do odczytu."},
    {IDS_ERROR_REASON_ISDIR, "Ta nazwa jest już używana przez katalog."},
    {IDS_ERROR_REASON_EXISTS, "Ta nazwa jest już używana przez coś, co nie jest plikiem."},
    {IDS_ERROR_REASON_NOTDIR, "Część ścieżki jest plikiem, a nie katalogiem."},
    {IDS_ERROR_REASON_NOTFOUND, "Plik lub katalog nie istnieje."},
    {IDS_ERROR_REASON_NAMETOOLONG, "Nazwa jest za długa."},
    {IDS_ERROR_REASON_IO, "Urządzenie zgłosiło błąd wejścia/wyjścia."},
    {IDS_ERROR_REASON_OTHER, "Błąd systemowy %1."},
    {IDS_ERROR_TARGETSPACE, "Za mało wolnego miejsca na szablony w %1: potrzeba %2, dostępne %3."},
    {IDS_SIZE_KB, "%1\u00A0KB"},
    {IDS_SIZE_MB, "%1\u00A0MB"},
    {IDS_SIZE_GB, "%1\u00A0GB"},
    {IDS_SUCCESS_WHERE, "Pliki znajdują się w %1."},
    {IDS_SUCCESS_COUNTS, "Nowe pliki: %1. Zastąpione: %2. Już aktualne: %3."},
};

}  // namespace

std::span<const TextPair> PolishTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
