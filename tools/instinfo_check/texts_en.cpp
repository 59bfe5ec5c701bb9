#include "instinfo_check/texts.h"

namespace instinfo_check {

const Texts kEnglishTexts{
    .usage =
        "Usage: instinfo-check [--codepage N] [--lang en|zh] [--json] [--unattended] path/to/InstInfo.ini\n"
        "\n"
        "Reads a Tessaro InstInfo.ini with the installer's own reader and tells what the installer will do with\n"
        "it: the window's title and cover picture, every task in order, and every line that is ignored or does\n"
        "something else than it seems to.\n"
        "\n"
        "  --codepage N   ANSI code page of a file without a byte-order mark (default 936, Simplified Chinese)\n"
        "  --lang en|zh   language of the report (default: from the system's locale)\n"
        "  --json         print the report as one JSON object, for scripts\n"
        "  --unattended   also tell what an unattended run (Tessaro.exe /S) meets: installers that wait for\n"
        "                 clicks, windows left open, files that land in the installing account's profile\n"
        "  -h, --help     show this help\n"
        "\n"
        "A folder may be named instead of the file; its InstInfo.ini is checked. Files beside InstInfo.ini are\n"
        "looked up without regard to letter case, as Windows does.\n"
        "\n"
        "Exit status: 0 the file gives tasks and nothing was warned about; 1 there were warnings;\n"
        "2 the installer refuses the file (missing, unreadable, no fileitem line); 3 wrong command line.\n",
    .errorPrefix = "instinfo-check: ",
    .errorUnknownOption = "unknown option {0} (see --help)",
    .errorMissingValue = "{0} needs a value (see --help)",
    .errorBadCodePage = "code page {0} is not known on this system",
    .errorBadLanguage = "--lang takes en or zh, not \"{0}\"",
    .errorNoFile = "name the InstInfo.ini to check (see --help)",
    .errorTwoFiles = "name only one file to check, not also {0}",
    .errorWalkDiffers =
        "internal error: the checker's walk through the task lines came to another task table than Tessaro's "
        "reader; please report this with the file",

    .headChecking = "Checking {0}",
    .headEncoding = "Encoding:       {0}",
    .encodingAnsi = "ANSI code page {0} (no byte-order mark)",
    .encodingUtf8Bom = "UTF-8 with byte-order mark",
    .encodingUtf16Le = "UTF-16 little endian with byte-order mark (Notepad's \"Unicode\")",
    .encodingUtf16Be = "UTF-16 big endian with byte-order mark",
    .headTitle = "Window title:   {0}",
    .headPicture = "Cover picture:  {0}",
    .defaultNoLine = "default, as there is no {0} line",
    .defaultEmpty = "default, as the {0} value is empty",
    .pictureFound = "found beside InstInfo.ini",
    .pictureNotFound = "not found beside InstInfo.ini: the window shows its built-in banner instead",
    .headTasks = "Tasks ({0}), carried out in this order once Install is clicked:",
    .taskHead = "#{0}  (line {1})",
    .taskFields = "kind \"{0}\", file \"{1}\", required \"{2}\" ({3}), target \"{4}\"",
    .taskFieldsRun = "kind \"{0}\", program \"{1}\", required \"{2}\" ({3}), arguments \"{4}\"",
    .taskFieldsToolbar = "kind \"{0}\", toolbar \"{1}\", required \"{2}\" (not used), target \"{4}\" (not used)",
    .requiredYes = "yes",
    .requiredNo = "no",
    .taskCaption = "caption: \"{0}\"",
    .taskCaptionStandard = "caption: \"{0}\" (the standard caption)",
    .taskDoes = "does: {0}",
    .noTasks = "Tasks: none",
    .descriptionJoin = "; ",
    .headWarnings = "Warnings ({0}):",
    .headNotes = "Notes ({0}):",
    .lineRef = "line {0}",
    .wholeFileRef = "file",
    .verdictClean = "Result: the installer takes this file; {0} task(s), nothing to warn about. {1}",
    .verdictWarnings = "Result: the installer takes this file, but there are {0} warning(s) to look at. {1}",
    .verdictRefused = "Result: the installer refuses this file: {0} {1}",
    .exitStatus = "(exit status {0})",

    .descCopy = "copy {0} from the installer folder into CorelDRAW's {1}, replacing an older copy",
    .descImport = "import the workspace {0} from the installer folder into CorelDRAW (Application.ImportWorkspace)",
    .descCopyNoTarget =
        "copy nothing: the target \"{1}\" is none of userdatapath, gmspath, usergmspath, applicationpath, "
        "importworkspace",
    .descDelete = "delete {0} from CorelDRAW's {1}",
    .descDeleteNoTarget =
        "delete nothing: the target \"{1}\" is none of userdatapath, gmspath, usergmspath, applicationpath",
    .descRun = "start {0} from the installer folder with the arguments \"{1}\", without waiting for it",
    .descRunNoArguments = "start {0} from the installer folder without arguments, without waiting for it",
    .descToolbar =
        "remove CorelDRAW's toolbar \"{0}\" (three attempts, so a duplicate goes too; a toolbar that is not there is "
        "no error)",
    .descCaptionOnly = "nothing but showing its caption: \"{0}\" is none of the kinds c, k, r, m",
    .descTrailing =
        "nothing but showing the standard caption: an empty task, left by the short fileitem line {0} at the end",
    .folderUserData = "user data folder (Application.UserDataPath)",
    .folderGms = "GMS folder (GMSManager.GMSPath)",
    .folderUserGms = "user GMS folder (GMSManager.UserGMSPath)",
    .folderApplication = "program folder (Application.Path)",
    .reqCopyYes = "required: the install stops if the file is missing",
    .reqCopyNo = "not required: the task is skipped if the file is missing",
    .reqDeleteYes = "required: the install stops if the file is not there",
    .reqDeleteNo = "not required: nothing happens if the file is not there",
    .reqRunYes = "required: the install stops if the program is missing",
    .reqRunNo = "not required: the task is skipped if the program is missing",
    .reqStopsAnyway = "required: so the install stops here",
    .reqNothingHappens = "not required: so nothing happens",
    .consequenceStops = "; as the task is required, the install stops there",
    .consequenceSkipped = "; the task is skipped",
    .consequenceStopsAnyway = "; as the task is required, the install stops there",
    .consequenceNothing = "",

    .refusedMissing = "the file does not exist; Tessaro shows \"{0}\" and ends",
    .refusedUnreadable = "the file cannot be read (a folder, no access, or larger than 64 MB); Tessaro ends silently",
    .refusedNoTasks = "there is no fileitem line; Tessaro shows no window and ends",

    .warnUtf16NoBom =
        "the file looks like UTF-16 without a byte-order mark; the installer reads it in code page {0} and finds "
        "nothing usable. Save it again as \"Unicode\" in Notepad",
    .warnUtf8NoBom =
        "the file is UTF-8 without a byte-order mark; the installer reads it in code page {0}, so every non-ASCII "
        "text (Chinese names and captions) comes out garbled, as shown here. Save it as UTF-8 with BOM, as "
        "\"Unicode\", or as ANSI",
    .warnUndecodable = "the line has bytes that mean nothing in the file's encoding; they come out as \"\xEF\xBF\xBD\"",
    .warnFullWidthEquals =
        "ignored: the line has no \"=\" (the full-width \"\xEF\xBC\x9D\" does not count); write the ASCII \"=\"",
    .warnNoEquals = "ignored: the line has no \"=\"",
    .warnEmptyKey = "ignored: nothing stands before the \"=\"",
    .warnKeyTab =
        "ignored: the key \"{0}\" has a tab in it; the installer only removes spaces around a key, so it does not "
        "match \"{1}\"",
    .warnKeyBlanks =
        "ignored: the key \"{0}\" has blanks inside; the installer only removes blanks around a key, so it does not "
        "match \"{1}\"",
    .warnKeyMisspelt = "ignored: unknown key \"{0}\"; did you mean \"{1}\"?",
    .warnUnknownKey = "ignored: unknown key \"{0}\" (the keys are setuptitle, flagspicture and fileitem)",
    .warnSecondEquals = "the value is cut at the second \"=\": \"{0}\" is lost, the value is \"{1}\"",
    .warnRepeatedKey = "{0} again (also on line {1}): only the last one counts",
    .warnShortTask =
        "no task: {0} field(s), a task needs at least 4 (kind|file|required|target); its place in the table is "
        "taken by the next complete fileitem line",
    .warnShortTaskLast =
        "no task: {0} field(s), a task needs at least 4 (kind|file|required|target); as no complete fileitem line "
        "follows, the installer keeps an empty task #{1} at the end, which does nothing but show the standard caption",
    .warnNoCaption = "only 4 fields: while this task runs, the button shows the standard caption \"{0}\"",
    .warnExtraFields = "more than 5 fields: \"{0}\" is ignored",
    .warnPictureMissing =
        "the cover picture {0} is not beside InstInfo.ini: the window shows its built-in banner instead",
    .warnPictureFormat =
        "the cover picture {0} is no BMP, JPEG, GIF, ICO or WMF/EMF file (PNG is not read): the window shows its "
        "built-in banner instead",
    .warnPictureDamaged =
        "the cover picture {0} is damaged (cut short, or its headers contradict its size): the window shows its "
        "built-in banner instead",
    .warnPictureTooLarge =
        "the cover picture {0} is too large ({1} x {2} pixels; the installer shows at most {3} pixels a side, {4} "
        "pixels in all and files of {5} MB): the window shows its built-in banner instead",
    .warnNulInName =
        "error: field {0} (\"{1}\") holds a NUL byte, which Windows takes as the end of the name; the installer "
        "treats the file as not there{2}",
    .warnNulInField =
        "error: field {0} (\"{1}\") holds a NUL byte, a sign of a damaged file; Windows reads the text only up to it",
    .warnNulInPicture =
        "error: the cover picture's name (\"{0}\") holds a NUL byte: the window shows its built-in banner instead",
    .warnDeleteDevice = "{0} is a device name, not a file: the installer takes it as not there and deletes nothing{1}",
    .warnDeleteOutside =
        "{0} climbs out of the target folder (\"..\") or names a drive or root: the delete reaches outside CorelDRAW's "
        "folder",
    .descNul = "nothing: a name holding a NUL byte is a file that is not there",
    .warnRequiredFlag =
        "the required flag \"{0}\" is not exactly \"1\", so the task is NOT required; write 1 to make it required",
    .warnFileBlanks = "the name \"{0}\" has blanks at its start or end; the installer keeps them as part of the name",
    .warnSourceMissing = "\"{0}\" is not beside InstInfo.ini (letter case ignored){1}",
    .warnProgramMissing = "the program \"{0}\" is not beside InstInfo.ini (letter case ignored){1}",
    .warnFileIsFolder =
        "\"{0}\" is a folder, not a file: the installer takes it as present and then fails with an error",
    .warnTargetBlanks =
        "the target \"{0}\" has blanks around it; the installer keeps them, so it matches nothing (write \"{1}\"){2}",
    .warnUnknownTargetCopy =
        "unknown target \"{0}\": nothing is copied (targets: userdatapath, gmspath, usergmspath, applicationpath, "
        "importworkspace){1}",
    .warnUnknownTargetDelete =
        "unknown target \"{0}\": nothing is deleted (targets: userdatapath, gmspath, usergmspath, applicationpath){1}",
    .warnEmptyFileCopy =
        "the file field is empty: the installer takes its own folder as the file and fails with an error",
    .warnEmptyFileDelete =
        "the file field is empty: the installer takes it as a file that is not there and deletes nothing",
    .warnEmptyFileRun =
        "the program field is empty: the installer takes its own folder as the program and fails with an error",
    .warnEmptyToolbar = "the toolbar name is empty: no toolbar is removed",
    .warnCopySubfolder =
        "{0} lies in a subfolder: it is copied into the same subfolder of the CorelDRAW folder, which must already "
        "exist, or the install fails with an error",
    .warnRequiredDelete =
        "a required delete: when {0} is not there (as on a first install), the install stops; write 0 unless the file "
        "must be there",
    .warnProgramBlanks =
        "the program path \"{0}\" has blanks or quotes in it: write it without quotes (the installer quotes it "
        "itself); blanks at its start or end are kept as part of the name",
    .warnArgumentsLowerCased = "the arguments \"{0}\" are lower-cased by the installer: the program gets \"{1}\"",
    .warnKindBlanks =
        "the kind \"{0}\" has blanks around it; the installer keeps them, so the task does nothing (write \"{1}\")",
    .warnUnknownKind =
        "unknown kind \"{0}\": the task does nothing but show its caption (kinds: c copy or import, k delete, r run, m "
        "remove toolbar)",
    .warnBadAddress =
        "{0}=\"{1}\" is not an address the installer takes (homepage: an http:// or https:// address; website1 and "
        "website2: such an address or a host name like www.example.com; no blanks): it keeps its default",
    .warnUnattendedNsis =
        "{0} is an NSIS installer: in an unattended run (/S) it waits for clicks nobody gives, and it cannot be made "
        "silent from here, as NSIS reads only a capital /S and the installer lower-cases a run task's arguments",
    .warnUnattendedInstaller =
        "{0} is a {1} installer started without its silent switch: in an unattended run (/S) it waits for clicks "
        "nobody gives",

    .noteFileName = "the installer only reads a file named InstInfo.ini; this one is named {0}",
    .noteComment = "ignored: a comment or section line",
    .noteCommentKey = "ignored: \"{0}\" is no key (commented out)",
    .noteEmptyValue = "{0} is empty here; if no later line sets it, the default is used",
    .notePictureMissingDefault =
        "no cover picture: {0} (the default) is not beside InstInfo.ini, so the window shows its built-in banner",
    .noteCaseDiffers = "{0} was found as {1}: the letter case differs, which Windows does not mind",
    .noteUnattendedWindow =
        "{0} opens a window: an unattended run (/S) starts it and does not wait, so it stays open on the desktop "
        "of whoever ran the installer, where under a deployment tool nobody may see it",
    .noteUnattendedProfile =
        "this task writes into a user's profile or CorelDRAW workspace: an unattended run does it for the account "
        "that runs the installer, which under a deployment tool is often SYSTEM, not the CorelDRAW user",
};

const Texts& TextsFor(Language language) {
    return language == Language::Chinese ? kChineseTexts : kEnglishTexts;
}

}  // namespace instinfo_check
