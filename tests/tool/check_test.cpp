// The script check on a corpus of broken scripts: each script holds one mistake and
// must give exactly that one finding, on the mistake's line; the sample product, a
// clean script and the README's examples give none (of the comment rule, for the README).
#include <gtest/gtest.h>
#include <windows.h>
#include <stdlib.h>
#include <map>
#include <string>
#include <vector>
#include "../draw/draw_helpers.h"
#include "stage.h"
#include "tool/check.h"
#include "tool/console.h"

namespace {

// Lines 1 to 4 of every corpus script: the product and its folder.
const std::string kHead = "[Setup]\nName=Broken\n[Root]\nName=%programs%\\Broken Tool\n";

struct Case {
    const char* name;
    std::string script;  // kHead is put before it, unless it starts with "!"
    int line;
    Severity severity;
    const char* says;  // a part of the finding's text
    std::map<std::string, std::string> files;
};

std::string Describe(const Findings& findings) {
    std::string out = findings.Format("Setup.ini");
    return out.empty() ? "(no finding)\n" : out;
}

// A folder of its own with the script and the files the case needs.
std::string StageCase(const std::string& name, const std::string& script, const std::map<std::string, std::string>& files) {
    std::string folder = "C:\\unit\\check\\" + name;
    stage::DeleteTree(folder);
    stage::MakeFolders(folder);
    stage::WriteFile(folder + "\\Setup.ini", script);
    for (const auto& f : files) stage::WriteFile(folder + "\\" + f.first, f.second);
    return folder;
}

// Text as a UTF-16 file with its byte-order mark (ASCII text only).
std::string Utf16(const std::string& text) {
    std::string out = "\xFF\xFE";
    for (char c : text) out += std::string{c, '\0'};
    return out;
}

std::string Bmp16() {
    draw_test::Bmp bmp{4, 4, 24, {}, [](int, int) { return 0u; }};
    std::string bytes = bmp.Bytes();
    bytes[28] = 16;  // bits per pixel
    return bytes;
}

std::string Bmp24() { return draw_test::Bmp{4, 4, 24, {}, [](int, int) { return 0x00FF00u; }}.Bytes(); }

// File types of other programs on this machine: a type with a verb, an extension that
// belongs to it, and an extension that belongs to a system type.
struct ForeignTypes {
    ForeignTypes() {
        Clear();
        stage::SetRegString(HKEY_CLASSES_ROOT, "CheckOther.File", "", "Another program's document");
        stage::SetRegString(HKEY_CLASSES_ROOT, "CheckOther.File\\shell\\open\\command", "", "other.exe \"%1\"");
        stage::SetRegString(HKEY_CLASSES_ROOT, ".chkforeign", "", "CheckOther.File");
        stage::SetRegString(HKEY_CLASSES_ROOT, ".chksys", "", "txtfile");
    }
    ~ForeignTypes() { Clear(); }
    static void Clear() {
        for (const char* key : {"CheckOther.File", ".chkforeign", ".chksys", ".chkown", ".bx", "B.File"})
            stage::DeleteRegTree(HKEY_CLASSES_ROOT, key);
    }
};

TEST(Check, EachMistakeGivesOneFindingOnItsLine) {
    ForeignTypes foreign;
    const std::string longValue(300, 'x');
    const std::string files = "[CopyFile]\n0=a.txt\n";
    const Severity W = Severity::Warning, E = Severity::Error;
    const std::vector<Case> corpus = {
        // The file's shape.
        {"outside", "!top=1\n" + kHead, 1, W, "before the first section"},
        {"bom", "!\xEF\xBB\xBF" + kHead, 1, W, "byte-order mark"},
        {"utf16", "!" + Utf16(kHead + "[Check]\nMenu=2\n"), 1, W, "UTF-16"},
        {"no-equals", "[Check]\nMenu 2\n", 6, W, "is not a key=value line"},
        // (Keys after it would belong to the section before it.)
        {"open-bracket", "[Check\n", 5, W, "no closing ']'"},
        {"section-again", "[Check]\nMenu=1\n[Setup]\nAuto=1\n", 7, W, "appears again (first at line 1)"},
        {"key-again", "[Check]\nMenu=1\nmenu=2\n", 7, W, "appears again in [Check] (first at line 6)"},
        {"unknown-section", "[CopyFiles]\n0=a.txt\n", 5, W, "unknown section [CopyFiles]; did you mean [CopyFile]?"},
        {"unknown-key", "[Check]\nDesktp=1\n", 6, W, "unknown key \"Desktp\" in [Check]; did you mean \"Desktop\"?"},
        {"numbered-from-1", "[MakeDirectory]\n0=docs\n", 6, W, "numbered from 1: key \"0\" is never read"},
        {"gap", "[CopyFile]\n0=a.txt\n2=b.txt\n", 7, W, "key \"2\" comes after the gap at \"1\"", {{"a.txt", "a"}, {"b.txt", "b"}}},
        {"gap-empty-value", "[Del]\n0=*.log\n1=\n2=*.tmp\n", 8, W, "key \"2\" comes after the gap at \"1\""},
        {"gap-prefixed", "[Reg]\nMake0=HKEY_CURRENT_USER\\Software\\B\nMake2=HKEY_CURRENT_USER\\Software\\C\n", 7, W,
         "key \"Make2\" comes after the gap at \"Make1\""},
        {"gap-sections", "[Menu]\nName=B\n[Menu0]\nName=One\nPath=a.exe\n[Menu2]\nName=Three\nPath=a.exe\n", 10, W,
         "section [Menu2] comes after the gap at [Menu1]"},
        {"beyond-no", "[Readme]\nDone=1\nFile=ReadMe.Special\nNo=2\n0=page,install\n1=mode,whole\n2=fill,1,2,3\n", 11, W,
         "lies beyond [Readme] \"No\" = 2"},
        {"too-long", "[Menu]\nName=" + longValue + "\n", 6, E, "300 bytes long: the program reads at most 259"},
        {"too-long-entry", "[Reg]\nMake0=HKEY_CURRENT_USER\\Software\\" + std::string(1100, 'k') + "\n", 6, E,
         "reads at most 1039"},
        {"quoted", "[Menu]\nName=B\n[Menu0]\nName=Tool\nPath=a.exe\nArg=\"%1\"\n", 10, W,
         "begins and ends with a double quote: the program drops both and reads \"%1\"; to keep them, write one "
         "more pair around the whole value: Arg=\"\"%1\"\""},
        {"quoted-single", "[Menu]\nName='B'\n", 6, W, "reads \"B\"; to keep them, write one more pair around the "
         "whole value: Name=''B''"},
        // What the steps do with the values.
        {"no-root-name", "![Setup]\nName=Broken\n", 0, E, "without [Root] \"Name\" the install folder is \"C:\\\""},
        {"box-mode", "[Check]\nExt=4\n", 6, W, "box mode 4 of \"Ext\" means nothing"},
        {"copy-missing", files, 6, E, "\"C:\\unit\\check\\copy-missing\\a.txt\" is missing: the install lists it"},
        {"copy-missing-quiet", "[CopyFile]\n0=*a.txt\n", 6, W, "with '*' the failed copy goes unreported"},
        {"copy-folder", "[CopyFile]\n0=docs\n", 6, E, "is a folder", {{"docs\\x.txt", "x"}}},
        {"prefix-order", "[CopyFile]\n0=?&a.txt\n", 6, E, "prefix '&' comes too late", {{"a.txt", "a"}}},
        {"prefix-twice", "[CopyFile]\n0=!!a.txt\n", 6, E, "prefix '!' comes too late", {{"a.txt", "a"}}},
        {"copy-too-long", "[CopyFile]\n0=" + std::string(200, 'd') + "\\" + std::string(58, 'f') + "\n", 6, E,
         "longer than 259 bytes: the copy fails"},
        {"self-missing", "[Check]\nCopy=2\n[CopyFile]\nSelf=extra\\self.bin\n", 8, E,
         "the \"Self\" file \"extra\\self.bin\" is missing"},
        {"folder-outside", "[MakeDirectory]\n1=..\\..\\Windows\\x\n", 6, E, "leaves the install folder"},
        // Pictures.
        {"draw-no-comma", "[Back]\nDo=1\n0=mode,rect\n1=fill 1 2 3\n", 8, W, "has no comma"},
        {"draw-keyword", "[Back]\nDo=1\n0=mode,rect\n1=bitmpa,a.bmp\n", 8, W,
         "unknown drawing command \"bitmpa\": the line is skipped; did you mean \"bitmap\"?"},
        {"draw-mode", "[Back]\nDo=1\n0=mode,centre\n1=fill,1,2,3\n", 7, W, "did you mean \"center\"?"},
        {"draw-missing-image", "[Back]\nDo=1\n0=bitmap,art\\a.bmp\n", 7, E, "the image \"art\\a.bmp\" is missing"},
        {"draw-refused-image", "[Back]\nDo=1\n0=bitmap,a.bmp\n", 7, E, "16 bits per pixel", {{"a.bmp", Bmp16()}}},
        {"draw-missing-text", "[Back]\nDo=1\n0=mode,rect\n1=text,notes.txt\n", 8, E, "the text file \"notes.txt\" is missing"},
        {"draw-page", "[Back]\nDo=1\n0=mode,whole\n1=page,x\n2=fill,1,2,3\n", 8, W, "ends the backdrop picture"},
        {"back-off", "[Back]\nDo=0\n0=mode,whole\n1=fill,1,2,3\n", 6, W, "\"Do\" is 0: no backdrop is shown"},
        // The read-me.
        {"readme-no-file", "[Readme]\nDone=1\n", 6, E, "\"File\" is missing: the read-me box is empty"},
        {"readme-missing-file", "[Readme]\nDone=1\nFile=docs\\readme.txt\n", 7, E, "the read-me file \"docs\\readme.txt\" is missing"},
        {"agreement-no-file", "[Go]\nAgree=1\n[Readme]\nDone=2\n", 6, E, "no \"I agree\" button"},
        {"agreement-not-shown", "[Go]\nAgree=1\n[Readme]\nDone=1\nFile=license.txt\n", 6, W, "setup goes on without it",
         {{"license.txt", "terms"}}},
        {"pages-without-lines", "[Readme]\nDone=1\nFile=ReadMe.Special\nNo=0\n", 8, W, "the read-me is a black page"},
        {"button-to-nowhere", "[Readme]\nDone=1\nFile=ReadMe.Special\nNo=3\n0=page,install\n1=button1,5,Next\n2=mode,whole\n",
         10, W, "button1 leads to page 5, which no page line carries"},
        // Shortcuts and the final launch.
        {"link-name", "[Menu]\nName=B\n[Menu0]\nName=..\\Evil\nPath=a.exe\n", 8, E, "is not usable"},
        {"link-too-long", "[Menu]\nName=B\n[Menu0]\nName=Tool\nPath=a.exe\nWork=" + longValue + "\n", 8, E,
         "does not fit once expanded"},
        {"link-no-path", "[Desktop]\nName=Tool\n", 6, W, "has no \"Path\""},
        // The dialog reads [Desktop] "Icon" as written, beside Setup.exe; the shortcut expands it.
        {"dialog-icon-token", "[Desktop]\nName=Tool\nPath=%windows%\\notepad.exe\nIcon=%root%tool.ico\n", 8, W,
         "the setup dialog takes [Desktop] \"Icon\" as written, without folder tokens, from the folder Setup.exe "
         "starts in: \"%root%tool.ico\" is not there, so the dialog shows the program's own icon (the shortcut and "
         "the list of installed programs expand the token, the dialog does not); ship \"tool.ico\" beside Setup.exe, "
         "install it with a copy entry, and write Icon=tool.ico"},
        {"dialog-icon-missing", "[Desktop]\nName=Tool\nPath=%windows%\\notepad.exe\nIcon=art\\tool.exe\n", 8, W,
         "\"art\\tool.exe\" is not there, so the dialog shows the program's own icon; ship \"tool.exe\""},
        {"dialog-icon-folder", "[Desktop]\nName=Tool\nPath=%windows%\\notepad.exe\nIcon=art.exe\n", 8, W,
         "\"art.exe\" is not there", {{"art.exe\\x.ico", "x"}}},
        {"icon-looked-up", "[Menu]\nName=B\n[Menu0]\nName=Tool\nPath=%windows%\\notepad.exe\nIcon=tool.ico\n", 10, W,
         "\"Icon\" \"tool.ico\" has no folder token, so it is looked up as a program, as \"Path\" is: it gives the "
         "program that opens such files (or no icon), not the file itself; write Icon=%root%tool.ico"},
        {"dialog-icon-looked-up", "[Desktop]\nName=Tool\nPath=%windows%\\notepad.exe\nIcon=tool.ico\n", 8, W,
         "the setup dialog, though, reads it as written: name a program that holds the icon", {{"tool.ico", "i"}}},
        {"lastgo-name", "[Menu]\nName=B\n[Menu0]\nName=Tool\nPath=a.exe\n[LastGo]\n0=Tol\n", 11, W,
         "\"Tol\" names no Start-menu entry"},
        {"lastgo-startup", "[Menu]\nName=B\n[LastGo]\nStartupAndGo=1\n", 8, W, "[Startup] has no \"Name\""},
        {"lastgo-no-menu", "[LastGo]\nDesktopAndGo=1\n[Desktop]\nName=Tool\nPath=a.exe\n", 5, W,
         "needs a Start-menu folder"},
        // The registry.
        {"reg-no-backslash", "[Reg]\nMake0=HKEY_CURRENT_USER\n", 6, W, "no backslash after its root"},
        {"reg-root", "[Reg]\nMake0=HKCU\\Software\\B\\\\v\\!1\n", 6, W,
         "root \"HKCU\" is not a root name: it stands for HKEY_LOCAL_MACHINE; did you mean \"HKEY_CURRENT_USER\"?"},
        {"reg-no-data", "[Reg]\nMake0=HKEY_CURRENT_USER\\Software\\B\\\\Mode\n", 6, W, "only the keys are made"},
        {"reg-data-long", "[Reg]\nMake0=HKEY_CURRENT_USER\\Software\\B\\\\v\\" + longValue + "\n", 6, E,
         "expands to more than 259 bytes"},
        {"reg-erase-refused", "[Reg]\nErase0=HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\n", 6, E,
         "the uninstall refuses to erase \"Software\\Microsoft\\Windows\": the system relies on that key"},
        {"reg-erase-root", "[Reg]\nErase0=HKEY_CURRENT_USER\\Software\n", 6, E, "a root, a key right below a root"},
        {"company-refused", "[Registry]\nCompany=Microsoft\nName=B\n", 6, E, "refuses the settings keys SOFTWARE\\Microsoft\\B"},
        {"name-without-company", "[Registry]\nName=B\n", 6, W, "\"Name\" without \"Company\""},
        // File associations.
        {"ext-refused", "[Ext0]\nExt=Folder\nKind=B.File\n", 6, E, "refuses the extension \"Folder\""},
        {"kind-refused", "[Ext0]\nExt=.bx\nKind=txtfile\n", 7, E, "refuses the file type \"txtfile\""},
        {"kind-missing", "[Ext0]\nExt=.bx\n", 6, E, "refuses the file type \"\""},
        {"ext-no-dot", "[Ext0]\nExt=bx\nKind=B.File\n", 6, W, "has no leading dot"},
        {"command-no-verb", "[Ext0]\nExt=.bx\nKind=B.File\nCommand=b.exe \"%1\"\n", 8, W, "\"Command\" without \"Verb\""},
        // ... against the file types this machine holds, and the command's quoting.
        {"kind-exists", "[Ext0]\nExt=.chkown\nKind=CheckOther.File\n", 7, W,
         "the file type \"CheckOther.File\" already exists on this machine (another program's): the install writes no "
         "description, icon or verb into it, and the uninstall leaves it; give the product a type of its own, such as "
         "\"Broken.chkown\""},
        {"verb-foreign", "[Ext0]\nExt=.chkforeign\nKind=B.File\nVerb=open\nCommand=\"\"%root%b.exe\" \"%1\"\"\n", 8, W,
         "\".chkforeign\" belongs to \"CheckOther.File\", which has its own verb \"open\": without \"Force\" that verb "
         "stays the other program's and nothing is written for this entry; to add a verb to \"CheckOther.File\", name "
         "one of the product's own in \"Verb2\", such as \"Open with Broken\""},
        {"verb2-exists", "[Ext0]\nExt=.chkforeign\nKind=B.File\nVerb=open\nVerb2=Open\nCommand=\"\"%root%b.exe\" \"%1\"\"\n",
         9, W, "which has a verb \"Open\" already: it is not overwritten (and the uninstall leaves it)"},
        {"verb2-system", "[Ext0]\nExt=.chksys\nKind=B.File\nVerb2=Open with B\nCommand=\"%root%b.exe\" %1\n", 8, W,
         "\".chksys\" belongs to \"txtfile\", one of the system's file types: no verb is added to it"},
        {"force-system", "[Ext0]\nExt=.chksys\nKind=B.File\nForce=1\n", 8, W,
         "\"Force\" does not take \".chksys\" from \"txtfile\", one of the system's file types"},
        {"ext-program", "[Ext0]\nExt=.exe\nKind=B.File\n", 6, E,
         "refuses the extension \".exe\": it is the extension of programs, scripts or links"},
        {"command-unquoted", "[Ext0]\nExt=.bx\nKind=B.File\nVerb=open\nCommand=%root%b.exe %1\n", 9, W,
         "Broken Tool\\b.exe\" holds a blank and is not in double quotes: the install quotes it, but write the quotes "
         "yourself, with one more pair around the whole value for the profile reader to drop: "
         "Command=\"\"%root%b.exe\" \"%1\"\""},
        // Comments written at the end of a value (a launch entry's semicolons are its fields).
        {"comment-in-value", "[Menu]\nName=B            ; the product's folder\n", 6, W,
         "the value of \"Name\" holds \" ;\": profile files have no end-of-line comments, so \"; the product's folder\" "
         "is part of the value; put the comment on a line of its own"},
        {"comment-in-arg", "[Menu]\nName=B\n[Menu0]\nName=Tool\nPath=a.exe\nArg=x.txt   ; the file\n", 10, W,
         "the value of \"Arg\" holds \" ;\""},
        {"comment-in-number", "[Check]\nMenu=2\t; shown and checked\n", 6, W, "the value of \"Menu\" holds \" ;\""},
        {"comment-in-drawing", "[Back]\nDo=1\n0=mode,top ; from the top\n", 7, W, "\"; from the top\" is part of the value"},
        // Launch entries.
        {"launch-relative-library", "[Go2]\nMake0=lib\\tool.dll;Init\n", 6, E, "neither a bare name"},
        {"launch-missing-library", "[Go2]\nMake0=%root%\\plugin.dll;Init\n", 6, W,
         "Broken Tool\\plugin.dll\" is not there, and no copy entry installs it"},  // under Program Files, of either width
        {"launch-entry-long", "[Go2]\nMake0=comctl32.dll;" + longValue + "\n", 6, E, "never looked up"},
        {"launch-target-long", "[Go2]\nMake0=%root%\\" + std::string(1020, 't') + ".exe\n", 6, E, "does not fit 1,039 bytes"},
        {"launch-token-runs-on", "[Go2]\nMake0=\"%root%tool.exe\";;hide\n", 6, W,
         "the folder of %root% runs straight into the name after it"},
        {"launch-unquoted", "[CopyFile]\n0=tool.exe\n[Go2]\nMake0=%root%\\tool.exe\n", 8, W,
         "not in double quotes, so it ends at its first blank: \"C:\\Program\" is started", {{"tool.exe", "x"}}},
        {"path-token-runs-on", "[Menu]\nName=B\n[Menu0]\nName=Notes\nPath=%windows%notepad.exe\n", 9, W,
         "the folder of %windows% runs straight into the name"},
        {"launch-option", "[Go2]\nMake0=notepad.exe readme.txt;;minimized\n", 6, W, "none of hide, min and max"},
        {"launch-no-program", "[Go2]\nMake0=;;hide\n", 6, E, "no program to start"},
        {"launch-missing-program", "[Go2]\nErase0=\"%root%\\cleanup.exe\" /all\n", 6, W,
         "the uninstall runs this entry before it removes anything"},
        {"launch-bare-document", "[Go2]\nMake0=readme.txt\n", 6, W,
         "and it is not there: it is never started (\"Could not execute.\"); write %root%\\readme.txt for the "
         "product's own program or a document", {{"readme.txt", "beside Setup.exe"}}},
        {"launch-bare-program", "[Go2]\nMake0=notes /setup;;hide\n", 6, W,
         "the bare name \"notes\" is looked for only in the system folder ("},
        {"launch-bare-own", "[CopyFile]\n0=notepad.exe\n[Go2]\nMake0=notepad.exe readme.txt\n", 8, W,
         "is started, not the product's own; write %root%\\notepad.exe", {{"notepad.exe", "the product's own"}}},
        {"launch-relative", "[Go2]\nMake0=bin\\tool.exe /x\n", 6, W,
         "the relative name \"bin\\tool.exe\" is taken below the install folder", {{"bin\\tool.exe", "x"}}},
        {"launch-relative-beside", "[Go2]\nErase0=bin\\tool.exe /x;;hide\n", 6, W,
         "is not there, and no copy entry installs it (the file beside Setup.exe is never started)",
         {{"bin\\tool.exe", "x"}}},
        {"launch-refused-root", "[Go2]\nMake0=\\tool.exe\n", 6, E, "the program \"\\tool.exe\" is refused"},
        {"launch-refused-drive", "[Go2]\nMake0=C:tool.exe;;hide\n", 6, E,
         "the program \"C:tool.exe\" is refused: a path from the root of the current drive, a drive without its "
         "backslash or a file: URL is looked for through the current folder, so it is never started; name a complete "
         "path, such as %root%\\tool.exe"},
        {"launch-refused-url", "[Go2]\nErase0=file:tool.exe\n", 6, E, "the program \"file:tool.exe\" is refused"},
        // The uninstall's files.
        {"del-refused", "[Del]\n0=%windows%\\*.log\n", 6, W, "refuses the wildcard pattern"},
        {"del-too-long", "[Del]\n0=" + longValue.substr(0, 255) + "\n", 6, E, "expands to more than 259 bytes"},
    };
    for (const Case& c : corpus) {
        std::string script = c.script[0] == '!' ? c.script.substr(1) : kHead + c.script;
        std::string folder = StageCase(c.name, script, c.files);
        Findings findings;
        ASSERT_TRUE(CheckScript(folder, findings)) << c.name;
        std::vector<Finding> all = findings.Sorted();
        ASSERT_EQ(all.size(), 1u) << c.name << ": expected one finding, got\n" << Describe(findings);
        EXPECT_EQ(all[0].line, c.line) << c.name << ": " << all[0].text;
        EXPECT_EQ(all[0].severity, c.severity) << c.name << ": " << all[0].text;
        EXPECT_NE(all[0].text.find(c.says), std::string::npos)
            << c.name << ": expected a finding saying \"" << c.says << "\", got " << all[0].text;
    }
}

// The same kinds of value, written right: no finding. Keeps the corpus honest about
// what it does not flag.
TEST(Check, ACleanScriptGivesNoFinding) {
    const std::string script = kHead +
        "[Check]\nMenu=2\nDesktop=1\nStartup=0\nExt=3\nCopy=1\n[MakeDirectory]\n1=docs\n"
        "[CopyFile]\n0=a.txt\n1=!&?*docs\\b.txt\nSelf=self.bin\n"
        "[Back]\nDo=1\n0=mode,whole\n1=fill,10,20,30\n2=mode,center\n3=bitmap,art.bmp\n4=mode,anything\n5=|Title, with comma ; and a semicolon\n"
        "6=page,end\n"
        "[Readme]\nDone=2\nFile=ReadMe.Special\nNo=5\n0=page,install\n1=button1,2,&Next\n2=page,2\n3=button1,install\n"
        "4=mode,whole\n[Go]\nAgree=1\n"
        "[Menu]\nName=Broken Tool\n[Menu0]\nName=Help\\Read me\nPath=%windows%\\notepad.exe\nArg=a.txt\n"
        "[Desktop]\nName=Broken\nPath=a.txt\nIcon=tool.exe\nIconNo=1\nArg=-e \"a ; b\"\nShort=B\n[LastGo]\n0=Help\\Read me\nDesktopAndGo=1\n"
        "[Reg]\nMake0=HKEY_CURRENT_USER\\Software\\Broken\\\\Mode\\!fast\nMake1=HKLM\\Software\\Broken\nMake2=HKEY_CURRENT_USER\\Software\\Broken\\\\\\%root%a.txt\n"
        "Erase0=HKEY_CURRENT_USER\\Software\\Broken\\Mode\n"
        // An autostart value of the product's own: the uninstall takes it again.
        "Make3=HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\\\Broken\\%root%a.txt\n"
        "Erase1=HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Broken\n"
        "[Registry]\nCompany=Broken Soft\nName=Broken Tool\n"
        "[Ext0]\nExt=.brk\nKind=Broken.File\nIcon=%root%a.txt\nIconNo=1\nVerb=open\nCommand=\"\"%root%a.txt\" \"%1\"\"\n"
        "[Del]\n0=*.log\nForce=1\n[DirRemove]\n1=cache\n"
        "[Go2]\nMake0=comctl32.dll;#CheckExist;the common controls\nMake1=\"%root%\\a.txt\" /x;;max\n"
        "Make2=%system%\\comctl32.dll;InitCommonControls;hide\nMake3=notepad.exe a.txt ;;min\n"
        "Erase0=\"%root%\\a.txt\";;Hide\n";
    std::string folder = StageCase("clean", script,
                                   {{"a.txt", "a"}, {"docs\\b.txt", "b"}, {"self.bin", "s"}, {"art.bmp", Bmp24()}, {"tool.exe", "t"}});
    Findings findings;
    ASSERT_TRUE(CheckScript(folder, findings));
    EXPECT_EQ(Describe(findings), "(no finding)\n");
    EXPECT_EQ(findings.ExitStatus(), 0);
}

// The product's own type and verb are no other program's: its record lists them, or, in
// a record kept before these facts, they hold what the product writes. The same keys,
// unlisted or holding another command, are another program's.
TEST(Check, TheProductsOwnTypeAndVerbAreKnownFromItsRecord) {
    ForeignTypes foreign;
    const std::string ours = "\"C:\\MineApp\\mine.exe\" \"%1\"";
    const struct {
        const char* name;
        const char* created;  // the record's [Created] section
        std::string verbCommand;
        int findings;  // about the existing type and verb
    } cases[] = {
        {"mine-facts", "[Created]\nRecorded=1\nTypeKey0=CheckMine.File\nVerbKey0=CheckOther.File\\shell\\Mine\n", ours, 0},
        {"mine-facts-unlisted", "[Created]\nRecorded=1\nExtKey0=.chkmine\n", ours, 2},
        {"mine-older", "", ours, 0},
        {"mine-older-changed", "", "\"C:\\Other\\other.exe\" \"%1\"", 1},
    };
    for (const auto& c : cases) {
        stage::SetRegString(HKEY_CLASSES_ROOT, "CheckMine.File", "", "CheckMine.File");
        stage::SetRegString(HKEY_CLASSES_ROOT, ".chkmine", "", "CheckMine.File");
        stage::SetRegString(HKEY_CLASSES_ROOT, "CheckOther.File\\shell\\Mine\\command", "", c.verbCommand.c_str());
        const std::string record =
            "[Setup]\nName=Mine\n[Root]\nName=MineApp\nNamed=C:\\MineApp\n[Check]\nExt=2\n"
            "[Ext0]\nExt=.chkmine\nKind=CheckMine.File\nVerb=open\nCommand=\"\"%root%mine.exe\" \"%1\"\"\n"
            "[Ext1]\nExt=.chkforeign\nKind=CheckMine.File\nVerb2=Mine\nCommand=\"\"%root%mine.exe\" \"%1\"\"\n"
            "[CopiedFile]\n0=C:\\MineApp\\mine.exe\nCount=1\n" + std::string(c.created);
        Findings findings;
        ASSERT_TRUE(CheckScript(StageCase(c.name, record, {}), findings)) << c.name;
        EXPECT_EQ((int)findings.Sorted().size(), c.findings) << c.name << "\n" << Describe(findings);
        int foreignThings = 0;
        for (const Finding& f : findings.Sorted())
            foreignThings += f.text.find("already exists on this machine") != std::string::npos ||
                             f.text.find("already: it is not overwritten") != std::string::npos;
        EXPECT_EQ(foreignThings, c.findings) << c.name << "\n" << Describe(findings);
    }
    for (const char* key : {"CheckMine.File", ".chkmine"}) stage::DeleteRegTree(HKEY_CLASSES_ROOT, key);
}

// Every ini block of the README, checked as a script of its own: no example may teach a
// value with a comment at its end, which the profile format would keep in the value.
TEST(Check, NoReadmeExampleWritesACommentIntoAValue) {
    const char* source = getenv("SETUP_SOURCE_DIR");
    ASSERT_NE(source, nullptr) << "SETUP_SOURCE_DIR names the source tree";
    const std::string readme = stage::ReadFile(stage::HostToWindows(source) + "\\README.md");
    ASSERT_FALSE(readme.empty());
    const std::string open = "```ini\n";
    int blocks = 0;
    std::string failures;
    for (size_t at = readme.find(open); at != std::string::npos; at = readme.find(open, at + 1)) {
        const size_t begin = at + open.size();
        size_t end = readme.find("\n```", begin - 1);
        if (end == std::string::npos) end = readme.size();
        const std::string block = readme.substr(begin, end + 1 - begin);
        int firstLine = 1;
        for (size_t i = 0; i < begin; ++i) firstLine += readme[i] == '\n';
        Findings findings;
        ASSERT_TRUE(CheckScript(StageCase("readme-" + std::to_string(++blocks), block, {}), findings));
        for (const Finding& f : findings.Sorted()) {
            if (f.text.find("no end-of-line comments") == std::string::npos) continue;
            size_t from = 0;
            for (int line = 1; line < f.line && from != std::string::npos; ++line) from = block.find('\n', from) + 1;
            failures += "README.md:" + std::to_string(firstLine + f.line - 1) + ": " +
                        block.substr(from, block.find('\n', from) - from) + "\n    " + f.text + "\n";
        }
    }
    EXPECT_GT(blocks, 0) << "no ini block found in the README";
    EXPECT_EQ(failures, "") << "values that hold a comment in the README's examples";
}

// Long lists are read once, not once per key: twenty thousand drawing lines, as many
// unknown and as many duplicated keys are checked in seconds, each told once.
TEST(Check, LongListsAreCheckedInLinearTime) {
    const int n = 20000;
    std::string script = kHead + "[Back]\nDo=1\n";
    for (int i = 0; i < n; ++i) script += std::to_string(i) + "=mode,whole\n";
    script += "[Check]\n";
    for (int i = 0; i < n; ++i) script += "Unknown" + std::to_string(i) + "=1\nMenu=1\n";
    std::string folder = StageCase("long", script, {});
    DWORD start = GetTickCount();
    Findings findings;
    ASSERT_TRUE(CheckScript(folder, findings));
    DWORD took = GetTickCount() - start;
    EXPECT_EQ(findings.Count(Severity::Warning), (size_t)(2 * n - 1)) << "each unknown key and each repeated Menu once";
    EXPECT_EQ(findings.Count(Severity::Error), 0u);
    EXPECT_LT(took, 20000u) << "checking took " << took << " ms";
}

// A UTF-16 script is read as the NT family's profile calls read it: its lines are found
// in the decoded text, not in its bytes.
TEST(Check, AUtf16ScriptIsReadAsTextAndToldOnce) {
    std::string folder = StageCase("utf16-lines", Utf16(kHead + "[CopyFiles]\n0=a.txt\n"), {});
    Findings findings;
    ASSERT_TRUE(CheckScript(folder, findings));
    std::vector<Finding> all = findings.Sorted();
    ASSERT_EQ(all.size(), 2u) << Describe(findings);
    EXPECT_EQ(all[0].line, 1);
    EXPECT_NE(all[0].text.find("UTF-16"), std::string::npos) << all[0].text;
    EXPECT_EQ(all[1].line, 5);
    EXPECT_NE(all[1].text.find("did you mean [CopyFile]"), std::string::npos) << all[1].text;
}

TEST(Check, TheSampleProductChecksClean) {
    const char* source = getenv("SETUP_SOURCE_DIR");
    ASSERT_NE(source, nullptr) << "SETUP_SOURCE_DIR names the source tree";
    Findings findings;
    ASSERT_TRUE(CheckScript(stage::HostToWindows(source) + "\\examples\\sample", findings));
    EXPECT_EQ(Describe(findings), "(no finding)\n");
}

TEST(Check, AMissingScriptIsOneErrorWithoutALine) {
    std::string folder = "C:\\unit\\check\\nothing";
    stage::DeleteTree(folder);
    stage::MakeFolders(folder);
    Findings findings;
    EXPECT_FALSE(CheckScript(folder, findings));
    EXPECT_EQ(findings.Format("Setup.ini"), "Setup.ini: error: cannot be read (no such file, or larger than 64 MiB)\n");
    EXPECT_EQ(findings.ExitStatus(), 2);
}

TEST(Check, FindingsAreToldInLineOrderAndSetTheExitStatus) {
    Findings none;
    EXPECT_EQ(none.ExitStatus(), 0);
    Findings some;
    some.Warn(9, "late");
    some.Warn(2, "early");
    some.Warn(2, "early, second");
    EXPECT_EQ(some.ExitStatus(), 1);
    some.Error(5, "middle");
    EXPECT_EQ(some.ExitStatus(), 2);
    EXPECT_EQ(some.Format("dir\\Setup.ini"),
              "dir\\Setup.ini:2: warning: early\ndir\\Setup.ini:2: warning: early, second\n"
              "dir\\Setup.ini:5: error: middle\ndir\\Setup.ini:9: warning: late\n");
}

// The summary goes to standard error; it needs a line of its own only when standard
// output writes into the same file: the same handle, or another handle of that file.
TEST(Check, TheSummaryKnowsWhenBothStreamsWriteOneFile) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), err = GetStdHandle(STD_ERROR_HANDLE);
    const std::string folder = "C:\\unit\\check\\streams";
    stage::MakeFolders(folder);
    auto open = [&](const char* name) {
        return CreateFileA((folder + "\\" + name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, 0, nullptr);
    };
    const HANDLE a = open("a.txt"), again = open("a.txt"), b = open("b.txt");
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    const struct {
        const char* name;
        HANDLE out, err;
        bool same;
    } cases[] = {
        {"one handle", a, a, true},
        {"two handles of one file", a, again, true},
        {"two files", a, b, false},
        {"no error stream", a, nullptr, false},
    };
    for (const auto& c : cases) {
        SetStdHandle(STD_OUTPUT_HANDLE, c.out);
        SetStdHandle(STD_ERROR_HANDLE, c.err);
        const bool same = SameFile(STD_OUTPUT_HANDLE, STD_ERROR_HANDLE);
        SetStdHandle(STD_OUTPUT_HANDLE, out);
        SetStdHandle(STD_ERROR_HANDLE, err);
        EXPECT_EQ(same, c.same) << c.name;
    }
    for (HANDLE h : {a, again, b}) CloseHandle(h);
}

}  // namespace
