#include "server/protocol.h"

namespace Method {
const QString Authentication = QStringLiteral("au");
const QString Wait = QStringLiteral("wa");
const QString InstalledApps = QStringLiteral("ia");
const QString CurrentApp = QStringLiteral("ca");
const QString AppIcon = QStringLiteral("ai");
const QString AppActivate = QStringLiteral("aa");
const QString AppClose = QStringLiteral("ha");
const QString AppQuit = QStringLiteral("qa");
const QString AppMinimize = QStringLiteral("ma");
const QString AppMaximize = QStringLiteral("xa");
const QString AppFullscreen = QStringLiteral("fa");
const QString AppScroll = QStringLiteral("as");
const QString KeySequence = QStringLiteral("ks");
const QString Commands = QStringLiteral("ac");
const QString CommandIcon = QStringLiteral("ci");
const QString Menu = QStringLiteral("am");
const QString MenuPerform = QStringLiteral("pm");
const QString FocusValue = QStringLiteral("fv");
const QString FocusPerform = QStringLiteral("pf");
const QString FocusedElement = QStringLiteral("fe");
const QString CommandsChanged = QStringLiteral("sc");
const QString DirectoryListing = QStringLiteral("dl");
const QString FileIcon = QStringLiteral("fi");
const QString FilePreview = QStringLiteral("fp");
const QString FileOpen = QStringLiteral("fo");
const QString FileApps = QStringLiteral("fia");
const QString ScreenLock = QStringLiteral("lock");
const QString Brightness = QStringLiteral("b");
const QString Volume = QStringLiteral("v");
const QString VolumeMute = QStringLiteral("vm");
const QString Unsupported = QStringLiteral("un");
const QString Logout = QStringLiteral("logout");
const QString Sleep = QStringLiteral("sleep");
const QString Restart = QStringLiteral("restart");
const QString Shutdown = QStringLiteral("shutdown");
const QString MediaPlayPause = QStringLiteral("pp");
const QString MediaPreviousTrack = QStringLiteral("pt");
const QString MediaNextTrack = QStringLiteral("nt");
} // namespace Method

namespace Key {
const QString Method = QStringLiteral("_");
const QString Id = QStringLiteral("i");
const QString Name = QStringLiteral("n");
const QString Running = QStringLiteral("r");
const QString FocusRole = QStringLiteral("r");
const QString Value = QStringLiteral("v");
const QString ClientVersion = QStringLiteral("v");
const QString Size = QStringLiteral("s");
const QString State = QStringLiteral("s");
const QString Width = QStringLiteral("w");
const QString Height = QStringLiteral("h");
const QString ChallengeAnswer = QStringLiteral("h");
const QString ScrollX = QStringLiteral("x");
const QString ScrollY = QStringLiteral("y");
const QString Keys = QStringLiteral("k");
const QString Properties = QStringLiteral("p");
const QString Path = QStringLiteral("p");
const QString FileType = QStringLiteral("t");
const QString Directory = QStringLiteral("d");
const QString Secret = QStringLiteral("t");
const QString SessionToken = QStringLiteral("st");
const QString Commitment = QStringLiteral("pc");
const QString PublicKey = QStringLiteral("pk");
const QString Nonce = QStringLiteral("no");
const QString Proof = QStringLiteral("h");
const QString Apps = QStringLiteral("apps");
const QString Files = QStringLiteral("files");
const QString MenuChildren = QStringLiteral("m");
const QString MenuItem = QStringLiteral("m");
} // namespace Key
