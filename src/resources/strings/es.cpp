// Spanish texts of the resource table.
#include "resources/strings/text_sets.h"

namespace veskp8::resource_texts {
namespace {

constexpr TextPair kTexts[] = {
    {IDS_WIZARD_BACK, "Atrás"},
    {IDS_WIZARD_NEXT, "Siguiente"},
    {IDS_WIZARD_FINISH, "Finalizar"},
    {IDS_WIZARD_CANCEL, "Cancelar"},
    {IDS_ACCEPT_CANCEL, "¿Realmente desea cancelar la instalación?"},
    {IDS_TITLE_INSTALLER, "Instalación de la configuración"},
    {IDS_PREPARECOPY, "Preparando la copia..."},
    {IDS_INSTALL_ERROR, "Error de instalación"},
    {IDS_ERROR_NOSOURCE, "No se encontró el archivo del paquete de distribución veskp8.efd."},
    {IDS_ERROR_NOTARGET, "No se admite la instalación de plantillas en el directorio actual."},
    {IDS_ERROR_NOSPACE, "Espacio insuficiente en el directorio Temp."},
    {IDS_CHOOSEDIR_FOLDER, "&Carpeta:"},
    {IDS_CHOOSEDIR_TITLE, "Elegir directorio"},
    {IDR_MAINFRAME, "Instalación de la configuración"},
    {IDS_SETUP_EMPTYTARGET, "Especifique una ruta correcta al directorio de plantillas."},
    {IDS_INSTALL_FINISH, "Copia completada..."},
    {IDS_ERROR_DAMAGEDSOURCE,
     "El archivo del paquete de distribución veskp8.efd está dañado o no está destinado a este "
     "programa de instalación."},
    {IDS_DEFPRODUCT, "<Producto>"},
    {IDS_DEFPROVIDER, "<Proveedor>"},
    {IDS_SUCCESS_FINISH, "La configuración se instaló correctamente."},
    {IDS_SUCCESS_OPENDESCR, "Abrir la descripción del paquete"},
    {IDS_PROGRESS_START, "Copiando archivos..."},
    {IDS_ERROR_FINISH,
     "Se produjo un error durante la instalación. Instalación cancelada. El directorio de "
     "plantillas no se ha modificado."},
    {IDS_CANCEL_FINISH, "Instalación cancelada. El directorio de plantillas no se ha modificado."},
    {IDS_BROWSE_SELDIR, "Directorio seleccionado:"},
    {IDS_BROWSE_OK, "Seleccionar"},
    {IDS_BROWSE_CANCEL, "Cancelar"},
    {IDS_WELCOME_TITLE, "Bienvenido al programa de instalación del producto"},
    {IDS_SETUP_EXISTEDTARGET,
     "El directorio de instalación contiene archivos que pueden modificarse durante la "
     "instalación. ¿Desea continuar?"},
    {IDS_DESTINATION_PROMPT,
     "Especifique la ruta al directorio de plantillas. El programa de instalación instalará las "
     "plantillas y los archivos de configuración en el directorio especificado."},
    {IDS_TEMPLATE_CATALOG, "Directorio de plantillas:"},
    // Undo outcome
    {IDS_ROLLBACK_INCOMPLETE,
     "No se pudo restaurar por completo el directorio de plantillas. Los archivos "
     "originales reemplazados se conservan en %1. Un reinicio del equipo puede "
     "eliminar ese directorio si se encuentra en un sistema de archivos temporal."},
    {IDS_ROLLBACK_INCOMPLETE_FINISH,
     "Se produjo un error durante la instalación. Instalación cancelada. No se pudo "
     "restaurar por completo el directorio de plantillas: los archivos originales "
     "reemplazados se conservan en %1. Cópielos de vuelta antes de reiniciar el "
     "equipo: un reinicio puede eliminar ese directorio si se encuentra en un sistema "
     "de archivos temporal."},
    // Template directory lock
    {IDS_INSTALL_BUSY,
     "Hay otra instalación en curso en este directorio de plantillas. Vuelva a "
     "intentarlo cuando haya terminado."},
    // Unattended installs
    {IDS_ERROR_NODISPLAY,
     "No se pudo abrir la pantalla. Con la opción -Q, el programa de instalación funciona sin "
     "pantalla."},
    {IDS_ERROR_NOTREGISTERED,
     "Las plantillas se instalaron, pero no se pudo actualizar la configuración del lanzador:"},
    // Recovery of an interrupted installation
    {IDS_RECOVERY_RESTORED,
     "Una instalación anterior en %1 se interrumpió. El directorio se ha restaurado."},
    {IDS_RECOVERY_INCOMPLETE,
     "Una instalación anterior en %1 se interrumpió y el directorio no se ha podido restaurar por "
     "completo. Archivos afectados: %2.%3 La lista completa está en %4."},
    {IDS_RECOVERY_COMPLETED,
     "Una instalación anterior en %1 se interrumpió mientras finalizaba. Ahora se ha completado."},
    {IDS_RECOVERY_DAMAGED,
     "Se ha apartado como %1 un registro dañado de una instalación interrumpida. No se ha cambiado "
     "nada por ello."},
    // Signed kits
    {IDS_SIGNATURE_MISSING,
     "El paquete de distribución veskp8.efd no está firmado y en este equipo solo se pueden "
     "instalar paquetes firmados."},
    {IDS_SIGNATURE_DAMAGED,
     "El archivo de firma veskp8.efd.minisig está dañado o tiene un formato que no se "
     "admite."},
    {IDS_SIGNATURE_UNKNOWNKEY,
     "El paquete de distribución veskp8.efd está firmado con la clave %1, que no es de "
     "confianza en este equipo."},
    {IDS_SIGNATURE_MISMATCH,
     "El paquete de distribución veskp8.efd no coincide con su firma: se modificó después "
     "de firmarse."},
    {IDS_SIGNATURE_KEYFILE,
     "No se puede leer el archivo de claves de confianza %1 o no contiene ninguna clave "
     "válida, por lo que no se puede comprobar ningún paquete."},
    {IDS_SIGNATURE_KEYFILE_UNSAFE,
     "No se usa el archivo de claves de confianza %1 porque otros usuarios podrían "
     "modificarlo."},
    // Command line of the unattended mode
    {IDS_USAGE_UNKNOWN,
     "Opción desconocida %1. No se ha hecho nada; veskp8-setup --help muestra las opciones."},
    {IDS_USAGE_NEEDQUIET,
     "La opción %1 solo funciona junto con -Q. No se ha hecho nada."},
    {IDS_USAGE_CONFLICT,
     "La opción %1 no se puede combinar con --verify. No se ha hecho nada."},
    // No GTK 2 on this machine
    {IDS_NO_GTK,
     "La ventana del programa de instalación necesita las bibliotecas GTK 2, que no están "
     "instaladas en este equipo. Con la opción -Q, el programa de instalación funciona sin ellas."},
    // Wizard mends
    {IDS_FULL_PATH_REQUIRED, "Indique la ruta completa del directorio de plantillas: empieza por / (o por ~ para su directorio personal)."},
    {IDS_ERROR_REASON_ACCESS, "Permiso denegado."},
    {IDS_ERROR_REASON_NOSPACE, "No queda espacio libre en el dispositivo."},
    {IDS_ERROR_REASON_QUOTA, "Se ha superado la cuota de disco."},
    {IDS_ERROR_REASON_READONLY, "El sistema de archivos es de solo lectura."},
    {IDS_ERROR_REASON_ISDIR, "El nombre ya lo usa un directorio."},
    {IDS_ERROR_REASON_EXISTS, "El nombre ya lo usa algo que no es un archivo."},
    {IDS_ERROR_REASON_NOTDIR, "Una parte de la ruta es un archivo, no un directorio."},
    {IDS_ERROR_REASON_NOTFOUND, "El archivo o el directorio no existe."},
    {IDS_ERROR_REASON_NAMETOOLONG, "El nombre es demasiado largo."},
    {IDS_ERROR_REASON_IO, "El dispositivo ha informado de un error de entrada/salida."},
    {IDS_ERROR_REASON_OTHER, "Error del sistema %1."},
    {IDS_ERROR_TARGETSPACE, "No hay espacio libre suficiente para las plantillas en %1: se necesitan %2, hay %3 disponibles."},
    {IDS_SIZE_KB, "%1\u00A0KB"},
    {IDS_SIZE_MB, "%1\u00A0MB"},
    {IDS_SIZE_GB, "%1\u00A0GB"},
    {IDS_SUCCESS_WHERE, "Los archivos están en %1."},
    {IDS_SUCCESS_COUNTS, "Archivos nuevos: %1. Reemplazados: %2. Ya actualizados: %3."},
};

}  // namespace

std::span<const TextPair> SpanishTexts() { return kTexts; }

}  // namespace veskp8::resource_texts
