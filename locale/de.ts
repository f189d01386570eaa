<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>AboutBox</name>
    <message>
        <source>About %1</source>
        <translation>Über %1</translation>
    </message>
    <message>
        <source>Remote control</source>
        <translation>Fernsteuerung</translation>
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
        <translation>Telefon verbinden</translation>
    </message>
    <message>
        <source>Pavo Server is not ready for phones yet. Open this window again in a moment.</source>
        <translation>Pavo Server ist noch nicht für Telefone bereit. Öffnen Sie dieses Fenster gleich noch einmal.</translation>
    </message>
    <message>
        <source>This computer is not connected to a local network. Connect it to the network your phone uses, then open this window again.</source>
        <translation>Dieser Computer ist mit keinem lokalen Netzwerk verbunden. Verbinden Sie ihn mit dem Netzwerk Ihres Telefons und öffnen Sie dieses Fenster dann erneut.</translation>
    </message>
    <message>
        <source>Scan the code with your phone&apos;s camera, or open the address in its browser. The phone must be on the same network as this computer.</source>
        <translation>Scannen Sie den Code mit der Kamera Ihres Telefons oder öffnen Sie die Adresse in seinem Browser. Das Telefon muss im selben Netzwerk sein wie dieser Computer.</translation>
    </message>
    <message>
        <source>QR code of the address</source>
        <translation>QR-Code der Adresse</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>%1 Preferences</source>
        <translation>%1 – Einstellungen</translation>
    </message>
    <message>
        <source>Automatically start %1 at login</source>
        <translation>%1 bei der Anmeldung automatisch starten</translation>
    </message>
    <message>
        <source>Prevent sleep when clients are connected</source>
        <translation>Ruhezustand verhindern, solange Clients verbunden sind</translation>
    </message>
    <message numerus="yes">
        <source>%n devices authorized</source>
        <translation>
            <numerusform>%n Gerät autorisiert</numerusform>
            <numerusform>%n Geräte autorisiert</numerusform>
        </translation>
    </message>
    <message>
        <source>Deauthorize All</source>
        <translation>Alle Autorisierungen aufheben</translation>
    </message>
    <message>
        <source>Forget</source>
        <translation>Vergessen</translation>
    </message>
    <message>
        <source>Allow older clients</source>
        <translation>Ältere Clients zulassen</translation>
    </message>
    <message>
        <source>Older clients pair without a verification code, and anyone on the same network can read what they send. Turn this off once every device uses a newer client.</source>
        <translation>Ältere Clients koppeln sich ohne Bestätigungscode, und jeder im selben Netzwerk kann mitlesen, was sie senden. Schalten Sie dies aus, sobald jedes Gerät einen neueren Client verwendet.</translation>
    </message>
</context>
<context>
    <name>UI</name>
    <message>
        <source>Preferences...</source>
        <translation>Einstellungen...</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>Über %1</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>No clients connected</source>
        <translation>Keine Clients verbunden</translation>
    </message>
    <message numerus="yes">
        <source>%n client(s) connected</source>
        <translation>
            <numerusform>%n Client verbunden</numerusform>
            <numerusform>%n Clients verbunden</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 would like to connect.</source>
        <translation>%1 möchte sich verbinden.</translation>
    </message>
    <message>
        <source>Deny</source>
        <translation>Ablehnen</translation>
    </message>
    <message>
        <source>Authorize</source>
        <translation>Zulassen</translation>
    </message>
    <message>
        <source>Device ID: %1</source>
        <translation>Geräte-ID: %1</translation>
    </message>
    <message>
        <source>Authorize only if the device shows the same code:</source>
        <translation>Nur zulassen, wenn das Gerät denselben Code anzeigt:</translation>
    </message>
    <message>
        <source>Connect a Phone...</source>
        <translation>Telefon verbinden...</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>Check for Updates...</source>
        <translation>Nach Updates suchen...</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Nach Updates suchen</translation>
    </message>
    <message>
        <source>Didn&apos;t check for updates.</source>
        <translation>Es wurde noch nicht nach Updates gesucht.</translation>
    </message>
    <message>
        <source>You have the latest version.</source>
        <translation>Sie haben die neueste Version.</translation>
    </message>
    <message>
        <source>Version %1 is available...</source>
        <translation>Version %1 ist verfügbar...</translation>
    </message>
    <message>
        <source>Download Update</source>
        <translation>Update herunterladen</translation>
    </message>
    <message>
        <source>Version %1 is available.</source>
        <translation>Version %1 ist verfügbar.</translation>
    </message>
    <message>
        <source>Downloading version %1...</source>
        <translation>Version %1 wird heruntergeladen...</translation>
    </message>
    <message>
        <source>Downloading update...</source>
        <translation>Update wird heruntergeladen...</translation>
    </message>
    <message>
        <source>Restart to Update</source>
        <translation>Neu starten und aktualisieren</translation>
    </message>
    <message>
        <source>An update has been downloaded and is ready to be installed.</source>
        <translation>Ein Update wurde heruntergeladen und kann installiert werden.</translation>
    </message>
    <message>
        <source>Version %1 download failed</source>
        <translation>Download von Version %1 fehlgeschlagen</translation>
    </message>
    <message>
        <source>Retry Update Download</source>
        <translation>Download erneut versuchen</translation>
    </message>
    <message>
        <source>Version %1 download failed.</source>
        <translation>Download von Version %1 fehlgeschlagen.</translation>
    </message>
</context>
<context>
    <name>WelcomeView</name>
    <message>
        <source>Welcome to %1</source>
        <translation>Willkommen bei %1</translation>
    </message>
    <message>
        <source>Use %1</source>
        <translation>%1 verwenden</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>%1 installed a GNOME Shell extension.</source>
        <translation>%1 hat eine GNOME-Shell-Erweiterung installiert.</translation>
    </message>
    <message>
        <source>To enable the extension please restart your computer or log out.</source>
        <translation>Bitte starten Sie den Computer neu oder melden Sie sich ab, um die Erweiterung zu aktivieren.</translation>
    </message>
    <message>
        <source>You can now connect your device to this %1 named &lt;b&gt;%2&lt;/b&gt;.</source>
        <translation>Sie können Ihr Gerät jetzt mit diesem %1 namens &lt;b&gt;%2&lt;/b&gt; verbinden.</translation>
    </message>
    <message>
        <source>%1 lives as a tray icon on your menu bar.</source>
        <translation>%1 finden Sie als Symbol in Ihrer Menüleiste.</translation>
    </message>
    <message>
        <source>Do not show this message again</source>
        <translation>Diese Meldung nicht mehr anzeigen</translation>
    </message>
    <message>
        <source>A newer client shows a code when it pairs: authorize it only if this computer shows the same code.</source>
        <translation>Ein neuerer Client zeigt beim Koppeln einen Code an: Lassen Sie ihn nur zu, wenn dieser Computer denselben Code anzeigt.</translation>
    </message>
    <message>
        <source>The top bar shows no tray icon for %1.</source>
        <translation>Die obere Leiste zeigt kein Statussymbol für %1.</translation>
    </message>
    <message>
        <source>To get one, install the package gnome-shell-extension-appindicator, then log out and in again.</source>
        <translation>Installieren Sie dazu das Paket gnome-shell-extension-appindicator und melden Sie sich ab und wieder an.</translation>
    </message>
</context>
<context>
    <name>updater::DefaultUpdater</name>
    <message>
        <source>Cannot check for updates: %1</source>
        <translation>Die Suche nach Updates ist fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>There are currently no updates available.</source>
        <translation>Zurzeit sind keine Updates verfügbar.</translation>
    </message>
</context>
<context>
    <name>updater::Dialog</name>
    <message>
        <source>You already have the latest version</source>
        <translation>Sie haben bereits die neueste Version</translation>
    </message>
    <message>
        <source>A new version of %1 is available!</source>
        <translation>Eine neue Version von %1 ist verfügbar!</translation>
    </message>
    <message>
        <source>Remind Me Later</source>
        <translation>Später erinnern</translation>
    </message>
    <message>
        <source>Download Update</source>
        <translation>Update herunterladen</translation>
    </message>
    <message>
        <source>%1 %2 is now available. You have %3.</source>
        <translation>%1 %2 ist jetzt verfügbar. Sie haben %3.</translation>
    </message>
    <message>
        <source>Would you like to download it now?</source>
        <translation>Möchten Sie sie jetzt herunterladen?</translation>
    </message>
    <message>
        <source>Downloading %1 %2...</source>
        <translation>%1 %2 wird heruntergeladen...</translation>
    </message>
</context>
</TS>
