// Worked example of docs/description.md: a "Notepad" row with its own static
// menu. Insert these lines into D2() of the description script, just before
// the line
//     R("1.4#9", 1);
// that is, after the last row and its CloseMenu(). The popup lists a menu's
// entries last one on top, so WordPad is added first to show Notepad on top.
    AddCommandInList("notepad.exe", "Notepad", "notepad.exe#0", vMenuCntr, 1, c1);
    AddMenuInList("write.exe", "WordPad", "write.exe#0", 0, false);
    AddMenuInList("notepad.exe", "Notepad", "notepad.exe#0", 0, false);
    CloseMenu();
