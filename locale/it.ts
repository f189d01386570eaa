<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it" sourcelanguage="en">
<context>
    <name>AboutBox</name>
    <message>
        <source>About %1</source>
        <translation>Informazioni su %1</translation>
    </message>
    <message>
        <source>Remote control</source>
        <translation>Controllo remoto</translation>
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
        <translation>Collega un telefono</translation>
    </message>
    <message>
        <source>Pavo Server is not ready for phones yet. Open this window again in a moment.</source>
        <translation>Pavo Server non è ancora pronto per i telefoni. Riapri questa finestra tra un momento.</translation>
    </message>
    <message>
        <source>This computer is not connected to a local network. Connect it to the network your phone uses, then open this window again.</source>
        <translation>Questo computer non è collegato a una rete locale. Collegalo alla rete del telefono, poi riapri questa finestra.</translation>
    </message>
    <message>
        <source>Scan the code with your phone&apos;s camera, or open the address in its browser. The phone must be on the same network as this computer.</source>
        <translation>Inquadra il codice con la fotocamera del telefono oppure apri l&apos;indirizzo nel suo browser. Il telefono deve essere sulla stessa rete di questo computer.</translation>
    </message>
    <message>
        <source>QR code of the address</source>
        <translation>Codice QR dell&apos;indirizzo</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>%1 Preferences</source>
        <translation>Preferenze di %1</translation>
    </message>
    <message>
        <source>Automatically start %1 at login</source>
        <translation>Avvia %1 automaticamente all&apos;accesso</translation>
    </message>
    <message>
        <source>Prevent sleep when clients are connected</source>
        <translation>Impedisci la sospensione quando ci sono client connessi</translation>
    </message>
    <message numerus="yes">
        <source>%n devices authorized</source>
        <translation>
            <numerusform>%n dispositivo autorizzato</numerusform>
            <numerusform>%n dispositivi autorizzati</numerusform>
        </translation>
    </message>
    <message>
        <source>Deauthorize All</source>
        <translation>Revoca tutte le autorizzazioni</translation>
    </message>
    <message>
        <source>Forget</source>
        <translation>Dimentica</translation>
    </message>
    <message>
        <source>Allow older clients</source>
        <translation>Consenti i client meno recenti</translation>
    </message>
    <message>
        <source>Older clients pair without a verification code, and anyone on the same network can read what they send. Turn this off once every device uses a newer client.</source>
        <translation>I client meno recenti si associano senza codice di verifica e chiunque sulla stessa rete può leggere ciò che inviano. Disattiva questa opzione quando ogni dispositivo usa un client più recente.</translation>
    </message>
</context>
<context>
    <name>UI</name>
    <message>
        <source>Preferences...</source>
        <translation>Preferenze...</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>Informazioni su %1</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Esci</translation>
    </message>
    <message>
        <source>No clients connected</source>
        <translation>Nessun client connesso</translation>
    </message>
    <message numerus="yes">
        <source>%n client(s) connected</source>
        <translation>
            <numerusform>%n client connesso</numerusform>
            <numerusform>%n client connessi</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 would like to connect.</source>
        <translation>%1 vorrebbe connettersi.</translation>
    </message>
    <message>
        <source>Deny</source>
        <translation>Nega</translation>
    </message>
    <message>
        <source>Authorize</source>
        <translation>Autorizza</translation>
    </message>
    <message>
        <source>Device ID: %1</source>
        <translation>ID dispositivo: %1</translation>
    </message>
    <message>
        <source>Authorize only if the device shows the same code:</source>
        <translation>Autorizza solo se il dispositivo mostra lo stesso codice:</translation>
    </message>
    <message>
        <source>Connect a Phone...</source>
        <translation>Collega un telefono...</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>Check for Updates...</source>
        <translation>Controlla aggiornamenti...</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Controlla aggiornamenti</translation>
    </message>
    <message>
        <source>Didn&apos;t check for updates.</source>
        <translation>Gli aggiornamenti non sono ancora stati controllati.</translation>
    </message>
    <message>
        <source>You have the latest version.</source>
        <translation>Hai la versione più recente.</translation>
    </message>
    <message>
        <source>Version %1 is available...</source>
        <translation>È disponibile la versione %1...</translation>
    </message>
    <message>
        <source>Download Update</source>
        <translation>Scarica aggiornamento</translation>
    </message>
    <message>
        <source>Version %1 is available.</source>
        <translation>È disponibile la versione %1.</translation>
    </message>
    <message>
        <source>Downloading version %1...</source>
        <translation>Download della versione %1 in corso...</translation>
    </message>
    <message>
        <source>Downloading update...</source>
        <translation>Download dell&apos;aggiornamento in corso...</translation>
    </message>
    <message>
        <source>Restart to Update</source>
        <translation>Riavvia per aggiornare</translation>
    </message>
    <message>
        <source>An update has been downloaded and is ready to be installed.</source>
        <translation>Un aggiornamento è stato scaricato ed è pronto per l&apos;installazione.</translation>
    </message>
    <message>
        <source>Version %1 download failed</source>
        <translation>Download della versione %1 non riuscito</translation>
    </message>
    <message>
        <source>Retry Update Download</source>
        <translation>Riprova il download</translation>
    </message>
    <message>
        <source>Version %1 download failed.</source>
        <translation>Download della versione %1 non riuscito.</translation>
    </message>
</context>
<context>
    <name>WelcomeView</name>
    <message>
        <source>Welcome to %1</source>
        <translation>Benvenuto in %1</translation>
    </message>
    <message>
        <source>Use %1</source>
        <translation>Usa %1</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>%1 installed a GNOME Shell extension.</source>
        <translation>%1 ha installato un&apos;estensione di GNOME Shell.</translation>
    </message>
    <message>
        <source>To enable the extension please restart your computer or log out.</source>
        <translation>Per attivare l&apos;estensione riavvia il computer o esci dalla sessione.</translation>
    </message>
    <message>
        <source>You can now connect your device to this %1 named &lt;b&gt;%2&lt;/b&gt;.</source>
        <translation>Ora puoi collegare il tuo dispositivo a questo %1 chiamato &lt;b&gt;%2&lt;/b&gt;.</translation>
    </message>
    <message>
        <source>%1 lives as a tray icon on your menu bar.</source>
        <translation>%1 si trova come icona nella barra dei menu.</translation>
    </message>
    <message>
        <source>Do not show this message again</source>
        <translation>Non mostrare più questo messaggio</translation>
    </message>
    <message>
        <source>A newer client shows a code when it pairs: authorize it only if this computer shows the same code.</source>
        <translation>Un client più recente mostra un codice durante l’associazione: autorizzalo solo se questo computer mostra lo stesso codice.</translation>
    </message>
    <message>
        <source>The top bar shows no tray icon for %1.</source>
        <translation>La barra superiore non mostra alcuna icona di notifica per %1.</translation>
    </message>
    <message>
        <source>To get one, install the package gnome-shell-extension-appindicator, then log out and in again.</source>
        <translation>Per ottenerla, installa il pacchetto gnome-shell-extension-appindicator, poi esci e accedi di nuovo.</translation>
    </message>
</context>
<context>
    <name>updater::DefaultUpdater</name>
    <message>
        <source>Cannot check for updates: %1</source>
        <translation>Impossibile controllare gli aggiornamenti: %1</translation>
    </message>
    <message>
        <source>There are currently no updates available.</source>
        <translation>Al momento non ci sono aggiornamenti disponibili.</translation>
    </message>
</context>
<context>
    <name>updater::Dialog</name>
    <message>
        <source>You already have the latest version</source>
        <translation>Hai già la versione più recente</translation>
    </message>
    <message>
        <source>A new version of %1 is available!</source>
        <translation>È disponibile una nuova versione di %1!</translation>
    </message>
    <message>
        <source>Remind Me Later</source>
        <translation>Ricordamelo più tardi</translation>
    </message>
    <message>
        <source>Download Update</source>
        <translation>Scarica aggiornamento</translation>
    </message>
    <message>
        <source>%1 %2 is now available. You have %3.</source>
        <translation>%1 %2 è ora disponibile. Hai la versione %3.</translation>
    </message>
    <message>
        <source>Would you like to download it now?</source>
        <translation>Vuoi scaricarla adesso?</translation>
    </message>
    <message>
        <source>Downloading %1 %2...</source>
        <translation>Download di %1 %2 in corso...</translation>
    </message>
</context>
</TS>
