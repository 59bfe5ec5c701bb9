#pragma once

#include <string_view>

namespace instinfo_check {

enum class Language { English, Chinese };

// Every text the checker shows, one table per language. "{0}", "{1}", ... are filled in when a message is
// written. The tables use designated initialisers, so a text missing from either table does not compile.
struct Texts {
    // The command line.
    std::string_view usage;
    std::string_view errorPrefix;
    std::string_view errorUnknownOption;
    std::string_view errorMissingValue;
    std::string_view errorBadCodePage;
    std::string_view errorBadLanguage;
    std::string_view errorNoFile;
    std::string_view errorTwoFiles;
    std::string_view errorWalkDiffers;

    // The plain report.
    std::string_view headChecking;
    std::string_view headEncoding;
    std::string_view encodingAnsi;
    std::string_view encodingUtf8Bom;
    std::string_view encodingUtf16Le;
    std::string_view encodingUtf16Be;
    std::string_view headTitle;
    std::string_view headPicture;
    std::string_view defaultNoLine;
    std::string_view defaultEmpty;
    std::string_view pictureFound;
    std::string_view pictureNotFound;
    std::string_view headTasks;
    std::string_view taskHead;
    std::string_view taskFields;
    std::string_view taskFieldsRun;
    std::string_view taskFieldsToolbar;
    std::string_view requiredYes;
    std::string_view requiredNo;
    std::string_view taskCaption;
    std::string_view taskCaptionStandard;
    std::string_view taskDoes;
    std::string_view noTasks;
    std::string_view descriptionJoin;
    std::string_view headWarnings;
    std::string_view headNotes;
    std::string_view lineRef;
    std::string_view wholeFileRef;
    std::string_view verdictClean;
    std::string_view verdictWarnings;
    std::string_view verdictRefused;
    std::string_view exitStatus;

    // What a task does.
    std::string_view descCopy;
    std::string_view descImport;
    std::string_view descCopyNoTarget;
    std::string_view descDelete;
    std::string_view descDeleteNoTarget;
    std::string_view descRun;
    std::string_view descRunNoArguments;
    std::string_view descToolbar;
    std::string_view descCaptionOnly;
    std::string_view descTrailing;
    std::string_view folderUserData;
    std::string_view folderGms;
    std::string_view folderUserGms;
    std::string_view folderApplication;
    std::string_view reqCopyYes;
    std::string_view reqCopyNo;
    std::string_view reqDeleteYes;
    std::string_view reqDeleteNo;
    std::string_view reqRunYes;
    std::string_view reqRunNo;
    std::string_view reqStopsAnyway;
    std::string_view reqNothingHappens;
    std::string_view consequenceStops;
    std::string_view consequenceSkipped;
    std::string_view consequenceStopsAnyway;
    std::string_view consequenceNothing;

    // Why the installer refuses a file.
    std::string_view refusedMissing;
    std::string_view refusedUnreadable;
    std::string_view refusedNoTasks;

    // Warnings.
    std::string_view warnUtf16NoBom;
    std::string_view warnUtf8NoBom;
    std::string_view warnUndecodable;
    std::string_view warnFullWidthEquals;
    std::string_view warnNoEquals;
    std::string_view warnEmptyKey;
    std::string_view warnKeyTab;
    std::string_view warnKeyBlanks;
    std::string_view warnKeyMisspelt;
    std::string_view warnUnknownKey;
    std::string_view warnSecondEquals;
    std::string_view warnRepeatedKey;
    std::string_view warnShortTask;
    std::string_view warnShortTaskLast;
    std::string_view warnNoCaption;
    std::string_view warnExtraFields;
    std::string_view warnPictureMissing;
    std::string_view warnPictureFormat;
    std::string_view warnPictureDamaged;
    std::string_view warnPictureTooLarge;
    std::string_view warnNulInName;
    std::string_view warnNulInField;
    std::string_view warnNulInPicture;
    std::string_view warnDeleteDevice;
    std::string_view warnDeleteOutside;
    std::string_view descNul;
    std::string_view warnRequiredFlag;
    std::string_view warnFileBlanks;
    std::string_view warnSourceMissing;
    std::string_view warnProgramMissing;
    std::string_view warnFileIsFolder;
    std::string_view warnTargetBlanks;
    std::string_view warnUnknownTargetCopy;
    std::string_view warnUnknownTargetDelete;
    std::string_view warnEmptyFileCopy;
    std::string_view warnEmptyFileDelete;
    std::string_view warnEmptyFileRun;
    std::string_view warnEmptyToolbar;
    std::string_view warnCopySubfolder;
    std::string_view warnRequiredDelete;
    std::string_view warnProgramBlanks;
    std::string_view warnArgumentsLowerCased;
    std::string_view warnKindBlanks;
    std::string_view warnUnknownKind;
    std::string_view warnBadAddress;
    std::string_view warnUnattendedNsis;
    std::string_view warnUnattendedInstaller;

    // Notes.
    std::string_view noteFileName;
    std::string_view noteComment;
    std::string_view noteCommentKey;
    std::string_view noteEmptyValue;
    std::string_view notePictureMissingDefault;
    std::string_view noteCaseDiffers;
    std::string_view noteUnattendedWindow;
    std::string_view noteUnattendedProfile;
};

extern const Texts kEnglishTexts;
extern const Texts kChineseTexts;

const Texts& TextsFor(Language language);

}  // namespace instinfo_check
