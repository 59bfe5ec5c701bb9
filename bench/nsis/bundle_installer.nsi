; The NSIS installer that a Tessaro Setup.exe is measured against: the same files, the same icon, NSIS's strongest
; compressor. scripts/bench writes FILES (one File line per file) and builds it for each target:
;   makensis -DTARGET=x86-unicode -DOUTFILE=... -DICON=... -DFILES=files.nsh bundle_installer.nsi
Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma

Name "Bench Bundle"
Caption "Bench Bundle"
OutFile "${OUTFILE}"
Icon "${ICON}"
RequestExecutionLevel user
InstallDir "$TEMP\BenchBundle"
ShowInstDetails nevershow

Page instfiles

Section
    SetOutPath "$INSTDIR"
    !include "${FILES}"
SectionEnd
