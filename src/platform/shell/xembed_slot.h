// The window an XEmbed tray embeds for a Qt tray icon, fitted to its slot.
#pragma once

class QSystemTrayIcon;

namespace shell {

// Keeps the XEmbed window of `icon` (Qt makes one per shown icon when the
// tray speaks XEmbed; other hosts have none) square to the height its tray
// gives it, and reports that size in device pixels as the small-icon size
// (SM_CXSMICON, SM_CYSMICON), so that pictures are drawn to fill the slot.
// Qt asks for 22 x 22 logical pixels, which at a ratio of 2 a 24-pixel panel
// makes a 44 x 22 slot with the picture shrunk into its middle. A window Qt
// makes later, for a tray that starts while the icon is shown, is fitted too.
void FitXEmbedSlot(QSystemTrayIcon* icon);
// The icon's window is gone: the small-icon size is the style's again.
void ForgetXEmbedSlot();
// Whether an XEmbed tray shows a Qt tray icon: its window taken in by the
// tray (no longer a child of the root window) and viewable.
bool XEmbedIconShown();

}  // namespace shell
