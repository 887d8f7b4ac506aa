// TVN description script (JScript for the Windows script host).
//
// Usage: cscript /nologo /e:javascript <this file> d1|d2|f <process id>
//   d1  writes the log-on dialog (0) and the help dialog (2)
//   d2  writes the command dialog (1) and the help dialog (2)
//   f   deletes the description key of that process and this file
// The values go to HKEY_CURRENT_USER\Software\TVN\<process id> as REG_SZ,
// one value per attribute: "<element path>#<attribute code>".
//
// Texts: every caption, label and title that the user sees is vText.<name>.
// The texts of one language stand in one table, resources/texts/<language>.txt
// (ru for TVN.exe, en for TVN-en.exe). The build packs this file with one
// table (scripts/pack_script.py --texts <table>), which puts the table in
// place of "@texts" below:
//   var vText = { osPrefix: "OS: ", userPrefix: "User: ", close: "Close", ... };
// So every stored script carries all of its texts together in its first
// statement: to translate a script taken out with the e mode, change the
// texts there. Each name used here must be in the table, and each name of the
// table must be used here; the packer refuses anything else.
//
// The build packs this file onto one line (scripts/pack_script.py): every
// statement ends with a semicolon, every block has braces, and comments
// stand only on lines of their own.

var vText = @texts;

var objShell = null;
var objNet = null;
var objWMIService = null;
var wbemFlagReturnImmediately = 0x10;
var wbemFlagForwardOnly = 0x20;

var vPath = "HKEY_CURRENT_USER\\Software\\";
var vKeyPath = "HKCU\\Software\\TVN\\";
var vRun = "rundll32.exe shell32.dll,Control_RunDLL ";

var f1 = "shell32.dll";
var s1 = "arial#14";
var s2 = "arial#15#1";
var t1 = "";

var c1 = 0;
var c2 = 32768;
var c3 = 16711680;

var vCmdCntr = 0;
var vMenuCntr = 0;
var vMenuItmCntr = 0;

// Raised for an identifier that is not a process number: it would name
// another key (an empty one even the whole Software\TVN key).
var ERROR_INVALID_PARAMETER = 87;

function R(name, value) {
    objShell.RegWrite(vPath + name, String(value), "REG_SZ");
}

function Msg(text) {
    WScript.Echo(text);
}

// Reads a registry value, or gives fallback when it is missing.
function RegReadOr(name, fallback) {
    try {
        return objShell.RegRead(name);
    } catch (e) {
        return fallback;
    }
}

// The local computer's name for the management moniker; "." (this
// computer) when the network object cannot tell it.
function GetComputerName() {
    var vName = "";
    try {
        vName = String(objNet.ComputerName);
    } catch (e) {
        vName = "";
    }
    if (vName.length == 0) {
        vName = ".";
    }
    return vName;
}

// Asks the management service for the system's version and caption; the
// last result wins. Gives null when the service cannot be reached.
function QueryManagementVersion() {
    var vResult = null;
    try {
        objWMIService = GetObject("winmgmts:\\\\" + GetComputerName() + "\\root\\CIMV2");
        var colItems = objWMIService.ExecQuery("SELECT * FROM Win32_OperatingSystem", "WQL",
            wbemFlagReturnImmediately | wbemFlagForwardOnly);
        var enumItems = new Enumerator(colItems);
        for (; !enumItems.atEnd(); enumItems.moveNext()) {
            var objItem = enumItems.item();
            vResult = { version: String(objItem.Version), caption: String(objItem.Caption) };
        }
    } catch (e) {
        vResult = null;
    }
    return vResult;
}

// The same facts from HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion:
// the numeric major and minor values where the system has them, else the
// "major.minor" text, then the build number and the product name.
function QueryRegistryVersion() {
    var vKey = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
    var vMajor = RegReadOr(vKey + "CurrentMajorVersionNumber", null);
    var vMinor = RegReadOr(vKey + "CurrentMinorVersionNumber", null);
    var vVersion = "";
    if (vMajor !== null && vMinor !== null) {
        vVersion = String(vMajor) + "." + String(vMinor);
    } else {
        vVersion = String(objShell.RegRead(vKey + "CurrentVersion"));
    }
    var vBuild = RegReadOr(vKey + "CurrentBuildNumber", null);
    if (vBuild !== null) {
        vVersion = vVersion + "." + String(vBuild);
    }
    var vCaption = RegReadOr(vKey + "ProductName", "");
    return { version: vVersion, caption: String(vCaption) };
}

function GetWindowsVersion() {
    var vInfo = QueryManagementVersion();
    if (vInfo === null) {
        vInfo = QueryRegistryVersion();
    }
    var vParts = vInfo.version.split(".");
    return {
        version: vInfo.version,
        caption: vInfo.caption,
        major: vParts.length > 0 ? vParts[0] : "",
        minor: vParts.length > 1 ? vParts[1] : "",
        build: vParts.length > 2 ? vParts[2] : ""
    };
}

function GetNTDomains() {
    return [];
}

function AddCommandInList(command, title, icon, menu, menuType, colour) {
    var vRow = "1.2." + vCmdCntr;
    R(vRow + "#3", title);
    R(vRow + "#0", icon);
    R(vRow + "#2", colour);
    R(vRow + "#4", command);
    R(vRow + "#5", menuType);
    R(vRow + "#6", menu);
    vCmdCntr++;
    R("1.2#20", vCmdCntr);
}

function AddMenuInList(command, title, icon, number, newMenu) {
    if (newMenu) {
        vMenuCntr++;
        vMenuItmCntr = 0;
        R("1.3#20", vMenuCntr);
        return;
    }
    var vMenu = "1.3." + vMenuCntr;
    var vEntry = vMenu + "." + vMenuItmCntr;
    R(vEntry + "#3", title);
    R(vEntry + "#0", icon);
    R(vEntry + "#4", command);
    R(vEntry + "#6", number);
    vMenuItmCntr++;
    R(vMenu + "#20", vMenuItmCntr);
}

function CloseMenu() {
    AddMenuInList("", "", "", 0, true);
}

// Icon of the system picture beside the OS caption ("0.0#0", "1.0#0").
function SystemIcon(ver) {
    if (ver.major == "5" && ver.minor == "0") {
        return f1 + "#23";
    }
    if (ver.major == "5" && ver.minor == "2") {
        return f1 + "#222";
    }
    return f1 + "#221";
}

function SystemText(ver) {
    return vText.osPrefix + ver.caption + "\r\n" + t1;
}

function DHelp() {
    R("2#3", vText.helpCaption);
    R("2#0", f1 + "#23");
    R("2.0#0", f1 + "#111");
    R("2.1#7", "arial#15");
    R("2.2#7", s1);
    R("2.2#3", vText.disclaimer);
    R("2.3#9", 1);
    R("2.3#7", s1);
    R("2.3#3", vText.close);
    R("2.4#7", s1);
    R("2.4#3", vText.diagnostics);
}

function D1() {
    Msg("AuthDlg...");
    var ver = GetWindowsVersion();
    var vIs50 = ver.major == "5" && ver.minor == "0";
    R("0#3", vText.logonCaption);
    R("0#0", f1 + "#44");
    R("0.0#0", SystemIcon(ver));
    R("0.1#7", s1);
    R("0.1#3", SystemText(ver));
    R("0.2#0", f1 + "#18");
    R("0.3#7", s2);
    R("0.3#3", vText.domainLabel);
    var vDomains = GetNTDomains();
    for (var i = 0; i < vDomains.length; i++) {
        R("0.4." + i + "#3", vDomains[i]);
        R("0.4#21", i);
    }
    R("0.4#20", vDomains.length);
    R("0.4#9", 1);
    R("0.4#7", s1);
    R("0.5#0", vIs50 ? f1 + "#15" : f1 + "#160");
    R("0.6#7", s2);
    R("0.6#3", vText.userLabel);
    R("0.7#20", 0);
    R("0.7#21", 0);
    R("0.7#7", s1);
    R("0.8#0", f1 + "#47");
    R("0.9#7", s2);
    R("0.9#3", vText.passwordLabel);
    R("0.10#7", s1);
    R("0.11#7", s1);
    R("0.11#8", 1);
    R("0.11#3", vText.ignoreUac);
    R("0.12#7", s1);
    R("0.12#22", 0);
    R("0.12#8", 1);
    R("0.12#3", vText.loadProfile);
    R("0.13#7", s1);
    R("0.13#3", vText.currentUser);
    R("0.14#7", s1);
    R("0.14#3", vText.logOn);
    R("0.15#7", s1);
    R("0.15#3", vText.close);
    R("0.16#7", s1);
    R("0.16#3", vText.help);
    DHelp();
    Msg(" DONE");
}

function D2() {
    Msg("CmdDlg...");
    var ver = GetWindowsVersion();
    var vIs50 = ver.major == "5" && ver.minor == "0";
    R("1#3", vText.commandCaption);
    R("1#0", f1 + "#24");
    R("1.0#0", SystemIcon(ver));
    R("1.1#7", s1);
    R("1.1#3", SystemText(ver));
    R("1.2#7", s1);
    // Menu 0: one empty entry that no row opens.
    AddMenuInList("", "", "", 0, false);
    CloseMenu();
    AddCommandInList(vRun + "appwiz.cpl", vText.rowPrograms, "appwiz.cpl#0", vMenuCntr, 1, c2);
    AddMenuInList("rundll32.exe shell32.dll,Control_RunDLL appwiz.cpl,,2", vText.menuComponents, "appwiz.cpl#0", 0, false);
    CloseMenu();
    AddCommandInList(vRun + "desk.cpl", vText.rowDisplay, "desk.cpl#0", vMenuCntr, 1, c2);
    AddMenuInList(vRun + "powercfg.cpl", vText.menuPower, "powercfg.cpl#2", 0, false);
    CloseMenu();
    AddCommandInList(vRun + "intl.cpl", vText.rowRegional, "intl.cpl#0", 0, 0, c1);
    AddCommandInList(vRun + "mmsys.cpl", vText.rowSounds, "mmsys.cpl#0", 0, 0, c1);
    AddCommandInList("regedit.exe", vText.rowRegistry, "regedit.exe#0", 0, 0, c1);
    AddCommandInList(vRun + "sysdm.cpl", vText.rowSystem, "sysdm.cpl#0", 0, 0, c1);
    AddCommandInList(vRun + "timedate.cpl", vText.rowDateTime, "timedate.cpl#0", 0, 0, c1);
    if (!vIs50) {
        AddCommandInList("control userpasswords2", vText.rowAccounts, f1 + "#111", 0, 0, c1);
    }
    AddCommandInList(vRun + "hdwwiz.cpl", vText.rowHardware, "hdwwiz.cpl#0", vMenuCntr, 1, c2);
    AddMenuInList(vRun + "joy.cpl", vText.menuGameControllers, "joy.cpl#0", 0, false);
    AddMenuInList("rundll32.exe shell32.dll,Control_RunDLL main.cpl @0", vText.menuMouse, "main.cpl#0", 0, false);
    AddMenuInList("rundll32.exe shell32.dll,Control_RunDLL main.cpl @1", vText.menuKeyboard, "main.cpl#7", 0, false);
    CloseMenu();
    AddCommandInList(vRun + "inetcpl.cpl", vText.rowInternet, f1 + "#13", 0, 0, c1);
    AddCommandInList("compmgmt.msc", vText.rowManagement, "mycomput.dll#2", vMenuCntr, 1, c2);
    AddMenuInList("eventvwr.msc", vText.menuEventViewer, "els.dll#0", 0, false);
    AddMenuInList("fsmgmt.msc", vText.menuSharedFolders, "filemgmt.dll#1", 0, false);
    AddMenuInList("lusrmgr.msc", vText.menuLocalUsers, "netplwiz.dll#0", 0, false);
    AddMenuInList("devmgmt.msc", vText.menuDeviceManager, "devmgr.dll#0", 0, false);
    AddMenuInList("diskmgmt.msc", vText.menuDiskManagement, "dmdskres.dll#0", 0, false);
    AddMenuInList("services.msc", vText.menuServices, "filemgmt.dll#0", 0, false);
    AddMenuInList("gpedit.msc", vText.menuGroupPolicies, "mmc.exe#0", 0, false);
    CloseMenu();
    AddCommandInList("taskmgr.exe", vText.rowTaskManager, "taskmgr.exe#0", 0, 0, c1);
    AddCommandInList("cmd.exe", vText.rowCommandPrompt, "cmd.exe#0", 0, 0, c1);
    // The shell-folder rows: each menu's one entry names a special folder by
    // its number (3 control panel, 4 printers, 49 network connections); the
    // entry titles are not shown, so they need no translation.
    AddCommandInList("", vText.rowControlPanel, ver.major == "6" ? "control.exe#0" : f1 + "#57", vMenuCntr, 2, c3);
    AddMenuInList("3", "control panel", "", 0, false);
    CloseMenu();
    AddCommandInList("", vText.rowPrinters, f1 + "#58", vMenuCntr, 2, c3);
    AddMenuInList("4", "printers", "", 0, false);
    CloseMenu();
    AddCommandInList("", vText.rowNetwork, f1 + "#18", vMenuCntr, 2, c3);
    AddMenuInList("49", "network", "", 0, false);
    CloseMenu();
    R("1.4#9", 1);
    R("1.4#7", s1);
    R("1.5#7", s1);
    R("1.5#3", vText.browse);
    R("1.6#7", s1);
    R("1.6#8", 1);
    R("1.6#3", vText.filterSupport);
    R("1.7#7", s1);
    R("1.7#3", vText.startHidden);
    R("1.8#7", s1);
    R("1.8#3", vText.execute);
    R("1.9#7", s1);
    R("1.9#3", vText.close);
    R("1.10#7", s1);
    R("1.10#3", vText.refresh);
    R("1.11#7", s1);
    R("1.11#3", vText.authorization);
    R("1.12#7", s1);
    R("1.12#3", vText.help);
    DHelp();
    Msg(" DONE");
}

// Deletes the description key, then this script file. Needs nothing but the
// shell object, so a missing management service cannot leave them behind.
function F(id) {
    Msg("Clear...");
    try {
        objShell.RegDelete(vPath);
    } catch (e) {
        // RegDelete is not available everywhere (E_NOTIMPL): let reg do it.
        objShell.Run("reg delete \"" + vKeyPath + id + "\" /f", 0, true);
    }
    objShell.Run("cmd /c del /F /Q \"" + WScript.ScriptFullName + "\"", 0, true);
    Msg(" DONE");
}

// The identifier argument: the process number in decimal digits only.
function GetIdentifier() {
    var vId = String(WScript.Arguments(1));
    var vOk = vId.length > 0 && vId.length <= 10;
    for (var i = 0; i < vId.length; i++) {
        var vCh = vId.charAt(i);
        if (vCh < "0" || vCh > "9") {
            vOk = false;
        }
    }
    if (!vOk) {
        throw { number: ERROR_INVALID_PARAMETER, description: "invalid process identifier \"" + vId + "\"" };
    }
    return vId;
}

try {
    objShell = new ActiveXObject("WScript.Shell");
    objNet = new ActiveXObject("WScript.Network");
    t1 = vText.userPrefix + objNet.UserName;
    var vMode = String(WScript.Arguments(0));
    if (vMode == "d1" || vMode == "d2" || vMode == "f") {
        var vId = GetIdentifier();
        vPath = vPath + "TVN\\" + vId + "\\";
        if (vMode == "d1") {
            D1();
        } else if (vMode == "d2") {
            D2();
        } else {
            F(vId);
        }
    }
} catch (e) {
    Msg("ERROR (" + (e.number & 0xFFFF) + "): " + e.description);
}
