<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR" sourcelanguage="en">
<context>
    <name>AboutBox</name>
    <message>
        <source>About %1</source>
        <translation>Sobre o %1</translation>
    </message>
    <message>
        <source>Remote control</source>
        <translation>Controle remoto</translation>
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
        <translation>Conectar um celular</translation>
    </message>
    <message>
        <source>Pavo Server is not ready for phones yet. Open this window again in a moment.</source>
        <translation>O Pavo Server ainda não está pronto para celulares. Abra esta janela de novo em instantes.</translation>
    </message>
    <message>
        <source>This computer is not connected to a local network. Connect it to the network your phone uses, then open this window again.</source>
        <translation>Este computador não está conectado a uma rede local. Conecte-o à rede que o celular usa e abra esta janela de novo.</translation>
    </message>
    <message>
        <source>Scan the code with your phone&apos;s camera, or open the address in its browser. The phone must be on the same network as this computer.</source>
        <translation>Leia o código com a câmera do celular ou abra o endereço no navegador dele. O celular precisa estar na mesma rede que este computador.</translation>
    </message>
    <message>
        <source>QR code of the address</source>
        <translation>Código QR do endereço</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>%1 Preferences</source>
        <translation>Preferências do %1</translation>
    </message>
    <message>
        <source>Automatically start %1 at login</source>
        <translation>Iniciar o %1 automaticamente ao entrar na sessão</translation>
    </message>
    <message>
        <source>Prevent sleep when clients are connected</source>
        <translation>Impedir a suspensão enquanto houver clientes conectados</translation>
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
        <translation>Revogar todas as autorizações</translation>
    </message>
    <message>
        <source>Forget</source>
        <translation>Esquecer</translation>
    </message>
    <message>
        <source>Allow older clients</source>
        <translation>Permitir clientes antigos</translation>
    </message>
    <message>
        <source>Older clients pair without a verification code, and anyone on the same network can read what they send. Turn this off once every device uses a newer client.</source>
        <translation>Clientes antigos são pareados sem código de verificação, e qualquer pessoa na mesma rede pode ler o que eles enviam. Desative esta opção quando todos os dispositivos usarem um cliente mais recente.</translation>
    </message>
</context>
<context>
    <name>UI</name>
    <message>
        <source>Preferences...</source>
        <translation>Preferências...</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>Sobre o %1</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Sair</translation>
    </message>
    <message>
        <source>No clients connected</source>
        <translation>Nenhum cliente conectado</translation>
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
        <translation>%1 deseja se conectar.</translation>
    </message>
    <message>
        <source>Deny</source>
        <translation>Negar</translation>
    </message>
    <message>
        <source>Authorize</source>
        <translation>Autorizar</translation>
    </message>
    <message>
        <source>Device ID: %1</source>
        <translation>ID do dispositivo: %1</translation>
    </message>
    <message>
        <source>Authorize only if the device shows the same code:</source>
        <translation>Autorize somente se o dispositivo mostrar o mesmo código:</translation>
    </message>
    <message>
        <source>Connect a Phone...</source>
        <translation>Conectar um celular...</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>Check for Updates...</source>
        <translation>Verificar atualizações...</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Verificar atualizações</translation>
    </message>
    <message>
        <source>Didn&apos;t check for updates.</source>
        <translation>As atualizações ainda não foram verificadas.</translation>
    </message>
    <message>
        <source>You have the latest version.</source>
        <translation>Você tem a versão mais recente.</translation>
    </message>
    <message>
        <source>Version %1 is available...</source>
        <translation>A versão %1 está disponível...</translation>
    </message>
    <message>
        <source>Download Update</source>
        <translation>Baixar atualização</translation>
    </message>
    <message>
        <source>Version %1 is available.</source>
        <translation>A versão %1 está disponível.</translation>
    </message>
    <message>
        <source>Downloading version %1...</source>
        <translation>Baixando a versão %1...</translation>
    </message>
    <message>
        <source>Downloading update...</source>
        <translation>Baixando a atualização...</translation>
    </message>
    <message>
        <source>Restart to Update</source>
        <translation>Reiniciar para atualizar</translation>
    </message>
    <message>
        <source>An update has been downloaded and is ready to be installed.</source>
        <translation>Uma atualização foi baixada e está pronta para ser instalada.</translation>
    </message>
    <message>
        <source>Version %1 download failed</source>
        <translation>Falha ao baixar a versão %1</translation>
    </message>
    <message>
        <source>Retry Update Download</source>
        <translation>Tentar baixar novamente</translation>
    </message>
    <message>
        <source>Version %1 download failed.</source>
        <translation>Falha ao baixar a versão %1.</translation>
    </message>
</context>
<context>
    <name>WelcomeView</name>
    <message>
        <source>Welcome to %1</source>
        <translation>Bem-vindo ao %1</translation>
    </message>
    <message>
        <source>Use %1</source>
        <translation>Usar o %1</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>%1 installed a GNOME Shell extension.</source>
        <translation>O %1 instalou uma extensão do GNOME Shell.</translation>
    </message>
    <message>
        <source>To enable the extension please restart your computer or log out.</source>
        <translation>Para ativar a extensão, reinicie o computador ou encerre a sessão.</translation>
    </message>
    <message>
        <source>You can now connect your device to this %1 named &lt;b&gt;%2&lt;/b&gt;.</source>
        <translation>Agora você pode conectar seu dispositivo a este %1 chamado &lt;b&gt;%2&lt;/b&gt;.</translation>
    </message>
    <message>
        <source>%1 lives as a tray icon on your menu bar.</source>
        <translation>O %1 fica como um ícone na sua barra de menus.</translation>
    </message>
    <message>
        <source>Do not show this message again</source>
        <translation>Não mostrar esta mensagem novamente</translation>
    </message>
    <message>
        <source>A newer client shows a code when it pairs: authorize it only if this computer shows the same code.</source>
        <translation>Um cliente mais recente mostra um código ao parear: autorize-o somente se este computador mostrar o mesmo código.</translation>
    </message>
    <message>
        <source>The top bar shows no tray icon for %1.</source>
        <translation>A barra superior não mostra nenhum ícone de bandeja para %1.</translation>
    </message>
    <message>
        <source>To get one, install the package gnome-shell-extension-appindicator, then log out and in again.</source>
        <translation>Para obter um, instale o pacote gnome-shell-extension-appindicator e depois saia e entre novamente na sessão.</translation>
    </message>
</context>
<context>
    <name>updater::DefaultUpdater</name>
    <message>
        <source>Cannot check for updates: %1</source>
        <translation>Não foi possível verificar se há atualizações: %1</translation>
    </message>
    <message>
        <source>There are currently no updates available.</source>
        <translation>No momento, não há atualizações disponíveis.</translation>
    </message>
</context>
<context>
    <name>updater::Dialog</name>
    <message>
        <source>You already have the latest version</source>
        <translation>Você já tem a versão mais recente</translation>
    </message>
    <message>
        <source>A new version of %1 is available!</source>
        <translation>Uma nova versão do %1 está disponível!</translation>
    </message>
    <message>
        <source>Remind Me Later</source>
        <translation>Lembrar mais tarde</translation>
    </message>
    <message>
        <source>Download Update</source>
        <translation>Baixar atualização</translation>
    </message>
    <message>
        <source>%1 %2 is now available. You have %3.</source>
        <translation>O %1 %2 já está disponível. Você tem a versão %3.</translation>
    </message>
    <message>
        <source>Would you like to download it now?</source>
        <translation>Deseja baixá-la agora?</translation>
    </message>
    <message>
        <source>Downloading %1 %2...</source>
        <translation>Baixando o %1 %2...</translation>
    </message>
</context>
</TS>
