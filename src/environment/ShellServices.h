#pragma once

#include "environment/EnvironmentServices.h"

#include <QString>

namespace plume {

// The shell operations of yIni: help, a page or file in the browser, the "Send to" shortcut
// and a folder in the file manager. The first three write a shortcut file and let the shell
// open it; all launches go through shellExecute (platform/ShellLauncher.h).
//
// W_Help, W_HtmView and W_SendTo end silently at their first failure: nothing opened,
// nothing shown. W_ExpFd lets a failure of the file-system object rise to its caller. W_Help
// and W_ExpFd say whether the desktop took what they handed it, so that a window can tell
// the user when nothing opened (a machine without a desktop opener).

class ShellServices : public EnvironmentServices {
  public:
    // Shows the help page sJob (lower-cased; ".htm" added when it has no "."), through the
    // shortcut Usr::sUsrFld + Usr::sExeNm + "_help.lnk".
    // Returns false when the page was handed to no program.
    bool W_Help(const QString& sJob);

    // Opens sUrl unchanged through the shortcut Usr::sUsrFld + "Wrk/htm_view.lnk" (on
    // Windows a web address through the Internet Shortcut "Wrk/htm_view.url"). The folder
    // "Wrk" is not made here: without it nothing happens.
    void W_HtmView(const QString& sUrl);

    // Puts a shortcut to the program into the "Send to" folder and confirms it in a message.
    // Linux has no such folder, so there it writes nothing and shows nothing.
    void W_SendTo();

    // Opens sFld directly (bOpn true, the path is not tested) or shows the folder in the file
    // manager when it exists (bOpn false). An empty sFld does nothing. Returns false when
    // the path was to be opened but no program took it; true otherwise, a missing folder
    // with bOpn false included (nothing was to be opened).
    bool W_ExpFd(const QString& sFld, bool bOpn);

    // The folder of the help pages: "help" beside the executable (the build tree, a program
    // folder of its own); when that is missing and the program is installed under a prefix
    // (bin/plume), PREFIX/share/plume/help.
    static QString helpFolder();

    // The address before the help page's name: the file address of helpFolder(), ending
    // with "/".
    static QString helpBaseAddress();

    // The text of W_SendTo's confirmation.
    static QString sendToMessage(const QString& programPath, const QString& sendToFolder);

  protected:
    // The "Send to" folder without a trailing separator, or "" when there is none.
    virtual QString sendToFolder() const;

  private:
    // Writes the shortcut and opens it; false when the shortcut could not be written.
    bool writeAndOpen(const QString& shortcutPath, const QString& target);
};

}  // namespace plume
