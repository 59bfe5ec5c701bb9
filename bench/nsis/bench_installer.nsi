; The NSIS installer that Tessaro is measured against: the same icon, the same banner on the first page and one
; small payload file. scripts/bench builds it for each target:
;   makensis -DTARGET=amd64-unicode -DOUTFILE=... -DICON=... -DBANNER=... -DPAYLOAD=... bench_installer.nsi
Unicode true
Target ${TARGET}
!ifdef COMPRESSOR
SetCompressor /SOLID ${COMPRESSOR}
!endif

Name "Bench NSIS"
Caption "Bench NSIS"
OutFile "${OUTFILE}"
Icon "${ICON}"
RequestExecutionLevel user
InstallDir "$TEMP\BenchNSIS"
ShowInstDetails nevershow

; The banner stands above every page, as Tessaro's stands above its button.
; makensis off Windows takes dialog units only: 48u is about 78 pixels at 96 DPI.
AddBrandingImage top 48u

Page directory
Page instfiles

Function .onGUIInit
    InitPluginsDir
    File "/oname=$PLUGINSDIR\banner.bmp" "${BANNER}"
    SetBrandingImage /RESIZETOFIT "$PLUGINSDIR\banner.bmp"
FunctionEnd

Section
    SetOutPath "$INSTDIR"
    File "${PAYLOAD}"
SectionEnd
