<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name>AboutBox</name>
    <message>
        <source>About %1</source>
        <translation>Acerca de %1</translation>
    </message>
    <message>
        <source>Remote control</source>
        <translation>Control remoto</translation>
    </message>
    <message>
        <source>Copyright %1 Corvin Osmunda</source>
        <translation>Copyright %1 Corvin Osmunda</translation>
    </message>
</context>
<context>
    <name>ConnectPhoneDialog</name>
    <message>
        <source>Connect a Phone</source>
        <translation>Conectar un teléfono</translation>
    </message>
    <message>
        <source>Pavo Server is not ready for phones yet. Open this window again in a moment.</source>
        <translation>Pavo Server aún no está listo para teléfonos. Vuelva a abrir esta ventana en un momento.</translation>
    </message>
    <message>
        <source>This computer is not connected to a local network. Connect it to the network your phone uses, then open this window again.</source>
        <translation>Este equipo no está conectado a una red local. Conéctelo a la red que usa su teléfono y vuelva a abrir esta ventana.</translation>
    </message>
    <message>
        <source>Scan the code with your phone&apos;s camera, or open the address in its browser. The phone must be on the same network as this computer.</source>
        <translation>Escanee el código con la cámara del teléfono o abra la dirección en su navegador. El teléfono debe estar en la misma red que este equipo.</translation>
    </message>
    <message>
        <source>QR code of the address</source>
        <translation>Código QR de la dirección</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>%1 Preferences</source>
        <translation>Preferencias de %1</translation>
    </message>
    <message>
        <source>Automatically start %1 at login</source>
        <translation>Iniciar %1 automáticamente al iniciar sesión</translation>
    </message>
    <message>
        <source>Prevent sleep when clients are connected</source>
        <translation>Impedir la suspensión mientras haya clientes conectados</translation>
    </message>
    <message numerus="yes">
        <source>%n devices authorized</source>
        <translation>
            <numerusform>%n dispositivo autorizado</numerusform>
            <numerusform>%n dispositivos autorizados</numerusform>
        </translation>
    </message>
    <message>
        <source>Deauthorize All</source>
        <translation>Retirar todas las autorizaciones</translation>
    </message>
    <message>
        <source>Forget</source>
        <translation>Olvidar</translation>
    </message>
    <message>
        <source>Allow older clients</source>
        <translation>Permitir clientes antiguos</translation>
    </message>
    <message>
        <source>Older clients pair without a verification code, and anyone on the same network can read what they send. Turn this off once every device uses a newer client.</source>
        <translation>Los clientes antiguos se emparejan sin código de verificación y cualquiera en la misma red puede leer lo que envían. Desactive esta opción cuando todos los dispositivos usen un cliente más reciente.</translation>
    </message>
</context>
<context>
    <name>UI</name>
    <message>
        <source>Preferences...</source>
        <translation>Preferencias...</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>Acerca de %1</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>No clients connected</source>
        <translation>Ningún cliente conectado</translation>
    </message>
    <message numerus="yes">
        <source>%n client(s) connected</source>
        <translation>
            <numerusform>%n cliente conectado</numerusform>
            <numerusform>%n clientes conectados</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 would like to connect.</source>
        <translation>%1 quiere conectarse.</translation>
    </message>
    <message>
        <source>Deny</source>
        <translation>Denegar</translation>
    </message>
    <message>
        <source>Authorize</source>
        <translation>Autorizar</translation>
    </message>
    <message>
        <source>Device ID: %1</source>
        <translation>ID del dispositivo: %1</translation>
    </message>
    <message>
        <source>Authorize only if the device shows the same code:</source>
        <translation>Autorice solo si el dispositivo muestra el mismo código:</translation>
    </message>
    <message>
        <source>Connect a Phone...</source>
        <translation>Conectar un teléfono...</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>Check for Updates...</source>
        <translation>Buscar actualizaciones...</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Buscar actualizaciones</translation>
    </message>
    <message>
        <source>Didn&apos;t check for updates.</source>
        <translation>Todavía no se han buscado actualizaciones.</translation>
    </message>
    <message>
        <source>You have the latest version.</source>
        <translation>Tiene la versión más reciente.</translation>
    </message>
    <message>
        <source>Version %1 is available...</source>
        <translation>La versión %1 está disponible...</translation>
    </message>
    <message>
        <source>Download Update</source>
        <translation>Descargar actualización</translation>
    </message>
    <message>
        <source>Version %1 is available.</source>
        <translation>La versión %1 está disponible.</translation>
    </message>
    <message>
        <source>Downloading version %1...</source>
        <translation>Descargando la versión %1...</translation>
    </message>
    <message>
        <source>Downloading update...</source>
        <translation>Descargando la actualización...</translation>
    </message>
    <message>
        <source>Restart to Update</source>
        <translation>Reiniciar para actualizar</translation>
    </message>
    <message>
        <source>An update has been downloaded and is ready to be installed.</source>
        <translation>Se ha descargado una actualización y está lista para instalarse.</translation>
    </message>
    <message>
        <source>Version %1 download failed</source>
        <translation>Error al descargar la versión %1</translation>
    </message>
    <message>
        <source>Retry Update Download</source>
        <translation>Reintentar la descarga</translation>
    </message>
    <message>
        <source>Version %1 download failed.</source>
        <translation>Error al descargar la versión %1.</translation>
    </message>
</context>
<context>
    <name>WelcomeView</name>
    <message>
        <source>Welcome to %1</source>
        <translation>Le damos la bienvenida a %1</translation>
    </message>
    <message>
        <source>Use %1</source>
        <translation>Usar %1</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>%1 installed a GNOME Shell extension.</source>
        <translation>%1 ha instalado una extensión de GNOME Shell.</translation>
    </message>
    <message>
        <source>To enable the extension please restart your computer or log out.</source>
        <translation>Para activar la extensión, reinicie el equipo o cierre la sesión.</translation>
    </message>
    <message>
        <source>You can now connect your device to this %1 named &lt;b&gt;%2&lt;/b&gt;.</source>
        <translation>Ya puede conectar su dispositivo a este %1 llamado &lt;b&gt;%2&lt;/b&gt;.</translation>
    </message>
    <message>
        <source>%1 lives as a tray icon on your menu bar.</source>
        <translation>%1 se encuentra como icono en la barra de menús.</translation>
    </message>
    <message>
        <source>Do not show this message again</source>
        <translation>No volver a mostrar este mensaje</translation>
    </message>
    <message>
        <source>A newer client shows a code when it pairs: authorize it only if this computer shows the same code.</source>
        <translation>Un cliente más reciente muestra un código al emparejarse: autorícelo solo si este equipo muestra el mismo código.</translation>
    </message>
    <message>
        <source>The top bar shows no tray icon for %1.</source>
        <translation>La barra superior no muestra ningún icono de bandeja para %1.</translation>
    </message>
    <message>
        <source>To get one, install the package gnome-shell-extension-appindicator, then log out and in again.</source>
        <translation>Para obtenerlo, instale el paquete gnome-shell-extension-appindicator y luego cierre la sesión y vuelva a iniciarla.</translation>
    </message>
</context>
<context>
    <name>updater::DefaultUpdater</name>
    <message>
        <source>Cannot check for updates: %1</source>
        <translation>No se pueden buscar actualizaciones: %1</translation>
    </message>
    <message>
        <source>There are currently no updates available.</source>
        <translation>En este momento no hay actualizaciones disponibles.</translation>
    </message>
</context>
<context>
    <name>updater::Dialog</name>
    <message>
        <source>You already have the latest version</source>
        <translation>Ya tiene la versión más reciente</translation>
    </message>
    <message>
        <source>A new version of %1 is available!</source>
        <translation>¡Hay una nueva versión de %1 disponible!</translation>
    </message>
    <message>
        <source>Remind Me Later</source>
        <translation>Recordármelo más tarde</translation>
    </message>
    <message>
        <source>Download Update</source>
        <translation>Descargar actualización</translation>
    </message>
    <message>
        <source>%1 %2 is now available. You have %3.</source>
        <translation>%1 %2 ya está disponible. Usted tiene la versión %3.</translation>
    </message>
    <message>
        <source>Would you like to download it now?</source>
        <translation>¿Desea descargarla ahora?</translation>
    </message>
    <message>
        <source>Downloading %1 %2...</source>
        <translation>Descargando %1 %2...</translation>
    </message>
</context>
</TS>
