<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr" sourcelanguage="en">
<context>
    <name>AboutBox</name>
    <message>
        <source>About %1</source>
        <translation>À propos de %1</translation>
    </message>
    <message>
        <source>Remote control</source>
        <translation>Télécommande</translation>
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
        <translation>Connecter un téléphone</translation>
    </message>
    <message>
        <source>Pavo Server is not ready for phones yet. Open this window again in a moment.</source>
        <translation>Pavo Server n&apos;est pas encore prêt pour les téléphones. Rouvrez cette fenêtre dans un instant.</translation>
    </message>
    <message>
        <source>This computer is not connected to a local network. Connect it to the network your phone uses, then open this window again.</source>
        <translation>Cet ordinateur n&apos;est connecté à aucun réseau local. Connectez-le au réseau de votre téléphone, puis rouvrez cette fenêtre.</translation>
    </message>
    <message>
        <source>Scan the code with your phone&apos;s camera, or open the address in its browser. The phone must be on the same network as this computer.</source>
        <translation>Scannez le code avec l&apos;appareil photo de votre téléphone, ou ouvrez l&apos;adresse dans son navigateur. Le téléphone doit être sur le même réseau que cet ordinateur.</translation>
    </message>
    <message>
        <source>QR code of the address</source>
        <translation>Code QR de l&apos;adresse</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>%1 Preferences</source>
        <translation>Préférences de %1</translation>
    </message>
    <message>
        <source>Automatically start %1 at login</source>
        <translation>Démarrer %1 automatiquement à l&apos;ouverture de session</translation>
    </message>
    <message>
        <source>Prevent sleep when clients are connected</source>
        <translation>Empêcher la mise en veille lorsque des clients sont connectés</translation>
    </message>
    <message numerus="yes">
        <source>%n devices authorized</source>
        <translation>
            <numerusform>%n appareil autorisé</numerusform>
            <numerusform>%n appareils autorisés</numerusform>
        </translation>
    </message>
    <message>
        <source>Deauthorize All</source>
        <translation>Révoquer toutes les autorisations</translation>
    </message>
    <message>
        <source>Forget</source>
        <translation>Oublier</translation>
    </message>
    <message>
        <source>Allow older clients</source>
        <translation>Autoriser les anciens clients</translation>
    </message>
    <message>
        <source>Older clients pair without a verification code, and anyone on the same network can read what they send. Turn this off once every device uses a newer client.</source>
        <translation>Les anciens clients s’associent sans code de vérification, et toute personne sur le même réseau peut lire ce qu’ils envoient. Désactivez cette option dès que chaque appareil utilise un client plus récent.</translation>
    </message>
</context>
<context>
    <name>UI</name>
    <message>
        <source>Preferences...</source>
        <translation>Préférences...</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>À propos de %1</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>No clients connected</source>
        <translation>Aucun client connecté</translation>
    </message>
    <message numerus="yes">
        <source>%n client(s) connected</source>
        <translation>
            <numerusform>%n client connecté</numerusform>
            <numerusform>%n clients connectés</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 would like to connect.</source>
        <translation>%1 souhaite se connecter.</translation>
    </message>
    <message>
        <source>Deny</source>
        <translation>Refuser</translation>
    </message>
    <message>
        <source>Authorize</source>
        <translation>Autoriser</translation>
    </message>
    <message>
        <source>Device ID: %1</source>
        <translation>Identifiant de l’appareil : %1</translation>
    </message>
    <message>
        <source>Authorize only if the device shows the same code:</source>
        <translation>N’autorisez que si l’appareil affiche le même code :</translation>
    </message>
    <message>
        <source>Connect a Phone...</source>
        <translation>Connecter un téléphone...</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>Check for Updates...</source>
        <translation>Rechercher des mises à jour...</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Rechercher des mises à jour</translation>
    </message>
    <message>
        <source>Didn&apos;t check for updates.</source>
        <translation>Aucune recherche de mises à jour n&apos;a encore été faite.</translation>
    </message>
    <message>
        <source>You have the latest version.</source>
        <translation>Vous avez la dernière version.</translation>
    </message>
    <message>
        <source>Version %1 is available...</source>
        <translation>La version %1 est disponible...</translation>
    </message>
    <message>
        <source>Download Update</source>
        <translation>Télécharger la mise à jour</translation>
    </message>
    <message>
        <source>Version %1 is available.</source>
        <translation>La version %1 est disponible.</translation>
    </message>
    <message>
        <source>Downloading version %1...</source>
        <translation>Téléchargement de la version %1...</translation>
    </message>
    <message>
        <source>Downloading update...</source>
        <translation>Téléchargement de la mise à jour...</translation>
    </message>
    <message>
        <source>Restart to Update</source>
        <translation>Redémarrer pour mettre à jour</translation>
    </message>
    <message>
        <source>An update has been downloaded and is ready to be installed.</source>
        <translation>Une mise à jour a été téléchargée et est prête à être installée.</translation>
    </message>
    <message>
        <source>Version %1 download failed</source>
        <translation>Échec du téléchargement de la version %1</translation>
    </message>
    <message>
        <source>Retry Update Download</source>
        <translation>Relancer le téléchargement</translation>
    </message>
    <message>
        <source>Version %1 download failed.</source>
        <translation>Échec du téléchargement de la version %1.</translation>
    </message>
</context>
<context>
    <name>WelcomeView</name>
    <message>
        <source>Welcome to %1</source>
        <translation>Bienvenue dans %1</translation>
    </message>
    <message>
        <source>Use %1</source>
        <translation>Utiliser %1</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>%1 installed a GNOME Shell extension.</source>
        <translation>%1 a installé une extension GNOME Shell.</translation>
    </message>
    <message>
        <source>To enable the extension please restart your computer or log out.</source>
        <translation>Pour activer l&apos;extension, veuillez redémarrer votre ordinateur ou fermer votre session.</translation>
    </message>
    <message>
        <source>You can now connect your device to this %1 named &lt;b&gt;%2&lt;/b&gt;.</source>
        <translation>Vous pouvez maintenant connecter votre appareil à ce %1 nommé &lt;b&gt;%2&lt;/b&gt;.</translation>
    </message>
    <message>
        <source>%1 lives as a tray icon on your menu bar.</source>
        <translation>%1 se trouve sous forme d&apos;icône dans votre barre de menus.</translation>
    </message>
    <message>
        <source>Do not show this message again</source>
        <translation>Ne plus afficher ce message</translation>
    </message>
    <message>
        <source>A newer client shows a code when it pairs: authorize it only if this computer shows the same code.</source>
        <translation>Un client plus récent affiche un code lors de l’association : ne l’autorisez que si cet ordinateur affiche le même code.</translation>
    </message>
    <message>
        <source>The top bar shows no tray icon for %1.</source>
        <translation>La barre supérieure n’affiche aucune icône de notification pour %1.</translation>
    </message>
    <message>
        <source>To get one, install the package gnome-shell-extension-appindicator, then log out and in again.</source>
        <translation>Pour en obtenir une, installez le paquet gnome-shell-extension-appindicator, puis déconnectez-vous et reconnectez-vous.</translation>
    </message>
</context>
<context>
    <name>updater::DefaultUpdater</name>
    <message>
        <source>Cannot check for updates: %1</source>
        <translation>Impossible de rechercher des mises à jour&#xa0;: %1</translation>
    </message>
    <message>
        <source>There are currently no updates available.</source>
        <translation>Aucune mise à jour n&apos;est disponible pour le moment.</translation>
    </message>
</context>
<context>
    <name>updater::Dialog</name>
    <message>
        <source>You already have the latest version</source>
        <translation>Vous avez déjà la dernière version</translation>
    </message>
    <message>
        <source>A new version of %1 is available!</source>
        <translation>Une nouvelle version de %1 est disponible&#xa0;!</translation>
    </message>
    <message>
        <source>Remind Me Later</source>
        <translation>Me le rappeler plus tard</translation>
    </message>
    <message>
        <source>Download Update</source>
        <translation>Télécharger la mise à jour</translation>
    </message>
    <message>
        <source>%1 %2 is now available. You have %3.</source>
        <translation>%1 %2 est maintenant disponible. Vous avez la version %3.</translation>
    </message>
    <message>
        <source>Would you like to download it now?</source>
        <translation>Voulez-vous la télécharger maintenant&#xa0;?</translation>
    </message>
    <message>
        <source>Downloading %1 %2...</source>
        <translation>Téléchargement de %1 %2...</translation>
    </message>
</context>
</TS>
