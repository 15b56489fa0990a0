// The user's trash, laid out as freedesktop.org desktops keep it: an item is moved into
// the "files" folder of a trash folder, beside a "<name>.trashinfo" entry in its "info" folder
// that records where it came from and when, so that a file manager can restore it.
#pragma once

#include "compat/cstring.h"

// Moves the file or folder at path (a symbolic link itself, not its target) into the trash: the
// home trash ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash) when the item lies on the same file
// system, else the trash at the top of the item's file system ("$top/.Trash/<uid>" when "$top/.Trash"
// is a sticky folder, else "$top/.Trash-<uid>"); never a top trash on the home trash's own file
// system, so an item there stays when the home trash cannot be used. A trash folder that others
// can write is not used. A name already in the trash gets a number
// ("name.2", "name.3" ...). Paths of any length are taken whole. ownerWindow has no meaning here:
// nothing is asked. False, with the item where it was, when the move cannot be made.
bool DeleteToRecycleBin(CString path, void* ownerWindow);
