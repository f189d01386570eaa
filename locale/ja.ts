<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja" sourcelanguage="en">
<context>
    <name>AboutBox</name>
    <message>
        <source>About %1</source>
        <translation>%1 について</translation>
    </message>
    <message>
        <source>Remote control</source>
        <translation>リモートコントロール</translation>
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
        <translation>スマートフォンを接続</translation>
    </message>
    <message>
        <source>Pavo Server is not ready for phones yet. Open this window again in a moment.</source>
        <translation>Pavo Server はまだスマートフォンを受け付ける準備ができていません。しばらくしてからこのウィンドウをもう一度開いてください。</translation>
    </message>
    <message>
        <source>This computer is not connected to a local network. Connect it to the network your phone uses, then open this window again.</source>
        <translation>このコンピューターはローカルネットワークに接続されていません。スマートフォンと同じネットワークに接続してから、このウィンドウをもう一度開いてください。</translation>
    </message>
    <message>
        <source>Scan the code with your phone&apos;s camera, or open the address in its browser. The phone must be on the same network as this computer.</source>
        <translation>スマートフォンのカメラでコードを読み取るか、ブラウザーでアドレスを開いてください。スマートフォンはこのコンピューターと同じネットワークにつながっている必要があります。</translation>
    </message>
    <message>
        <source>QR code of the address</source>
        <translation>アドレスの QR コード</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>%1 Preferences</source>
        <translation>%1 の設定</translation>
    </message>
    <message>
        <source>Automatically start %1 at login</source>
        <translation>ログイン時に %1 を自動的に起動する</translation>
    </message>
    <message>
        <source>Prevent sleep when clients are connected</source>
        <translation>クライアントの接続中はスリープしない</translation>
    </message>
    <message numerus="yes">
        <source>%n devices authorized</source>
        <translation>
            <numerusform>%n 台のデバイスが許可されています</numerusform>
        </translation>
    </message>
    <message>
        <source>Deauthorize All</source>
        <translation>すべての許可を取り消す</translation>
    </message>
    <message>
        <source>Forget</source>
        <translation>登録解除</translation>
    </message>
    <message>
        <source>Allow older clients</source>
        <translation>古いクライアントを許可する</translation>
    </message>
    <message>
        <source>Older clients pair without a verification code, and anyone on the same network can read what they send. Turn this off once every device uses a newer client.</source>
        <translation>古いクライアントは確認コードなしでペアリングされ、同じネットワーク上の誰でも送信内容を読み取れます。すべてのデバイスが新しいクライアントを使うようになったら、これをオフにしてください。</translation>
    </message>
</context>
<context>
    <name>UI</name>
    <message>
        <source>Preferences...</source>
        <translation>設定...</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>%1 について</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>No clients connected</source>
        <translation>接続中のクライアントはありません</translation>
    </message>
    <message numerus="yes">
        <source>%n client(s) connected</source>
        <translation>
            <numerusform>%n 台のクライアントが接続中</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 would like to connect.</source>
        <translation>%1 が接続を求めています。</translation>
    </message>
    <message>
        <source>Deny</source>
        <translation>拒否</translation>
    </message>
    <message>
        <source>Authorize</source>
        <translation>許可</translation>
    </message>
    <message>
        <source>Device ID: %1</source>
        <translation>デバイス ID: %1</translation>
    </message>
    <message>
        <source>Authorize only if the device shows the same code:</source>
        <translation>デバイスに同じコードが表示されている場合のみ許可してください:</translation>
    </message>
    <message>
        <source>Connect a Phone...</source>
        <translation>スマートフォンを接続...</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>Check for Updates...</source>
        <translation>アップデートを確認...</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>アップデートを確認</translation>
    </message>
    <message>
        <source>Didn&apos;t check for updates.</source>
        <translation>アップデートはまだ確認していません。</translation>
    </message>
    <message>
        <source>You have the latest version.</source>
        <translation>最新バージョンを使用しています。</translation>
    </message>
    <message>
        <source>Version %1 is available...</source>
        <translation>バージョン %1 が利用可能です...</translation>
    </message>
    <message>
        <source>Download Update</source>
        <translation>アップデートをダウンロード</translation>
    </message>
    <message>
        <source>Version %1 is available.</source>
        <translation>バージョン %1 が利用可能です。</translation>
    </message>
    <message>
        <source>Downloading version %1...</source>
        <translation>バージョン %1 をダウンロード中...</translation>
    </message>
    <message>
        <source>Downloading update...</source>
        <translation>アップデートをダウンロード中...</translation>
    </message>
    <message>
        <source>Restart to Update</source>
        <translation>再起動してアップデート</translation>
    </message>
    <message>
        <source>An update has been downloaded and is ready to be installed.</source>
        <translation>アップデートをダウンロードしました。インストールの準備ができています。</translation>
    </message>
    <message>
        <source>Version %1 download failed</source>
        <translation>バージョン %1 のダウンロードに失敗しました</translation>
    </message>
    <message>
        <source>Retry Update Download</source>
        <translation>ダウンロードを再試行</translation>
    </message>
    <message>
        <source>Version %1 download failed.</source>
        <translation>バージョン %1 のダウンロードに失敗しました。</translation>
    </message>
</context>
<context>
    <name>WelcomeView</name>
    <message>
        <source>Welcome to %1</source>
        <translation>%1 へようこそ</translation>
    </message>
    <message>
        <source>Use %1</source>
        <translation>%1 を使う</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>%1 installed a GNOME Shell extension.</source>
        <translation>%1 が GNOME Shell 拡張機能をインストールしました。</translation>
    </message>
    <message>
        <source>To enable the extension please restart your computer or log out.</source>
        <translation>拡張機能を有効にするには、コンピューターを再起動するかログアウトしてください。</translation>
    </message>
    <message>
        <source>You can now connect your device to this %1 named &lt;b&gt;%2&lt;/b&gt;.</source>
        <translation>お使いのデバイスを、&lt;b&gt;%2&lt;/b&gt; という名前のこの %1 に接続できるようになりました。</translation>
    </message>
    <message>
        <source>%1 lives as a tray icon on your menu bar.</source>
        <translation>%1 はメニューバーのアイコンとして常駐します。</translation>
    </message>
    <message>
        <source>Do not show this message again</source>
        <translation>今後このメッセージを表示しない</translation>
    </message>
    <message>
        <source>A newer client shows a code when it pairs: authorize it only if this computer shows the same code.</source>
        <translation>新しいクライアントはペアリング時にコードを表示します。このコンピューターに同じコードが表示されている場合のみ許可してください。</translation>
    </message>
    <message>
        <source>The top bar shows no tray icon for %1.</source>
        <translation>トップバーに %1 のトレイアイコンが表示されていません。</translation>
    </message>
    <message>
        <source>To get one, install the package gnome-shell-extension-appindicator, then log out and in again.</source>
        <translation>表示するには、gnome-shell-extension-appindicator パッケージをインストールし、ログアウトしてから再度ログインしてください。</translation>
    </message>
</context>
<context>
    <name>updater::DefaultUpdater</name>
    <message>
        <source>Cannot check for updates: %1</source>
        <translation>アップデートを確認できません: %1</translation>
    </message>
    <message>
        <source>There are currently no updates available.</source>
        <translation>現在利用できるアップデートはありません。</translation>
    </message>
</context>
<context>
    <name>updater::Dialog</name>
    <message>
        <source>You already have the latest version</source>
        <translation>すでに最新バージョンを使用しています</translation>
    </message>
    <message>
        <source>A new version of %1 is available!</source>
        <translation>%1 の新しいバージョンが利用可能です！</translation>
    </message>
    <message>
        <source>Remind Me Later</source>
        <translation>後で通知</translation>
    </message>
    <message>
        <source>Download Update</source>
        <translation>アップデートをダウンロード</translation>
    </message>
    <message>
        <source>%1 %2 is now available. You have %3.</source>
        <translation>%1 %2 が利用可能になりました。現在のバージョンは %3 です。</translation>
    </message>
    <message>
        <source>Would you like to download it now?</source>
        <translation>今すぐダウンロードしますか？</translation>
    </message>
    <message>
        <source>Downloading %1 %2...</source>
        <translation>%1 %2 をダウンロード中...</translation>
    </message>
</context>
</TS>
