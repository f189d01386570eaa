#pragma once

#include <QString>

// The protocol vocabulary. Texts that are equal on the wire but play different roles are kept
// as separate constants, so that a change to one role never silently changes the other.

namespace Method {
extern const QString Authentication; // "au": challenge, secret, verdict and answer
extern const QString Wait;           // "wa": the desktop user is being asked
extern const QString InstalledApps;
extern const QString CurrentApp;
extern const QString AppIcon;
extern const QString AppActivate;
extern const QString AppClose;
extern const QString AppQuit;
extern const QString AppMinimize;
extern const QString AppMaximize;
extern const QString AppFullscreen;
extern const QString AppScroll;
extern const QString KeySequence;
extern const QString Commands;
extern const QString CommandIcon;
extern const QString Menu;
extern const QString MenuPerform;
extern const QString FocusValue;
extern const QString FocusPerform;
extern const QString FocusedElement;
extern const QString CommandsChanged;
extern const QString DirectoryListing;
extern const QString FileIcon;
extern const QString FilePreview;
extern const QString FileOpen;
extern const QString FileApps;
extern const QString ScreenLock;
extern const QString Brightness;
extern const QString Volume;
extern const QString VolumeMute;
extern const QString Unsupported;
extern const QString Logout;
extern const QString Sleep;
extern const QString Restart;
extern const QString Shutdown;
extern const QString MediaPlayPause;
extern const QString MediaPreviousTrack;
extern const QString MediaNextTrack;
} // namespace Method

namespace Key {
extern const QString Method;          // "_": present in every object, both directions
extern const QString Id;              // "i": application id; device id in the connection URL
extern const QString Name;            // "n"
extern const QString Running;         // "r": state value of a running application
extern const QString FocusRole;       // "r": role of the focused element
extern const QString Value;           // "v": verdict, level, flag or text of a setting
extern const QString ClientVersion;   // "v": protocol version in the connection URL
extern const QString Size;            // "s": icon edge in pixels
extern const QString State;           // "s": state of an application-list entry
extern const QString Width;           // "w"
extern const QString Height;          // "h": preview height
extern const QString ChallengeAnswer; // "h": hex of the session key
extern const QString ScrollX;         // "x"
extern const QString ScrollY;         // "y"
extern const QString Keys;            // "k"
extern const QString Properties;      // "p": properties of the focused element
extern const QString Path;            // "p": file-system path
extern const QString FileType;        // "t": file type or suffix
extern const QString Directory;       // "d": file type value of a directory entry
extern const QString Secret;          // "t": pairing secret
extern const QString SessionToken;    // "st"
extern const QString Commitment;      // "pc": hash of the server's pairing key
extern const QString PublicKey;       // "pk": a pairing key
extern const QString Nonce;           // "no": a challenge nonce
extern const QString Proof;           // "h": proof of the pairing secret
extern const QString Apps;            // "apps"
extern const QString Files;           // "files"
extern const QString MenuChildren;    // "m": children of a menu entry
extern const QString MenuItem;        // "m": the menu item to perform
} // namespace Key

// Dynamic properties that carry per-connection state on each QWebSocket.
// Clients that ask for this version or a later one get pairing codes and sealed frames.
constexpr int SecureProtocolVersion = 2;

namespace ConnectionProperty {
constexpr const char* DeviceId = "i";      // set when a known device is challenged
constexpr const char* SessionToken = "t";  // the challenge
constexpr const char* SessionKey = "k";    // non-empty: every frame is encrypted
constexpr const char* ClientVersion = "v"; // from the connection URL: 2 and above speak protocol 2
} // namespace ConnectionProperty
